#include "about/AboutDialog.h"
#include "chooser/ChooserWindow.h"
#include "editor/MpegLibForm.h"
#include "editor/Twips.h"
#include "shell/CommandLine.h"
#include "shell/GlobalVars.h"
#include "shell/LangStrings.h"
#include "support/MessageRecorder.h"
#include "support/TestSupport.h"
#include "viewer/MpegLibModule.h"

#include "support/ShowWatcher.h"
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <functional>

#include <gtest/gtest.h>
#include <optional>

namespace {

constexpr int Patience = 20000; // ms

// What the chooser had in front of the user while an editor ran, and the editor's own view.
struct EditorVisit {
    QString videoFile;
    QString chapterTimes;
    int importedChapters = -1;
    bool anyListEnabled = true;
    bool command1Enabled = true;
};

// Watches for editors; each one is noted and, unless `closeItself`, closed once it runs.
class EditorWatcher {
public:
    EditorWatcher(frmTest& chooser, bool closeItself = false)
        : watcher_([this, &chooser, closeItself](MpegLibForm* editor) {
              EditorVisit visit;
              visit.videoFile = GlobalVars().VideoFile;
              visit.chapterTimes = GlobalVars().ChapterTimes;
              visit.importedChapters = editor->List2->count();
              visit.anyListEnabled = chooser.Drive1->isEnabled() || chooser.Dir1->isEnabled() ||
                                     chooser.File1->isEnabled();
              visit.command1Enabled = chooser.Command1->isEnabled();
              visits.push_back(visit);
              if (!closeItself)
                  QTimer::singleShot(0, editor, [editor] { editor->close(); });
          }) {}

    std::vector<EditorVisit> visits;

private:
    ShowWatcher<MpegLibForm> watcher_;
};

QStringList ListedFiles(const frmTest& chooser) {
    QStringList names;
    const QAbstractItemModel* model = chooser.File1->model();
    const QModelIndex root = chooser.File1->rootIndex();
    if (chooser.File1Path().isEmpty())
        return names;
    for (int row = 0; row < model->rowCount(root); ++row)
        names << model->index(row, 0, root).data().toString();
    return names;
}

QModelIndex ListedFile(const frmTest& chooser, const QString& name) {
    const QAbstractItemModel* model = chooser.File1->model();
    const QModelIndex root = chooser.File1->rootIndex();
    for (int row = 0; row < model->rowCount(root); ++row) {
        const QModelIndex index = model->index(row, 0, root);
        if (index.data().toString() == name)
            return index;
    }
    return {};
}

enum class Gesture { Click, DoubleClick };

void ClickFile(frmTest& chooser, const QString& name, Gesture gesture) {
    const QModelIndex index = ListedFile(chooser, name);
    ASSERT_TRUE(index.isValid()) << name.toStdString() << " is not listed";
    chooser.File1->scrollTo(index);
    const QPoint at = chooser.File1->visualRect(index).center();
    QTest::mouseClick(chooser.File1->viewport(), Qt::LeftButton, {}, at);
    if (gesture == Gesture::DoubleClick)
        QTest::mouseDClick(chooser.File1->viewport(), Qt::LeftButton, {}, at);
}

// The text the label shows for a file without a sequence header.
QString NoHeaderText() {
    return QStringLiteral("Info:\n") + LoadLangString(201) + u'\n';
}

class ChooserTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The program ends when its last window closes; here the test goes on.
        QGuiApplication::setQuitOnLastWindowClosed(false);
        ASSERT_TRUE(dir.isValid());
        folder = QDir::cleanPath(dir.path());
        // Names in mixed letter case: the pattern must match them all the same.
        ASSERT_TRUE(QFile::copy(TestVideo(u"mpeg1.mpg"_qs), Path(u"a.MPG"_qs)));
        ASSERT_TRUE(QFile::copy(TestVideo(u"pal.m2v"_qs), Path(u"b.m2v"_qs)));
        ASSERT_TRUE(QFile::copy(TestVideo(u"notmpeg.bin"_qs), Path(u"c.VOB"_qs)));
        ASSERT_TRUE(WriteAll(Path(u"d.txt"_qs), "not a video\n"));
        // A folder whose name fits the pattern is still no file.
        ASSERT_TRUE(QDir(folder).mkdir(u"e.mpg"_qs));
        GlobalVars() = Global_var_module{};
    }

    void TearDown() override {
        GlobalVars() = Global_var_module{};
        SetLangBase(1000);
        QGuiApplication::setQuitOnLastWindowClosed(true);
    }

    QString Path(const QString& name) const { return folder + u'/' + name; }

    // A chooser started without a video, showing `shown` once its list has been read.
    void StartOn(frmTest& chooser, const QString& shown) {
        GlobalVars() = Global_var_module{};
        ASSERT_FALSE(chooser.Form_Load({}));
        chooser.SetDir1Path(shown);
        chooser.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&chooser));
    }

    void WaitForTheVideos(frmTest& chooser) {
        const QStringList videos{u"a.MPG"_qs, u"b.m2v"_qs, u"c.VOB"_qs};
        (void)QTest::qWaitFor([&] { return ListedFiles(chooser) == videos; }, Patience);
        ASSERT_EQ(ListedFiles(chooser), videos);
    }

    QTemporaryDir dir;
    QString folder;
    MessageRecorder messages;
};

