#include "editor/Twips.h"
#include "support/EditorFixture.h"

#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {

const QString Zero = QStringLiteral("00:00:00.000");

// The file-chapter list is shown, the chapter list has made room for it, and the run over it may
// start (when chapters may be made at all).
void ExpectFileChaptersShown(const MpegLibForm& f, bool runAllowed, const std::string& where) {
    EXPECT_FALSE(f.List2->isHidden()) << where;
    EXPECT_FALSE(f.Label5->isHidden()) << where;
    EXPECT_EQ(f.List1->height(), TwipsToWholePixelsY(1875)) << where;
    EXPECT_EQ(f.Command_CreateChapters3->isEnabled(), runAllowed) << where;
}

void ExpectNothingShown(const MpegLibForm& f, const std::string& where) {
    EXPECT_TRUE(f.List2->isHidden()) << where;
    EXPECT_TRUE(f.Label5->isHidden()) << where;
    EXPECT_EQ(f.List2->count(), 0) << where;
    EXPECT_EQ(f.List1->height(), 225) << where;
    EXPECT_FALSE(f.Command_CreateChapters3->isEnabled()) << where;
}

class ChapterImport : public ::testing::Test {
protected:
    EditorFixture fx;
    void Start(const QString& video = TestVideo(QStringLiteral("pal.mpg"))) {
        ASSERT_TRUE(fx.Start(video));
    }
};

// ---- Clipboard ------------------------------------------------------------------------------

TEST_F(ChapterImport, ClipboardTimesReplaceTheFileChapterList) {
    Start();
    MpegLibForm& f = *fx.form;
    ExpectNothingShown(f, "before any import");
    const QStringList fiveTen = {Zero, "00:05:00.000", "00:10:00.000"};
    // In this order: a refused import leaves the list of the one before it.
    const struct {
        const char* text;
        bool accepted;
        QStringList entries;
    } cases[] = {
        {"5:00.120", false, {}},
        {"00:05:00.000\r\n00:10:00.000\r\n", true, fiveTen},
        {"no time", false, fiveTen},
        {"00:05:00.120", true, {Zero, "00:05:00.120"}},
        // Entries that are not times: an empty list, shown all the same.
        {"xx:yy,zz:ww", true, {}},
    };
    for (const auto& c : cases) {
        fx.messages.messages.clear();
        QGuiApplication::clipboard()->setText(QString::fromLatin1(c.text));
        f.Command_GetChapterClipBoard->click();
        EXPECT_EQ(fx.messages.texts(), c.accepted ? QStringList() : QStringList{"Wrong Format!"})
            << c.text;
        EXPECT_EQ(Entries(f.List2), c.entries) << c.text;
        if (c.accepted || !c.entries.isEmpty())
            ExpectFileChaptersShown(f, true, c.text);
        else
            ExpectNothingShown(f, c.text);
    }
    // The chapter list itself is not touched by an import.
    EXPECT_EQ(Entries(f.List1), QStringList());
    EXPECT_TRUE(QDir(fx.outDir.path()).isEmpty());
}

TEST_F(ChapterImport, EmptyClipboardIsRefused) {
    Start();
    QGuiApplication::clipboard()->clear();
    fx.form->Command_GetChapterClipBoard->click();
    EXPECT_EQ(fx.messages.texts(), QStringList{"Wrong Format!"});
    ExpectNothingShown(*fx.form, "empty clipboard");
}

// Without chapter work (a stream that does not start at zero) the list is shown but the run waits
// for "Use TimeOffset".
TEST_F(ChapterImport, RunStartsOnlyWhileChaptersMayBeMade) {
    Start(TestVideo(QStringLiteral("tc10h.m2v")));
    MpegLibForm& f = *fx.form;
    QGuiApplication::clipboard()->setText(QStringLiteral("00:00:02.000,00:00:04.000"));
    f.Command_GetChapterClipBoard->click();
    EXPECT_EQ(Entries(f.List2), (QStringList{Zero, "00:00:02.000", "00:00:04.000"}));
    ExpectFileChaptersShown(f, false, "raw times");
    f.Check_UseOffset->setChecked(true);
    EXPECT_TRUE(f.Command_CreateChapters3->isEnabled());
}

// ---- Command line ---------------------------------------------------------------------------

