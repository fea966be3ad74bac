#include "editor/Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace {

constexpr double TwipsPerInch = 1440.0;
constexpr double StandardDpi = 96.0;

// Without a screen (no application yet, or a headless start) the standard 96 dpi applies.
double LogicalDpi(bool horizontal) {
    const QScreen* screen = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                                ? QGuiApplication::primaryScreen()
                                : nullptr;
    if (!screen)
        return StandardDpi;
    const double dpi = horizontal ? screen->logicalDotsPerInchX() : screen->logicalDotsPerInchY();
    return dpi > 0 ? dpi : StandardDpi;
}

} // namespace

double TwipsPerPixelX() {
    return TwipsPerInch / LogicalDpi(true);
}
double TwipsPerPixelY() {
    return TwipsPerInch / LogicalDpi(false);
}

double PixelsToTwipsX(double pixels) {
    return pixels * TwipsPerPixelX();
}
double PixelsToTwipsY(double pixels) {
    return pixels * TwipsPerPixelY();
}

double TwipsToPixelsX(double twips) {
    return twips / TwipsPerPixelX();
}
double TwipsToPixelsY(double twips) {
    return twips / TwipsPerPixelY();
}

int TwipsToWholePixelsX(double twips) {
    return int(std::lround(TwipsToPixelsX(twips)));
}
int TwipsToWholePixelsY(double twips) {
    return int(std::lround(TwipsToPixelsY(twips)));
}