TEST_F(ChooserTest, ListsTheVideoFilesOfTheChosenFolderOnly) {
    frmTest chooser;
    StartOn(chooser, folder);
    WaitForTheVideos(chooser);
    EXPECT_EQ(chooser.Dir1Path(), folder);
    EXPECT_EQ(chooser.File1Path(), folder);
    EXPECT_EQ(chooser.File1ListCount(), 3);
    // The folder list shows where the files come from, however deep it lies.
    const QModelIndex current = chooser.Dir1->currentIndex();
    ASSERT_TRUE(current.isValid());
    EXPECT_EQ(qobject_cast<QFileSystemModel*>(chooser.Dir1->model())->filePath(current), folder);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return chooser.Dir1->viewport()->rect().contains(chooser.Dir1->visualRect(current));
        },
        Patience));
    EXPECT_TRUE(chooser.File1FileName().isEmpty());
    EXPECT_EQ(chooser.Label1->text(), "Info");
    EXPECT_FALSE(chooser.Timer0->isActive());
    EXPECT_EQ(chooser.Timer0->interval(), 10);
    EXPECT_TRUE(chooser.Timer0->isSingleShot());
}

TEST_F(ChooserTest, FolderAndDriveChangesRepointTheLists) {
    ASSERT_TRUE(QDir(folder).mkdir(u"sub"_qs));
    ASSERT_TRUE(QFile::copy(TestVideo(u"pal.m2v"_qs), Path(u"sub/x.MPV"_qs)));
    frmTest chooser;
    StartOn(chooser, folder);
    WaitForTheVideos(chooser);

    // The user picks the subfolder in the folder list.
    auto* folders = qobject_cast<QFileSystemModel*>(chooser.Dir1->model());
    ASSERT_TRUE(folders);
    const QModelIndex sub = folders->index(Path(u"sub"_qs));
    ASSERT_TRUE(sub.isValid());
    chooser.Dir1->scrollTo(sub);
    QTest::mouseClick(chooser.Dir1->viewport(), Qt::LeftButton, {},
                      chooser.Dir1->visualRect(sub).center());
    EXPECT_EQ(chooser.Dir1Path(), Path(u"sub"_qs));
    EXPECT_EQ(chooser.File1Path(), Path(u"sub"_qs));
    const QStringList subFiles{u"x.MPV"_qs};
    (void)QTest::qWaitFor([&] { return ListedFiles(chooser) == subFiles; }, Patience);
    EXPECT_EQ(ListedFiles(chooser), subFiles);

    // A folder that is not there leaves both lists where they were.
    chooser.SetDir1Path(Path(u"gone"_qs));
    EXPECT_EQ(chooser.Dir1Path(), Path(u"sub"_qs));
    EXPECT_EQ(chooser.File1Path(), Path(u"sub"_qs));

    // The drive list holds the volume of the folder; choosing a drive shows its root.
    const QString root = QStorageInfo(folder).rootPath();
    EXPECT_EQ(chooser.Drive1->currentData().toString(), root);
    chooser.Drive1_Change();
    EXPECT_EQ(chooser.Dir1Path(), root);
    EXPECT_EQ(chooser.File1Path(), root);
}

