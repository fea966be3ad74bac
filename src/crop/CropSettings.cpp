#include "crop/CropSettings.h"

#include "stream/NumberText.h"

#include <QSettings>
#include <cstdlib>

int MarginOfBar(int value, bool reversed) {
    return reversed ? CropBarMaximum - value : value;
}

int BarValueOfMargin(int margin, bool reversed) {
    const int held = qBound(0, margin, CropBarMaximum);
    return reversed ? CropBarMaximum - held : held;
}

int FinalWidth(int videoWidth, int cropLeft, int cropRight) {
    return videoWidth - cropRight - cropLeft;
}

int FinalHeight(int videoHeight, int cropTop, int cropBottom) {
    return videoHeight - cropTop - cropBottom;
}

QString AspectText(int finalWidth, int finalHeight, const QLocale& locale) {
    if (finalHeight == 0)
        return QStringLiteral("ERROR");
    // Hundredths in whole numbers, so that a half rounds up as written: 201/200 = 1.005 gives
    // 1.01, where the double just below 1.005 would give 1.00.
    const qint64 num = std::llabs(qint64(finalWidth) * 100);
    const qint64 den = std::llabs(qint64(finalHeight));
    qint64 hundredths = (2 * num + den) / (2 * den);
    if ((finalWidth < 0) != (finalHeight < 0))
        hundredths = -hundredths;
    QLocale plain = locale;
    plain.setNumberOptions(plain.numberOptions() | QLocale::OmitGroupSeparator);
    return plain.toString(double(hundredths) / 100.0, 'f', 2);
}

qint16 MarginFromText(const QString& text, qint16 previous) {
    return ToInt16(LeadingNumber(text)).value_or(previous);
}

bool CropSupAvailable(int videoHeight) {
    return videoHeight == 576 || videoHeight == 480;
}

QString AutoCropValText(const QString& left, const QString& top, const QString& right,
                        const QString& bottom) {
    return left + QStringLiteral(", ") + top + QStringLiteral(", -") + right +
           QStringLiteral(", -") + bottom;
}

bool WriteAutoCropVal(const QString& text) {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                       QStringLiteral("OrvelStudio"));
    settings.setValue(QStringLiteral("Startup/AutoCropVal"), text);
    settings.sync();
    return settings.status() == QSettings::NoError;
}
