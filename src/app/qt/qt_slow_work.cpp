#include "app/qt/qt_slow_work.h"

#include <QApplication>
#include <QEventLoop>
#include <QPointer>
#include <QWidget>
#include <exception>
#include <thread>

namespace plenvo::app {

void QtSlowWork::run(const std::function<void()>& work) {
    const QPointer<QWidget> window = QApplication::activeModalWidget();
    if (window) window->setEnabled(false);
    QEventLoop loop;
    std::exception_ptr failure;
    std::thread away([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    away.join();
    if (window) window->setEnabled(true);
    if (failure) std::rethrow_exception(failure);
}

}  // namespace plenvo::app