TEST_F(ChapterImport, CommandLineTimes) {
    const struct {
        const char* times;
        bool accepted;
        QStringList entries;
    } cases[] = {
        {"00:05:00.000,00:10:00.000", true, {Zero, "00:05:00.000", "00:10:00.000"}},
        {"00:05:00.120", true, {Zero, "00:05:00.120"}},
        {"5:00", false, {}},
        {"00:05:00.000;00:10:00.000", false, {}},
    };
    for (const auto& c : cases) {
        EditorFixture run;
        ASSERT_TRUE(run.Start(TestVideo(QStringLiteral("pal.mpg"))));
        MpegLibForm& f = *run.form;
        GlobalVars().ChapterTimes = QString::fromLatin1(c.times);
        f.Session->ImportChapterList();
        if (c.accepted) {
            EXPECT_TRUE(run.messages.messages.empty()) << c.times;
            EXPECT_EQ(Entries(f.List2), c.entries) << c.times;
            ExpectFileChaptersShown(f, true, c.times);
        } else {
            EXPECT_EQ(run.messages.texts(),
                      QStringList{QStringLiteral("Wrong Format!\r\n") + QLatin1String(c.times)})
                << c.times;
            ExpectNothingShown(f, c.times);
        }
    }
}

// The editor start reads the times of the command line when there is no chapter file yet.
TEST_F(ChapterImport, EditorStartTakesTheCommandLineTimes) {
    fx.Prepare(TestVideo(QStringLiteral("pal.mpg")));
    GlobalVars().ChapterTimes = QStringLiteral("00:00:03.000,00:00:06.000");
    ASSERT_TRUE(fx.Load());
    MpegLibForm& f = *fx.form;
    EXPECT_EQ(Entries(f.List1), QStringList());
    EXPECT_EQ(Entries(f.List2), (QStringList{Zero, "00:00:03.000", "00:00:06.000"}));
    ExpectFileChaptersShown(f, true, "start");
    EXPECT_TRUE(fx.messages.messages.empty());
}

// ---- Chapter file ---------------------------------------------------------------------------

// Answers the file dialog once it is shown, from inside its own event loop.
class DialogAnswer {
public:
    DialogAnswer(QWidget* owner, std::function<void(QFileDialog&)> answer)
        : owner_(owner), answer_(std::move(answer)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start(20);
    }
    bool answered = false;

private:
    void Poll() {
        auto* dialog = owner_->findChild<QFileDialog*>(QStringLiteral("OpenFileDialog"));
        if (!dialog || !dialog->isVisible())
            return;
        timer_.stop();
        answered = true;
        answer_(*dialog);
    }
    QWidget* owner_;
    std::function<void(QFileDialog&)> answer_;
    QTimer timer_;
};

// The names the dialog lists in its folder, once it has read it.
QStringList ListedNames(QFileDialog& dialog) {
    auto* model = dialog.findChild<QFileSystemModel*>();
    if (!model)
        return {};
    const QModelIndex folder = model->index(dialog.directory().absolutePath());
    for (int waited = 0; model->rowCount(folder) == 0 && waited < 3000; waited += 20)
        QTest::qWait(20);
    // The folder is read in the background: let the last names come in.
    QTest::qWait(200);
    QStringList names;
    for (int row = 0; row < model->rowCount(folder); ++row)
        names << model->index(row, 0, folder).data().toString();
    names.sort();
    return names;
}

class ChapterFile : public ChapterImport {
protected:
    QTemporaryDir videoDir;
    QString video;
    void SetUp() override {
        video = videoDir.filePath(QStringLiteral("film.mpg"));
        ASSERT_TRUE(QFile::copy(TestVideo(QStringLiteral("pal.mpg")), video));
        Start(video);
    }
    QString Write(const char* name, const QByteArray& bytes) {
        const QString path = videoDir.filePath(QLatin1String(name));
        EXPECT_TRUE(WriteAll(path, bytes));
        return path;
    }
    // Runs the file command with the dialog answered by `answer`.
    void Import(std::function<void(QFileDialog&)> answer) {
        DialogAnswer dialog(fx.form.get(), std::move(answer));
        fx.form->Command_GetChapterFile->click();
        EXPECT_TRUE(dialog.answered);
    }
};