TEST_F(ChooserTest, ClicksReportAndOnlyMpeg2DoubleClicksOpenTheEditor) {
    const struct {
        const char* file;
        Gesture gesture;
        const char* reportHas; // empty: the label says no sequence header was found
        bool editorOpens;
    } cases[] = {
        {"c.VOB", Gesture::Click, "", false},
        {"c.VOB", Gesture::DoubleClick, "", false},
        {"a.MPG", Gesture::Click, "MPEG Type=1", false},
        {"a.MPG", Gesture::DoubleClick, "MPEG Type=1", false},
        {"b.m2v", Gesture::Click, "MPEG Type=2", false},
        {"b.m2v", Gesture::DoubleClick, "MPEG Type=2", true},
    };
    frmTest chooser;
    StartOn(chooser, folder);
    WaitForTheVideos(chooser);
    for (const auto& c : cases) {
        const QString file = QString::fromLatin1(c.file);
        const std::string what =
            file.toStdString() + (c.gesture == Gesture::Click ? " click" : " double click");
        EditorWatcher editors(chooser);
        messages.messages.clear();
        ClickFile(chooser, file, c.gesture);
        EXPECT_EQ(chooser.File1FileName(), file) << what;
        EXPECT_EQ(GlobalVars().VideoFile, Path(file)) << what;
        if (*c.reportHas == 0) {
            EXPECT_EQ(chooser.Label1->text(), NoHeaderText()) << what;
        } else {
            EXPECT_EQ(chooser.Label1->text(), ShowFileInfo().join(u'\n')) << what;
            EXPECT_TRUE(chooser.Label1->text().contains(QString::fromLatin1(c.reportHas))) << what;
        }
        ASSERT_EQ(editors.visits.size(), c.editorOpens ? 1u : 0u) << what;
        if (c.editorOpens) {
            EXPECT_EQ(editors.visits[0].videoFile, Path(file));
        }
        EXPECT_TRUE(messages.texts().isEmpty())
            << what << ": " << messages.texts().join(u'|').toStdString();
        EXPECT_TRUE(chooser.isVisible()) << what;
        EXPECT_EQ(chooser.ExitCode, 0);
    }
}

TEST_F(ChooserTest, ShowEditChaptersOpensMpeg2AndRefusesOtherTypes) {
    const struct {
        const char* select; // nullptr: nothing selected, the first file is taken
        const char* expectFile;
        bool editorOpens;
        const char* message; // nullptr: none
    } cases[] = {
        {nullptr, "a.MPG", false, "Only MPEG2 videos can be used"},
        {"b.m2v", "b.m2v", true, nullptr},
        {"c.VOB", "c.VOB", false, nullptr},
    };
    for (const auto& c : cases) {
        frmTest chooser;
        StartOn(chooser, folder);
        WaitForTheVideos(chooser);
        const QString expected = QString::fromLatin1(c.expectFile);
        if (c.select)
            ClickFile(chooser, QString::fromLatin1(c.select), Gesture::Click);
        // A chapter list from the command line must not reach a file picked here.
        GlobalVars().ChapterTimes = u"00:00:01.000"_qs;
        messages.messages.clear();
        EditorWatcher editors(chooser);
        QTest::mouseClick(chooser.Command1, Qt::LeftButton);

        EXPECT_EQ(chooser.File1FileName(), expected);
        EXPECT_EQ(GlobalVars().VideoFile, Path(expected));
        QStringList expectedMessages;
        if (c.message)
            expectedMessages << QString::fromLatin1(c.message);
        EXPECT_EQ(messages.texts(), expectedMessages) << c.expectFile;
        ASSERT_EQ(editors.visits.size(), c.editorOpens ? 1u : 0u) << c.expectFile;
        if (c.editorOpens) {
            EXPECT_EQ(editors.visits[0].videoFile, Path(expected));
            EXPECT_TRUE(editors.visits[0].chapterTimes.isEmpty());
            EXPECT_EQ(editors.visits[0].importedChapters, 0);
            // Picked by the user, the editor does not end the program.
            EXPECT_TRUE(chooser.isVisible());
        }
        if (expected == u"c.VOB")
            EXPECT_EQ(chooser.Label1->text(), NoHeaderText());
        else
            EXPECT_EQ(chooser.Label1->text(), ShowFileInfo().join(u'\n'));
        EXPECT_EQ(chooser.ExitCode, 0);
    }
}

