#include "ui/screen_metrics.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace wavelot {

bool LargeFontScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return false;
    const double dpi = screen->logicalDotsPerInchY();
    return dpi > 0 && std::lround(1440.0 / dpi) == 12;
}

}  // namespace wavelot
