#include "app/qt/timer_loop.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

namespace plenvo::app {

struct TimerLoop::Timers {
    QTimer timer1, timer2, timer3;
};

namespace {

template <typename Tick>
void connectGuarded(QTimer& timer, Console& m, const char* name, Tick tick) {
    QObject::connect(&timer, &QTimer::timeout, [&m, name, tick] {
        try {
            (m.*tick)();
        } catch (const std::exception& e) {
            m.context().failures.report(name, e.what());
        } catch (...) {
            m.context().failures.report(name, "unknown failure");
        }
    });
}

}  // namespace

TimerLoop::TimerLoop(Console& management, int intervalMs) : timers_(new Timers) {
    for (QTimer* t : {&timers_->timer1, &timers_->timer2, &timers_->timer3}) {
        t->setInterval(intervalMs);
        t->setTimerType(Qt::CoarseTimer);
    }
    connectGuarded(timers_->timer1, management, "import timer", &Console::Timer1);
    connectGuarded(timers_->timer2, management, "check timer", &Console::Timer2);
    connectGuarded(timers_->timer3, management, "request timer", &Console::Timer3);
    for (QTimer* t : {&timers_->timer1, &timers_->timer2, &timers_->timer3}) t->start();
}

TimerLoop::~TimerLoop() {
    delete timers_;
}

void TimerLoop::setTimer1Enabled(bool enabled) {
    if (enabled)
        timers_->timer1.start();
    else
        timers_->timer1.stop();
}

bool TimerLoop::timer1Enabled() const {
    return timers_->timer1.isActive();
}

WorkPlaces workPlacesOn(PassWorker& worker) {
    return {.pass = [&worker](std::function<void()> work) { worker.post(std::move(work)); },
            .window =
                [](std::function<void()> work) {
                    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(work),
                                              Qt::QueuedConnection);
                }};
}

}  // namespace plenvo::app