TEST_F(ChooserTest, ShowEditChaptersDoesNothingOnAnEmptyList) {
    QTemporaryDir empty;
    ASSERT_TRUE(WriteAll(empty.filePath(u"notes.txt"_qs), "text\n"));
    frmTest chooser;
    auto* files = qobject_cast<QFileSystemModel*>(chooser.File1->model());
    ASSERT_TRUE(files);
    QSignalSpy loaded(files, &QFileSystemModel::directoryLoaded);
    StartOn(chooser, empty.path());
    EditorWatcher editors(chooser);
    QTest::mouseClick(chooser.Command1, Qt::LeftButton);
    // Once more after the folder has been read for certain.
    const QVariantList emptyFolder{QDir::cleanPath(empty.path())};
    ASSERT_TRUE(QTest::qWaitFor([&] { return loaded.contains(emptyFolder); }, Patience));
    QTest::mouseClick(chooser.Command1, Qt::LeftButton);
    EXPECT_EQ(chooser.File1ListCount(), 0);
    EXPECT_EQ(chooser.Label1->text(), "Info");
    EXPECT_TRUE(GlobalVars().VideoFile.isEmpty());
    EXPECT_TRUE(messages.texts().isEmpty());
    EXPECT_TRUE(editors.visits.empty());
}

TEST_F(ChooserTest, EditorThatRefusesTheVideoEndsTheProgram) {
    // An MPEG-2 stream with its sequence header but without any GOP header.
    const QByteArray stream = ReadAll(TestVideo(u"pal.m2v"_qs));
    const qsizetype gop = stream.indexOf(QByteArray::fromHex("000001B8"));
    ASSERT_GT(gop, 0);
    ASSERT_TRUE(WriteAll(Path(u"a.MPG"_qs), stream.left(gop) + QByteArray(4096, '\0')));
    frmTest chooser;
    StartOn(chooser, folder);
    WaitForTheVideos(chooser);
    EditorWatcher editors(chooser);
    QTest::mouseClick(chooser.Command1, Qt::LeftButton);
    EXPECT_EQ(GlobalVars().MpegType, "2");
    EXPECT_EQ(messages.texts(), QStringList{LoadLangString(208)});
    EXPECT_TRUE(editors.visits.empty());
    EXPECT_FALSE(chooser.isVisible());
    EXPECT_EQ(chooser.ExitCode, 1);
}

TEST_F(ChooserTest, CommandLineStartOpensTheEditorAndClosesAfterIt) {
    // Options after the video count only behind an output folder.
    const QString outdir = u"/outdir="_qs + folder;
    const struct {
        const char* video;
        QStringList options;
        int editors;
        bool controlsDisabled;
        bool noHeader; // the label tells the error instead of showing the report
        QStringList messages;
        int exitCode;
    } cases[] = {
        {"b.m2v", {}, 1, false, false, {}, 0},
        {"a.MPG", {outdir}, 0, false, false, {LoadLangString(1000, 200)}, 1},
        {"c.VOB", {outdir, u"/clips=\"5\""_qs}, 0, false, true, {LoadLangString(1000, 201)}, 1},
    };
    for (const auto& c : cases) {
        const QString video = Path(QString::fromLatin1(c.video));
        const QString commandLine = CommandLineText(QStringList{video} + c.options);
        const std::string what = commandLine.toStdString();
        GlobalVars() = Global_var_module{};
        messages.messages.clear();
        frmTest chooser;
        EditorWatcher editors(chooser, /*closeItself=*/c.controlsDisabled);
        ASSERT_TRUE(chooser.Form_Load(QStringList{video} + c.options)) << what;
        EXPECT_TRUE(chooser.Timer0->isActive());
        EXPECT_EQ(GlobalVars().VideoFile, video);
        EXPECT_EQ(chooser.Dir1Path(), folder) << "the lists start at the video's folder";
        chooser.show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !chooser.isVisible(); }, Patience)) << what;

        EXPECT_FALSE(chooser.Timer0->isActive());
        ASSERT_EQ(int(editors.visits.size()), c.editors) << what;
        if (c.editors) {
            EXPECT_EQ(editors.visits[0].videoFile, video);
            EXPECT_EQ(editors.visits[0].anyListEnabled, !c.controlsDisabled) << what;
            EXPECT_EQ(editors.visits[0].command1Enabled, !c.controlsDisabled) << what;
        }
        EXPECT_EQ(messages.texts(), c.messages) << what;
        if (c.noHeader) {
            EXPECT_EQ(chooser.Label1->text(),
                      NoHeaderText() + QStringLiteral("Command:\n") + commandLine + u'\n');
        } else {
            EXPECT_EQ(chooser.Label1->text(), ShowFileInfo().join(u'\n')) << what;
        }
        EXPECT_EQ(chooser.ExitCode, c.exitCode) << what;
    }
}

