#include "app/qt/tray_images.h"

namespace plenvo::app {

QIcon trayFrame(int frame) {
    return QIcon(QString(":/tray/frame%1.png").arg(frame));
}

QIcon menuBitmap(const std::string& name) {
    return QIcon(QString(":/menu/%1.png").arg(QString::fromStdString(name)));
}

}  // namespace plenvo::app
