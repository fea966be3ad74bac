#include "editor/PositionSlider.h"
#include "editor/Tag.h"
#include "support/EditorFixture.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

class ChapterList : public ::testing::Test {
protected:
    EditorFixture fx;
    QString outFile(const QString& name) const { return fx.outDir.filePath(name); }

    // Three marks with images, at the second, third and fourth GOP.
    QStringList MakeThreeMarks() {
        MpegLibForm& f = *fx.form;
        QStringList marks;
        f.Session->NextGopStep();
        for (int i = 0; i < 3; ++i) {
            f.Session->NextGopStep();
            marks << f.Text1->text();
            f.Command_SavePic_Click();
        }
        return marks;
    }
    void Select(QListWidget* list, const QString& entry) {
        const auto items = list->findItems(entry, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1);
        list->setCurrentItem(items.front());
    }
};

TEST_F(ChapterList, DeleteRemovesTheChapterItsFilesAndRewritesTheList) {
    ASSERT_TRUE(fx.Start(TestVideo(QStringLiteral("pal.mpg"))));
    MpegLibForm& f = *fx.form;
    const QStringList marks = MakeThreeMarks();
    ASSERT_EQ(Entries(f.List1), marks);
    EXPECT_EQ(IconTags(f), marks);
    QString middle = marks[1];
    const QString base = outFile(QStringLiteral("pal_") + middle.replace(u':', u'_'));
    ASSERT_TRUE(QFile::exists(base + ".bmp"));
    ASSERT_TRUE(WriteAll(base + ".vob", "clip"));
    ASSERT_TRUE(WriteAll(base + ".d2v", "index"));

    f.List1_GotFocus();
    Select(f.List1, marks[1]);
    f.Command_Delete_Click();
    EXPECT_EQ(Entries(f.List1), (QStringList{marks[0], marks[2]}));
    EXPECT_EQ(IconTags(f), (QStringList{marks[0], marks[2]}));
    for (const char* ext : {".bmp", ".vob", ".d2v"})
        EXPECT_FALSE(QFile::exists(base + ext)) << ext;
    EXPECT_EQ(ReadAll(outFile(QStringLiteral("pal_Celltimes.txt"))),
              (marks[0] + "\r\n" + marks[2] + "\r\n").toLatin1());

    // A chapter whose files were never saved goes silently; the last one removes the list file.
    Select(f.List1, marks[0]);
    f.Command_Delete_Click();
    QFile::remove(outFile(QStringLiteral("pal_") + QString(marks[2]).replace(u':', u'_') + ".bmp"));
    Select(f.List1, marks[2]);
    f.Command_Delete_Click();
    EXPECT_EQ(f.List1->count(), 0);
    EXPECT_FALSE(QFile::exists(outFile(QStringLiteral("pal_Celltimes.txt"))));
    EXPECT_TRUE(fx.messages.messages.empty());
}

TEST_F(ChapterList, DeleteActsOnTheListThatHadTheFocus) {
    ASSERT_TRUE(fx.Start(TestVideo(QStringLiteral("pal.mpg"))));
    MpegLibForm& f = *fx.form;
    const QStringList marks = MakeThreeMarks();
    f.Session->FileChapters = {QStringLiteral("00:00:00.000"), QStringLiteral("00:05:00.000")};
    f.ShowFileChapters();
    f.List1_GotFocus();
    Select(f.List1, marks[0]);
    f.List2_GotFocus(); // clears List1's selection
    EXPECT_EQ(f.ActiveList, 2);
    Select(f.List2, QStringLiteral("00:05:00.000"));
    f.Command_Delete_Click();
    EXPECT_EQ(Entries(f.List2), QStringList{"00:00:00.000"});
    EXPECT_EQ(Entries(f.List1), marks);
    // Nothing selected: nothing happens.
    f.List1_GotFocus();
    f.Command_Delete_Click();
    EXPECT_EQ(Entries(f.List1), marks);
}