TEST_F(ChooserTest, CaptionsAndSizeFollowTheLanguage) {
    const QString pal = TestVideo(u"pal_dvd.vob"_qs);
    for (const char* langId : {"1000", "2000"}) {
        StoreLangId(QString::fromLatin1(langId));
        frmTest chooser;
        EXPECT_FALSE(chooser.Form_Load({}));
        StoreLangId(std::nullopt);
        const qint32 base = GlobalVars().LangBase;
        ASSERT_EQ(base, QString::fromLatin1(langId).toInt());
        EXPECT_EQ(chooser.windowTitle(), LoadLangString(base, 238));
        EXPECT_EQ(chooser.Command1->text(), LoadLangString(base, 211));
        EXPECT_EQ(chooser.Command2->text(), LoadLangString(base, 210));
        EXPECT_EQ(chooser.Command3->text(), LoadLangString(base, 209));

        // The label is fourteen lines of the window's font high; the window ends 50 twips below.
        const QFontMetrics metrics(chooser.font());
        const int height = chooser.Label1->height();
        EXPECT_GE(height, 13 * metrics.lineSpacing() + metrics.height()) << langId;
        EXPECT_LE(height, 14 * metrics.lineSpacing() + metrics.leading()) << langId;
        EXPECT_EQ(chooser.height(), chooser.Label1->y() + height + TwipsToWholePixelsY(50))
            << langId;

        // The longest report is shown whole, and nothing lies outside the window.
        ASSERT_TRUE(ScanMpegHeaders(pal));
        chooser.Label1->setText(ShowFileInfo().join(u'\n'));
        EXPECT_GE(ShowFileInfo().size(), 13);
        EXPECT_LE(chooser.Label1->sizeHint().height(), height) << langId;
        EXPECT_LE(chooser.Label1->sizeHint().width(), chooser.Label1->width()) << langId;
        for (QWidget* control : chooser.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            EXPECT_TRUE(chooser.rect().contains(control->geometry()))
                << control->objectName().toStdString() << " sticks out, language " << langId;
        }
        for (QPushButton* button : {chooser.Command1, chooser.Command2, chooser.Command3})
            EXPECT_GE(button->width(), button->sizeHint().width()) << langId;
    }
}

TEST_F(ChooserTest, StartFolderIsTheVideosFolderOrTheVideosOrHome) {
    const QByteArray savedHome = qgetenv("HOME");
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    const QString homePath = QDir::cleanPath(home.path());
    EXPECT_EQ(frmTest::StartFolder(QString()), homePath);
    ASSERT_TRUE(QDir(homePath).mkdir(u"Videos"_qs));
    EXPECT_EQ(frmTest::StartFolder(QString()), homePath + u"/Videos"_qs);
    EXPECT_EQ(frmTest::StartFolder(Path(u"b.m2v"_qs)), folder);
    // Started from a folder that holds videos: that folder.
    const QString saved = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder));
    EXPECT_EQ(frmTest::StartFolder(QString()), QDir::currentPath());
    QDir::setCurrent(saved);
    qputenv("HOME", savedHome);
}

TEST_F(ChooserTest, QuitClosesAndAboutOpensTheModalBox) {
    frmTest chooser;
    StartOn(chooser, folder);
    QPointer<QWidget> parent;
    bool shownModally = false;
    ShowWatcher<Dialog_About> watcher([&](Dialog_About* about) {
        parent = about->parentWidget();
        QTimer::singleShot(0, about, [&, about] {
            shownModally = QApplication::activeModalWidget() == about;
            QTest::mouseClick(about->OKButton, Qt::LeftButton);
        });
    });
    QTest::mouseClick(chooser.Command3, Qt::LeftButton);
    EXPECT_EQ(watcher.shown, 1);
    EXPECT_EQ(parent, &chooser);
    EXPECT_TRUE(shownModally);
    EXPECT_TRUE(chooser.isVisible());

    QTest::mouseClick(chooser.Command2, Qt::LeftButton);
    EXPECT_FALSE(chooser.isVisible());
    EXPECT_EQ(chooser.ExitCode, 0);
}

} // namespace