TEST_F(ChapterFile, TheDialogOffersTheVideosChapterFile) {
    Write("film.txt", "Chapters of film\r\n00:00:03.000\r\nChapter 2 00:00:05\r\n00:00:06.000\r\n");
    Write("OTHER.TXT", "00:00:01.000\r\n");
    Write("notes.dat", "00:00:01.000\r\n");
    QString folder, selected, filter, title;
    QStringList listed;
    Import([&](QFileDialog& dialog) {
        folder = dialog.directory().absolutePath();
        selected = dialog.selectedFiles().value(0);
        filter = dialog.selectedNameFilter();
        title = dialog.windowTitle();
        listed = ListedNames(dialog);
        static_cast<QDialog&>(dialog).accept();
    });
    EXPECT_EQ(folder, QDir(videoDir.path()).absolutePath());
    EXPECT_EQ(selected, QDir(videoDir.path()).absoluteFilePath(QStringLiteral("film.txt")));
    EXPECT_TRUE(filter.startsWith(QStringLiteral("Chapter Files (*.txt)"))) << filter.toStdString();
    EXPECT_EQ(title, "Chapter Editor");
    // "*.TXT" regardless of letter case; the video and other files are not offered.
    EXPECT_EQ(listed, (QStringList{"OTHER.TXT", "film.txt"}));
    EXPECT_TRUE(fx.messages.messages.empty());
    // The lines with words around a time contribute nothing.
    EXPECT_EQ(Entries(fx.form->List2), (QStringList{Zero, "00:00:03.000", "00:00:06.000"}));
    ExpectFileChaptersShown(*fx.form, true, "file");
}

TEST_F(ChapterFile, WhatAFileGives) {
    const struct {
        const char* what;
        QByteArray bytes;
        QStringList entries; // empty: nothing imported
    } cases[] = {
        // A file with a single time is taken like a single time on the clipboard.
        {"one time", "00:00:05.000\r\n", {Zero, "00:00:05.000"}},
        {"times in LF lines",
         "00:00:02.000\n00:00:04.000\n",
         {Zero, "00:00:02.000", "00:00:04.000"}},
        // Nothing usable: no list and no message.
        {"words only", "Chapter 1\r\nChapter 2 00:00:05\r\n", {}},
        {"binary garbage", RandomBytes(200000, 4711), {}},
        // Longer than a chapter text may be: refused whole.
        {"one line of 1 MB", "00:00:01.000," + QByteArray(1 << 20, '9') + "\r\n", {}},
        {"10000 entries", TimeLines(10000), {}},
    };
    for (const auto& c : cases) {
        EditorFixture run;
        ASSERT_TRUE(run.Start(video));
        // The file the dialog offers first.
        Write("film.txt", c.bytes);
        DialogAnswer answer(run.form.get(),
                            [&](QFileDialog& dialog) { static_cast<QDialog&>(dialog).accept(); });
        run.form->Command_GetChapterFile->click();
        EXPECT_TRUE(answer.answered) << c.what;
        EXPECT_TRUE(run.messages.messages.empty()) << c.what;
        EXPECT_EQ(Entries(run.form->List2), c.entries) << c.what;
        if (c.entries.isEmpty())
            ExpectNothingShown(*run.form, c.what);
        else
            ExpectFileChaptersShown(*run.form, true, c.what);
    }
}

TEST_F(ChapterFile, CancelledDialogChangesNothing) {
    Write("film.txt", "00:00:03.000\r\n00:00:06.000\r\n");
    Import([](QFileDialog& dialog) { dialog.reject(); });
    EXPECT_TRUE(fx.messages.messages.empty());
    ExpectNothingShown(*fx.form, "cancelled");
}

TEST_F(ChapterFile, FileGoneBeforeItIsReadIsReported) {
    const QString path = Write("film.txt", "00:00:03.000\r\n00:00:06.000\r\n");
    Import([&](QFileDialog& dialog) {
        QFile::remove(path);
        // Past the dialog's own check, as when the file goes while the dialog closes.
        static_cast<QDialog&>(dialog).done(QDialog::Accepted);
    });
    EXPECT_EQ(fx.messages.texts(), QStringList{"File not found"});
    ExpectNothingShown(*fx.form, "missing file");
}

} // namespace