TEST_F(ChapterList, ClickRetargetsSaveAsOnlyWithNoMark) {
    ASSERT_TRUE(fx.Start(TestVideo(QStringLiteral("pal.mpg"))));
    MpegLibForm& f = *fx.form;
    f.List1->addItem(QStringLiteral("00:05:00.120"));
    Select(f.List1, QStringLiteral("00:05:00.120"));
    f.List1_Click();
    EXPECT_EQ(Tag(f.Check_SaveAsZero), "00:00:00.000");
    f.Check_NoChapter->setChecked(true);
    f.List1_Click();
    EXPECT_EQ(Tag(f.Check_SaveAsZero), "00:05:00.120");
    EXPECT_EQ(f.Check_SaveAsZero->text(), "Save as 00:05:00.120");
}

TEST_F(ChapterList, IconsAreBuiltLazilyAndToggled) {
    ASSERT_TRUE(fx.Start(TestVideo(QStringLiteral("pal.mpg"))));
    MpegLibForm& f = *fx.form;
    const QStringList marks = MakeThreeMarks();
    std::vector<int> lefts;
    for (const QLabel* icon : f.Label8)
        if (!Tag(icon).isEmpty())
            lefts.push_back(icon->x());
    // Reopen: the list comes from the file and the icons are not built yet.
    ASSERT_TRUE(fx.Start(TestVideo(QStringLiteral("pal.mpg"))));
    MpegLibForm& g = *fx.form;
    ASSERT_EQ(Entries(g.List1), marks);
    EXPECT_TRUE(IconTags(g).isEmpty());
    g.Check_ChapterIcons->setChecked(true);
    EXPECT_EQ(IconTags(g), marks);
    std::vector<int> built;
    for (const QLabel* icon : g.Label8)
        if (!Tag(icon).isEmpty()) {
            built.push_back(icon->x());
            EXPECT_FALSE(icon->isHidden());
        }
    EXPECT_EQ(built, lefts);
    EXPECT_EQ(Tag(g.Check_ChapterIcons), "1");
    EXPECT_EQ(g.Text1->text(), "00:00:00.000"); // back where the user was
    // Off and on again: visibility only, no visits.
    g.Check_ChapterIcons->setChecked(false);
    for (const QLabel* icon : g.Label8)
        EXPECT_TRUE(icon->isHidden());
    g.Session->NextGopStep();
    const QString here = g.Text1->text();
    g.Check_ChapterIcons->setChecked(true);
    EXPECT_EQ(g.Text1->text(), here);
    EXPECT_EQ(IconTags(g), marks);
}

TEST_F(ChapterList, ManyIconsSurviveADeletion) {
    ASSERT_TRUE(fx.Start(TestVideo(QStringLiteral("pal.mpg"))));
    MpegLibForm& f = *fx.form;
    QStringList tags;
    for (int i = 0; i < 150; ++i) {
        const QString tc =
            QStringLiteral("00:%1:00.000").arg(i % 60, 2, 10, QChar(u'0')) + QString::number(i);
        tags << tc;
        f.Session->Chapters << tc;
        f.Session->Marks.push_back({tc, i * 100});
    }
    f.Session->DeleteChapter(tags[10]);
    tags.removeAt(10);
    EXPECT_EQ(IconTags(f), tags);
}

TEST_F(ChapterList, ListsIgnoreClicksWhileRawStreamTimesAreShown) {
    ASSERT_TRUE(fx.Start(TestVideo(QStringLiteral("tc10h.m2v"))));
    MpegLibForm& f = *fx.form;
    f.List1->addItem(QStringLiteral("10:00:01.000"));
    Select(f.List1, QStringLiteral("10:00:01.000"));
    const qint64 before = f.Session->CurrentPos;
    f.List1_DblClick();
    EXPECT_EQ(f.Session->CurrentPos, before);
    EXPECT_TRUE(fx.messages.messages.empty());
}

} // namespace
