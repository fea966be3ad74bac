#pragma once

#include <QLocale>
#include <QString>

// The arithmetic behind the crop dialog and the value it hands to the authoring front-end.

// The crop scroll bars run from 0 to this many pixels.
inline constexpr int CropBarMaximum = 300;

// Margin a crop scroll bar stands for. The right and bottom bars run reversed: their far end
// (value 300) means no margin, so the thumb moves inwards as the margin grows.
int MarginOfBar(int value, bool reversed);
// The bar value of a margin, held within 0..300.
int BarValueOfMargin(int margin, bool reversed);

// Picture size left after cropping; negative when the margins are larger than the picture.
int FinalWidth(int videoWidth, int cropLeft, int cropRight);
int FinalHeight(int videoHeight, int cropTop, int cropBottom);

// Width to height with two decimals (half away from zero) in `locale`'s separator and without
// group separators; "ERROR" when the height is 0.
QString AspectText(int finalWidth, int finalHeight, const QLocale& locale);

// A margin read from a dialog text by the leading-number rule, rounded (a text without a leading
// number reads as 0); `previous` when the number does not fit a margin.
qint16 MarginFromText(const QString& text, qint16 previous);

// The crop subtitle file exists only for PAL and NTSC picture heights.
bool CropSupAvailable(int videoHeight);

// "left, top, -right, -bottom" from the dialog's texts as they stand (not checked for numbers).
QString AutoCropValText(const QString& left, const QString& top, const QString& right,
                        const QString& bottom);

// Stores `text` as the front-end's "AutoCropVal". False when the settings could not be written.
bool WriteAutoCropVal(const QString& text);
