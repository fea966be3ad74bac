#include "chooser/ChooserWindow.h"
#include "editor/MpegLibForm.h"
#include "editor/Twips.h"
#include "shell/GlobalVars.h"
#include "shell/LangStrings.h"
#include "support/MessageRecorder.h"
#include "support/ShowWatcher.h"
#include "support/TestSupport.h"
#include "viewer/MpegLibModule.h"

#include <QDir>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

constexpr int Patience = 20000; // ms

// Notes each editor shown as "video|chapter list|imported chapters", then closes it.
struct EditorWatcher : ShowWatcher<MpegLibForm> {
    EditorWatcher()
        : ShowWatcher([this](MpegLibForm* editor) {
              visits << QStringLiteral("%1|%2|%3")
                            .arg(GlobalVars().VideoFile, GlobalVars().ChapterTimes,
                                 QString::number(editor->List2->count()));
              QTimer::singleShot(0, editor, [editor] { editor->close(); });
          }) {}
    QStringList visits;
};

QModelIndex ListedFile(const frmTest& c, int row) {
    return c.File1->model()->index(row, 0, c.File1->rootIndex());
}

QStringList ListedFiles(const frmTest& c) {
    QStringList names;
    for (int row = 0; !c.File1Path().isEmpty() && ListedFile(c, row).isValid(); ++row)
        names << ListedFile(c, row).data().toString();
    return names;
}

// The text the label shows for a file without a sequence header.
QString NoHeaderText() {
    return u"Info:\n"_qs + LoadLangString(201) + u'\n';
}

class ChooserTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The program ends when its last window closes; here the test goes on.
        QGuiApplication::setQuitOnLastWindowClosed(false);
        GlobalVars() = Global_var_module{};
        // Names in mixed letter case: the pattern must match them all the same.
        ASSERT_TRUE(QFile::copy(TestVideo(u"mpeg1.mpg"_qs), Path(u"a.MPG"_qs)));
        ASSERT_TRUE(QFile::copy(TestVideo(u"pal.m2v"_qs), Path(u"b.m2v"_qs)));
        ASSERT_TRUE(QFile::copy(TestVideo(u"notmpeg.bin"_qs), Path(u"c.VOB"_qs)));
        ASSERT_TRUE(WriteAll(Path(u"d.txt"_qs), "not a video\n"));
        // A folder whose name fits the pattern is still no file; it holds no video either.
        ASSERT_TRUE(QDir(folder).mkdir(u"e.mpg"_qs));
        ASSERT_TRUE(WriteAll(Path(u"e.mpg/notes.txt"_qs), "text\n"));
        // An MPEG-2 stream with its sequence header but without any GOP header.
        const QByteArray stream = ReadAll(TestVideo(u"pal.m2v"_qs));
        const qsizetype gop = stream.indexOf(QByteArray::fromHex("000001B8"));
        ASSERT_GT(gop, 0);
        ASSERT_TRUE(WriteAll(Path(u"f.m2v"_qs), stream.left(gop) + QByteArray(4096, '\0')));
    }
    void TearDown() override {
        GlobalVars() = Global_var_module{};
        SetLangBase(1000);
        QGuiApplication::setQuitOnLastWindowClosed(true);
    }

    QString Path(const QString& name) const { return folder + u'/' + name; }

    // A chooser started without a video, showing `shown` once its files have been read.
    void StartOn(frmTest& chooser, const QString& shown, const QStringList& listed) {
        GlobalVars() = Global_var_module{};
        QSignalSpy loaded(chooser.File1->model(), SIGNAL(directoryLoaded(QString)));
        ASSERT_FALSE(chooser.Form_Load({}));
        chooser.SetDir1Path(shown);
        chooser.show();
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return loaded.contains(QVariantList{shown}); }, Patience));
        (void)QTest::qWaitFor([&] { return ListedFiles(chooser) == listed; }, Patience);
        ASSERT_EQ(ListedFiles(chooser), listed);
    }

    QTemporaryDir dir;
    const QString folder = QDir::cleanPath(dir.path());
    const QStringList videos{u"a.MPG"_qs, u"b.m2v"_qs, u"c.VOB"_qs, u"f.m2v"_qs};
    MessageRecorder messages;
};

