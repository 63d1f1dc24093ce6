#include "app/ui/InterfaceScale.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace knetix {

int automaticInterfaceFactor(int screenWidth, int screenHeight)
{
    const int factor = std::min(screenWidth / 640, screenHeight / 480);
    return std::clamp(factor, 1, kMaximumInterfaceFactor);
}

int prepareInterfaceScale(int& argc, char** argv, int zoomSetting)
{
    // Someone who sets Qt's factor by hand keeps it.
    if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR"))
        return 1;
    int factor = zoomSetting;
    if (factor < 1 || factor > kMaximumInterfaceFactor) {
        // The screen is only known to an application object; this one goes
        // before the program's own is made with the factor.
        QGuiApplication probe(argc, argv);
        const QScreen* screen = QGuiApplication::primaryScreen();
        factor = screen ? automaticInterfaceFactor(screen->geometry().width(), screen->geometry().height()) : 1;
    }
    if (factor > 1)
        qputenv("QT_SCALE_FACTOR", QByteArray::number(factor));
    return factor;
}

} // namespace knetix
