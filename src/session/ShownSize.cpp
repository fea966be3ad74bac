#include "session/ShownSize.h"

#include <QSettings>
#include <algorithm>
#include <cmath>

namespace {

const QString DisplayAspectKey = QStringLiteral("View/DisplayAspect");

double DisplayRatio(const QString& aspectText) {
    if (aspectText == QLatin1String("4:3"))
        return 4.0 / 3.0;
    if (aspectText == QLatin1String("16:9"))
        return 16.0 / 9.0;
    if (aspectText == QLatin1String("2.21:1"))
        return 2.21;
    return 0.0;
}

QSettings OwnSettings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Cueboard"),
                     QStringLiteral("cueboard"));
}

} // namespace

QSize ShownPictureSize(QSize stream, const QString& aspectText, bool displayAspect, QSize area) {
    if (stream.width() <= 0 || stream.height() <= 0)
        return stream;
    double width = stream.width();
    double height = stream.height();
    if (const double ratio = DisplayRatio(aspectText); displayAspect && ratio > 0)
        width = std::round(height * ratio);
    if (width > area.width() || height > area.height()) {
        const double scale = std::min(area.width() / width, area.height() / height);
        width = std::max(1.0, std::round(width * scale));
        height = std::max(1.0, std::round(height * scale));
    }
    return {int(width), int(height)};
}

bool ReadDisplayAspect() {
    return OwnSettings().value(DisplayAspectKey, false).toBool();
}

void WriteDisplayAspect(bool on) {
    QSettings settings = OwnSettings();
    settings.setValue(DisplayAspectKey, on);
}
