#include "support/EditorFixture.h"

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

namespace {

class SaveOptions : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(fx.Start(TestVideo(QStringLiteral("pal.mpg")))); }
    EditorFixture fx;
};

TEST_F(SaveOptions, ButtonSaysWhatAPressWouldDo) {
    MpegLibForm& f = *fx.form;
    const struct {
        bool markOnly, noMark, atGopStart, clips;
        const char* caption;
        int enabled; // -1: not decided by the caption rule
    } cases[] = {
        {true, false, true, false, "Set chapter mark", 1},
        {true, false, false, false, "Set chapter mark", 0},
        {true, false, false, true, "Set chapter mark", 0},
        {false, true, true, false, "Save image", -1},
        {false, true, false, true, "Save clip", -1},
        {false, false, true, false, "Save image+chapter", -1},
        {false, false, true, true, "Save clip+chapter", -1},
        {false, false, false, false, "Save image", -1},
        {false, false, false, true, "Save clip", -1},
    };
    for (const auto& c : cases) {
        f.Check_ChapterOnly->setChecked(c.markOnly);
        f.Check_NoChapter->setChecked(c.noMark);
        (c.clips ? f.Option_Clips : f.Option_Pics)->setChecked(true);
        f.Session->AtGopStart = ToFlag(c.atGopStart);
        f.Session->UpdateSaveButton();
        EXPECT_EQ(f.Command_SavePic->text(), QString::fromLatin1(c.caption))
            << c.markOnly << c.noMark << c.atGopStart << c.clips;
        if (c.enabled >= 0) {
            EXPECT_EQ(f.Command_SavePic->isEnabled(), c.enabled == 1) << c.caption;
        }
        // "Save as" is offered only with "No Mark".
        EXPECT_EQ(f.Check_SaveAsZero->isEnabled(), !c.markOnly && c.noMark);
        if (!c.noMark) {
            EXPECT_FALSE(f.Check_SaveAsZero->isChecked());
        }
    }
}

TEST_F(SaveOptions, MarkOnlyAndNoMarkExcludeEachOther) {
    MpegLibForm& f = *fx.form;
    f.Check_NoChapter->setChecked(true);
    f.Check_ChapterOnly->setChecked(true);
    EXPECT_FALSE(f.Check_NoChapter->isChecked());
    EXPECT_FALSE(f.Option_Pics->isEnabled());
    EXPECT_FALSE(f.Option_Clips->isEnabled());
    f.Check_NoChapter->setChecked(true);
    EXPECT_FALSE(f.Check_ChapterOnly->isChecked());
    EXPECT_TRUE(f.Option_Pics->isEnabled());
    EXPECT_TRUE(f.Option_Clips->isEnabled());
    f.Check_SaveAsZero->setChecked(true);
    f.Check_NoChapter->setChecked(false);
    EXPECT_FALSE(f.Check_SaveAsZero->isChecked());
    EXPECT_FALSE(f.Check_SaveAsZero->isEnabled());
}

TEST_F(SaveOptions, ClipsCanOnlyStartAtAGop) {
    MpegLibForm& f = *fx.form;
    f.Session->AtGopStart = FlagFalse;
    f.Option_Clips->setChecked(true);
    EXPECT_FALSE(f.Option_Pics->isChecked());
    EXPECT_FALSE(f.Command_SavePic->isEnabled());
    f.Option_Pics->setChecked(true);
    EXPECT_FALSE(f.Option_Clips->isChecked());
    EXPECT_TRUE(f.Command_SavePic->isEnabled());
    f.Session->AtGopStart = FlagTrue;
    f.Option_Clips->setChecked(true);
    EXPECT_TRUE(f.Command_SavePic->isEnabled());
}

TEST_F(SaveOptions, SingleFieldAndScaleFlagsFollowTheirBoxes) {
    MpegLibForm& f = *fx.form;
    f.Check_SingleField->setChecked(true);
    EXPECT_EQ(GlobalVars().SingleField, FlagTrue);
    f.Check_SingleField->setChecked(false);
    EXPECT_EQ(GlobalVars().SingleField, FlagFalse);
    f.Check_ScaleRGB->setChecked(false);
    EXPECT_EQ(f.Session->MpegLib.ScaleRgb, FlagFalse);
    f.Check_ScaleRGB->setChecked(true);
    EXPECT_EQ(f.Session->MpegLib.ScaleRgb, FlagTrue);
}

} // namespace