// A click reports on a file; only MPEG-2 opens the editor, and only the button tells the user of
// other types. An editor that refuses the video ends the program, and so does Quit.
TEST_F(ChooserTest, ClicksAndButtonsReportOpenTheEditorOrEnd) {
    enum Press { None, Edit, Quit };
    const struct {
        const char* folder; // shown, below the test's folder ("": the folder itself)
        const char* file;   // clicked (nullptr: none)
        bool twice;         // double-clicked
        Press press;        // the button pressed then
        const char* video;  // the record's video afterwards (nullptr: none)
        const char* report; // in the label ("": no sequence header, nullptr: untouched)
        bool editor;
        QStringList messages;
        int exitCode;
    } cases[] = {
        // clang-format off
        {"", "c.VOB", false, None, "c.VOB", "", false, {}, 0},
        {"", "c.VOB", true, None, "c.VOB", "", false, {}, 0},
        {"", "a.MPG", false, None, "a.MPG", "MPEG Type=1", false, {}, 0},
        {"", "a.MPG", true, None, "a.MPG", "MPEG Type=1", false, {}, 0},
        {"", "b.m2v", false, None, "b.m2v", "MPEG Type=2", false, {}, 0},
        {"", "b.m2v", true, None, "b.m2v", "MPEG Type=2", true, {}, 0},
        {"", nullptr, false, Edit, "a.MPG", "MPEG Type=1", false, {"Only MPEG2 videos can be used"}, 0},
        {"", "b.m2v", false, Edit, "b.m2v", "MPEG Type=2", true, {}, 0},
        {"", "c.VOB", false, Edit, "c.VOB", "", false, {}, 0},
        {"", "f.m2v", false, Edit, "f.m2v", "MPEG Type=2", false, {LoadLangString(208)}, 1},
        {"e.mpg", nullptr, false, Edit, nullptr, nullptr, false, {}, 0},
        {"", nullptr, false, Quit, nullptr, nullptr, false, {}, 0},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        const QString video = QString::fromLatin1(c.video);
        frmTest chooser;
        StartOn(chooser, *c.folder ? Path(c.folder) : folder, *c.folder ? QStringList() : videos);
        // A chapter list from the command line must not reach a file picked here.
        GlobalVars().ChapterTimes = u"00:00:01.000"_qs;
        EditorWatcher editors;
        if (c.file) {
            const QPoint at =
                chooser.File1->visualRect(ListedFile(chooser, videos.indexOf(c.file))).center();
            QTest::mouseClick(chooser.File1->viewport(), Qt::LeftButton, {}, at);
            if (c.twice)
                QTest::mouseDClick(chooser.File1->viewport(), Qt::LeftButton, {}, at);
        }
        if (c.press != None)
            QTest::mouseClick(c.press == Edit ? chooser.Command1 : chooser.Command2,
                              Qt::LeftButton);

        EXPECT_EQ(chooser.File1FileName(), video);
        EXPECT_EQ(GlobalVars().VideoFile, c.video ? Path(video) : QString());
        EXPECT_EQ(chooser.Label1->text(), !c.report   ? u"Info"_qs
                                          : *c.report ? ShowFileInfo().join(u'\n')
                                                      : NoHeaderText());
        EXPECT_TRUE(chooser.Label1->text().contains(QString::fromLatin1(c.report)));
        EXPECT_EQ(editors.visits, c.editor ? QStringList{Path(video) + u"||0"_qs} : QStringList());
        EXPECT_EQ(messages.texts(), c.messages);
        messages.messages.clear();
        EXPECT_EQ(chooser.isVisible(), c.exitCode == 0 && c.press != Quit);
        EXPECT_EQ(chooser.ExitCode, c.exitCode);
    }
}

TEST_F(ChooserTest, CaptionsAndSizeFollowTheLanguage) {
    for (const qint32 base : {1000, 2000}) {
        SCOPED_TRACE(base);
        StoreLangId(QString::number(base));
        frmTest chooser;
        EXPECT_FALSE(chooser.Form_Load({}));
        StoreLangId(std::nullopt);
        ASSERT_EQ(GlobalVars().LangBase, base);
        EXPECT_EQ((QStringList{chooser.windowTitle(), chooser.Command1->text(),
                               chooser.Command2->text(), chooser.Command3->text()}),
                  (QStringList{LoadLangString(base, 238), LoadLangString(base, 211),
                               LoadLangString(base, 210), LoadLangString(base, 209)}));

        // The label is fourteen lines of the window's font high; the window ends 50 twips below.
        const QFontMetrics metrics(chooser.font());
        const int height = chooser.Label1->height();
        EXPECT_GE(height, 13 * metrics.lineSpacing() + metrics.height());
        EXPECT_LE(height, 14 * metrics.lineSpacing() + metrics.leading());
        EXPECT_EQ(chooser.height(), chooser.Label1->y() + height + TwipsToWholePixelsY(50));

        // The longest report is shown whole, and nothing lies outside the window.
        ASSERT_TRUE(ScanMpegHeaders(TestVideo(u"pal_dvd.vob"_qs)));
        EXPECT_GE(ShowFileInfo().size(), 13);
        chooser.Label1->setText(ShowFileInfo().join(u'\n'));
        EXPECT_LE(chooser.Label1->sizeHint().height(), height);
        EXPECT_LE(chooser.Label1->sizeHint().width(), chooser.Label1->width());
        for (QWidget* control : chooser.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            EXPECT_TRUE(chooser.rect().contains(control->geometry()))
                << control->objectName().toStdString() << " sticks out";
        for (QPushButton* button : {chooser.Command1, chooser.Command2, chooser.Command3})
            EXPECT_GE(button->width(), button->sizeHint().width());
    }
}

} // namespace
