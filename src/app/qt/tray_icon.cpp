#include "app/qt/tray_icon.h"

#include <QCursor>
#include <QTimer>

#include "app/qt/tray_images.h"

namespace plenvo::app {

TrayIcon::TrayIcon(IconAnimation& animation, TrayMenu& rules)
    : animation_(animation), rules_(rules) {
    for (int i = 0; i < IconAnimation::kFrameCount; ++i)
        frames_[static_cast<size_t>(i)] = trayFrame(i);
    for (const TrayMenuEntry& entry : kTrayMenuEntries) {
        QAction* action =
            menu_.addAction(menuBitmap(entry.bitmap), QString::fromUtf8(entry.caption));
        action->setData(entry.index());
    }
    icon_.setIcon(frames_[IconAnimation::kRestingFrame]);
    icon_.setToolTip(QString::fromStdString(animation_.tip()));
    // The passes step the animation on their own thread: the icon is redrawn on
    // the window thread, which is free to do so at once.
    animation_.setListener([this](int frame, const std::string& tip) {
        QMetaObject::invokeMethod(
            &icon_,
            [this, frame, tip = QString::fromStdString(tip)] {
                icon_.setIcon(frames_[static_cast<size_t>(frame)]);
                icon_.setToolTip(tip);
            },
            Qt::QueuedConnection);
    });
    QObject::connect(
        &icon_, &QSystemTrayIcon::activated, &icon_, [this](QSystemTrayIcon::ActivationReason why) {
            if (why != QSystemTrayIcon::Trigger && why != QSystemTrayIcon::Context) return;
            // Out of the click's own handling first: the menu runs an event loop of its own.
            QTimer::singleShot(0, &icon_, [this] { rules_.open([this] { return popUp(); }); });
        });
}

TrayIcon::~TrayIcon() {
    animation_.setListener({});
}

std::optional<int> TrayIcon::popUp() {
    const QAction* chosen = menu_.exec(QCursor::pos() - QPoint(0, 10));
    if (!chosen) return std::nullopt;
    return chosen->data().toInt();
}

}  // namespace plenvo::app
