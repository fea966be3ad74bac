#include "crop/CropBars.h"
#include "crop/CropSettings.h"

#include <QSettings>
#include <gtest/gtest.h>

namespace {

TEST(CropSettings, FinalSizeAndAspect) {
    struct Case {
        int videoWidth, videoHeight, left, top, right, bottom, width, height;
        const char* aspect; // in the C locale
    };
    const Case cases[] = {
        {720, 576, 8, 8, 8, 8, 704, 560, "1.26"},
        {720, 480, 0, 0, 0, 0, 720, 480, "1.50"},
        // Halves go up: 720 / 640 = 1.125 exactly, and 201 / 200 = 1.005, whose double lies
        // just below the half.
        {720, 656, 0, 8, 0, 8, 720, 640, "1.13"},
        {720, 576, 259, 188, 260, 188, 201, 200, "1.01"},
        {720, 576, 0, 288, 0, 288, 720, 0, "ERROR"},
        {352, 288, 200, 0, 200, 0, -48, 288, "-0.17"},
        {4000, 8, 0, 4, 0, 3, 4000, 1, "4000.00"}, // no group separator
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.aspect);
        const int width = FinalWidth(c.videoWidth, c.left, c.right);
        const int height = FinalHeight(c.videoHeight, c.top, c.bottom);
        EXPECT_EQ(width, c.width);
        EXPECT_EQ(height, c.height);
        EXPECT_EQ(AspectText(width, height, QLocale::c()), c.aspect);
    }
    EXPECT_EQ(AspectText(4000, 1, QLocale(QLocale::German, QLocale::Germany)), "4000,00");
}

TEST(CropSettings, AutoCropValIsStoredAsOneText) {
    EXPECT_EQ(AutoCropValText("0", "16", "2", "4"), "0, 16, -2, -4");
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                       QStringLiteral("OrvelStudio"));
    settings.setValue(QStringLiteral("Startup/LangID"), QStringLiteral("2000"));
    settings.sync();
    for (const char* text : {"0, 16, -2, -4", "8, 8, -8, -x"}) {
        ASSERT_TRUE(WriteAutoCropVal(QString::fromLatin1(text)));
        QSettings reader(QSettings::NativeFormat, QSettings::UserScope,
                         QStringLiteral("OrvelStudio"));
        // The commas must not turn the value into a list, nor the write lose the other key.
        EXPECT_EQ(reader.value(QStringLiteral("Startup/AutoCropVal")).toString(), text);
        EXPECT_EQ(reader.value(QStringLiteral("Startup/LangID")).toString(), "2000");
    }
}

TEST(CropBars, BarsLieOnTheEdgesWithinThePicture) {
    const QRect pal(8, 96, 720, 576);
    const QRect cif(8, 96, 352, 288);
    struct Case {
        CropSide side;
        QRect picture;
        int margin;
        QRect bar;
    };
    const Case cases[] = {
        {CropSide::Top, pal, 8, {8, 96, 720, 8}},
        {CropSide::Left, pal, 16, {8, 96, 16, 576}},
        {CropSide::Right, pal, 4, {724, 96, 4, 576}},
        {CropSide::Bottom, pal, 12, {8, 660, 720, 12}},
        // Larger than the picture: the bar covers the picture, no more; negative: nothing.
        {CropSide::Bottom, cif, 300, {8, 96, 352, 288}},
        {CropSide::Right, cif, 400, {8, 96, 352, 288}},
        {CropSide::Top, cif, -8, {8, 96, 352, 0}},
        {CropSide::Right, cif, -8, {360, 96, 0, 288}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.side) << " margin " << c.margin);
        EXPECT_EQ(CropBarRect(c.side, c.picture, c.margin), c.bar);
    }
}

} // namespace
