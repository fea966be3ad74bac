#include "chooser/ChooserWindow.h"

#include "about/AboutDialog.h"
#include "editor/MpegLibForm.h"
#include "editor/Twips.h"
#include "shell/CommandLine.h"
#include "shell/GlobalVars.h"
#include "shell/LangStrings.h"
#include "shell/MessageSeam.h"
#include "shell/Startup.h"
#include "widgets/Controls.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFontMetrics>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QTimer>
#include <QTreeView>
#include <algorithm>

namespace {

const QString VideoPattern = QStringLiteral("*.mpv;*.mpg;*.m2v;*.vob");
constexpr int InfoLines = 14;
constexpr double BottomMarginTwips = 50;
constexpr int Margin = 8;
constexpr int Gap = 6;

QString DriveCaption(const QStorageInfo& volume) {
    const QString name = volume.name();
    return name.isEmpty() || name == volume.rootPath()
               ? volume.rootPath()
               : QStringLiteral("%1 [%2]").arg(volume.rootPath(), name);
}

// A folder and a file name; a root folder already ends with its separator.
QString JoinPath(const QString& folder, const QString& name) {
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

// The widest line a report can have in the run's language, so that Label1 shows it whole.
int WidestReportLine(const QFontMetrics& metrics) {
    int widest = 0;
    for (int offset = 212; offset <= 221; ++offset) {
        const QString line =
            QStringLiteral("   ") + LoadLangString(offset) + QStringLiteral(" (SCR)=00:00:00.00");
        widest = std::max(widest, metrics.horizontalAdvance(line));
    }
    return widest;
}

} // namespace

frmTest::frmTest(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmTest"));
    setWindowTitle(QStringLiteral("Chapter Editor"));

    Drive1 = MakeControl<QComboBox>(this, "Drive1");
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        // Containers mount single files too; only folders can be listed.
        if (volume.isValid() && volume.isReady() && QFileInfo(volume.rootPath()).isDir() &&
            Drive1->findData(volume.rootPath()) < 0)
            Drive1->addItem(DriveCaption(volume), volume.rootPath());
    }
    Drive1->model()->sort(0);

    folderModel_ = new QFileSystemModel(this);
    folderModel_->setObjectName(QStringLiteral("Dir1Model"));
    folderModel_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    folderModel_->setReadOnly(true);
    Dir1 = MakeControl<QTreeView>(this, "Dir1");
    Dir1->setModel(folderModel_);
    Dir1->setHeaderHidden(true);
    for (int column = 1; column < folderModel_->columnCount(); ++column)
        Dir1->hideColumn(column);
    Dir1->setSelectionMode(QAbstractItemView::SingleSelection);
    Dir1->setEditTriggers(QAbstractItemView::NoEditTriggers);

    fileModel_ = new QFileSystemModel(this);
    fileModel_->setObjectName(QStringLiteral("File1Model"));
    fileModel_->setFilter(QDir::Files);
    // Files that do not match are left out, not shown greyed.
    fileModel_->setNameFilterDisables(false);
    fileModel_->setReadOnly(true);
    File1 = MakeControl<QListView>(this, "File1");
    File1->setModel(fileModel_);
    File1->setSelectionMode(QAbstractItemView::SingleSelection);
    File1->setEditTriggers(QAbstractItemView::NoEditTriggers);

    Label1 = MakeControl<QLabel>(this, "Label1");
    Label1->setTextFormat(Qt::PlainText);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setText(QStringLiteral("Info"));

    Command1 = MakeControl<QPushButton>(this, "Command1");
    Command1->setText(QStringLiteral("Show / Edit Chapters"));
    Command2 = MakeControl<QPushButton>(this, "Command2");
    Command2->setText(QStringLiteral("Quit"));
    Command3 = MakeControl<QPushButton>(this, "Command3");
    Command3->setText(QStringLiteral("About"));

    Timer0 = new QTimer(this);
    Timer0->setObjectName(QStringLiteral("Timer0"));
    Timer0->setInterval(10);
    Timer0->setSingleShot(true);

    connect(Drive1, &QComboBox::currentIndexChanged, this, [this] { Drive1_Change(); });
    connect(Dir1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (settingDir1_ || !current.isValid())
                    return;
                revealDir1_ = false;
                dir1Path_ = folderModel_->filePath(current);
                Dir1_Change();
            });
    // The folder list fills and sorts itself in the background, which moves the chosen folder
    // down the list: it is brought into view again whenever one of its parents has been read.
    const auto reveal = [this] {
        const QModelIndex current = Dir1->currentIndex();
        if (revealDir1_ && current.isValid())
            Dir1->scrollTo(current, QAbstractItemView::PositionAtCenter);
    };
    connect(folderModel_, &QFileSystemModel::directoryLoaded, this,
            [this, reveal](const QString& path) {
                if (revealDir1_ && (dir1Path_ == path || dir1Path_.startsWith(JoinPath(path, {}))))
                    QTimer::singleShot(0, this, reveal);
            });
    connect(folderModel_, &QFileSystemModel::layoutChanged, this, reveal);
    connect(File1, &QListView::clicked, this, [this] { File1_Click(); });
    connect(File1, &QListView::doubleClicked, this, [this] { File1_DblClick(); });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
    connect(Timer0, &QTimer::timeout, this, [this] { Timer0_Timer(); });

    setAcceptDrops(true);
    SizeWindow();
}

frmTest::~frmTest() {
    DisconnectControls(this);
}

bool frmTest::Form_Load(const QStringList& arguments) {
    Global_var_module& g = GlobalVars();
    CommandLine = CommandLineText(arguments);
    // The record's settings: language, defaults, the command line, AutoMode and MarkOnly.
    const bool videoNamed = RunStartup(arguments, g);

    setWindowTitle(LoadLangString(238));
    Command1->setText(LoadLangString(211));
    Command2->setText(LoadLangString(210));
    Command3->setText(LoadLangString(209));
    SizeWindow();

    const QString folder = StartFolder(g.VideoFile);
    SetDir1Path(folder);
    SetFile1Path(folder);
    SetFile1Pattern(VideoPattern);

    if (videoNamed)
        Timer0->start();
    return videoNamed;
}

QString frmTest::StartFolder(const QString& videoFile) {
    if (!videoFile.isEmpty()) {
        const QFileInfo video(videoFile);
        if (QFileInfo(video.absolutePath()).isDir())
            return video.absolutePath();
    }
    // Started from a folder of videos (a terminal, the run script): that folder.
    const QStringList names = QDir::current().entryList(QDir::Files);
    const bool holdsVideo = std::any_of(names.begin(), names.end(), [](const QString& name) {
        return name.endsWith(u".mpv", Qt::CaseInsensitive) ||
               name.endsWith(u".mpg", Qt::CaseInsensitive) ||
               name.endsWith(u".m2v", Qt::CaseInsensitive) ||
               name.endsWith(u".vob", Qt::CaseInsensitive);
    });
    if (holdsVideo)
        return QDir::currentPath();
    const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    if (!videos.isEmpty() && QFileInfo(videos).isDir())
        return QDir::cleanPath(videos);
    return QDir::homePath();
}

int frmTest::InfoLabelHeight(const QFont& font) {
    const QString lines = QStringList(InfoLines, QStringLiteral("M")).join(u'\n');
    return QFontMetrics(font).size(0, lines).height();
}

void frmTest::SizeWindow() {
    const QFontMetrics metrics(font());
    const int buttonHeight = std::max({Command1->sizeHint().height(), Command2->sizeHint().height(),
                                       Command3->sizeHint().height()});
    const int buttonsWidth = Command1->sizeHint().width() + Gap + Command3->sizeHint().width() +
                             Gap + Command2->sizeHint().width();
    const int labelWidth =
        std::max(buttonsWidth, WidestReportLine(metrics) + metrics.horizontalAdvance(u'M'));
    const int listWidth = std::max(220, 18 * metrics.horizontalAdvance(u'M'));
    const int right = Margin + listWidth + Margin;

    int x = right;
    for (QPushButton* button : {Command1, Command3, Command2}) {
        button->setGeometry(x, Margin, button->sizeHint().width(), buttonHeight);
        x += button->width() + Gap;
    }
    Label1->setGeometry(right, Margin + buttonHeight + Margin, labelWidth, InfoLabelHeight(font()));

    // The window ends a little below the info label; everything else fits beside it.
    const int labelBottom = Label1->y() + Label1->height();
    const int windowHeight = labelBottom + TwipsToWholePixelsY(BottomMarginTwips);

    Drive1->setGeometry(Margin, Margin, listWidth, Drive1->sizeHint().height());
    const int listsTop = Drive1->y() + Drive1->height() + Gap;
    const int dirHeight = std::max(40, (labelBottom - listsTop - Gap) / 2);
    Dir1->setGeometry(Margin, listsTop, listWidth, dirHeight);
    const int filesTop = listsTop + dirHeight + Gap;
    File1->setGeometry(Margin, filesTop, listWidth, std::max(40, labelBottom - filesTop));

    setFixedSize(right + labelWidth + Margin, windowHeight);
}

// ---- Handlers ---------------------------------------------------------------------------------

void frmTest::Drive1_Change() {
    SetDir1Path(Drive1->currentData().toString());
}

void frmTest::File1_Click() {
    SelectAndReport();
}

void frmTest::File1_DblClick() {
    if (SelectAndReport())
        OpenEditor(false);
}

void frmTest::Command1_Click() {
    if (File1ListCount() < 1)
        return;
    if (SelectAndReport())
        OpenEditor(true);
}

void frmTest::Command2_Click() {
    close();
}

void frmTest::Command3_Click() {
    Dialog_About about(this);
    about.exec();
}

void frmTest::Timer0_Timer() {
    Timer0->stop();
    StartFromCommandLine();
}

void frmTest::StartFromCommandLine() {
    Global_var_module& g = GlobalVars();
    if (g.VideoFile.isEmpty()) {
        ShowMessage(this, LoadLangString(207));
        ExitCode = 1;
        close();
        return;
    }
    if (!ScanMpegHeaders(g.VideoFile)) {
        Label1->setText(QStringLiteral("Info:\n") + LoadLangString(201) +
                        QStringLiteral("\nCommand:\n") + CommandLine + u'\n');
        ShowMessage(this, LoadLangString(201));
        ExitCode = 1;
        close();
        return;
    }
    ShowReport();
    if (g.MpegType != u"2") {
        ShowMessage(this, LoadLangString(200));
        ExitCode = 1;
        close();
        return;
    }
    if (ShowEditor())
        close();
}

// ---- Steps --------------------------------------------------------------------------------

bool frmTest::SelectAndReport() {
    if (File1FileName().isEmpty()) {
        const QModelIndex first = fileModel_->index(0, 0, File1->rootIndex());
        if (file1Path_.isEmpty() || !first.isValid())
            return false;
        File1->setCurrentIndex(first);
    }
    return ScanAndReport(JoinPath(File1Path(), File1FileName()));
}

bool frmTest::ScanAndReport(const QString& video) {
    Global_var_module& g = GlobalVars();
    g.VideoFile = video;
    if (ScanMpegHeaders(g.VideoFile)) {
        ShowReport();
        return true;
    }
    Label1->setText(QStringLiteral("Info:\n") + LoadLangString(201) + u'\n');
    return false;
}

void frmTest::ShowReport() {
    Label1->setText(ShowFileInfo().join(u'\n'));
}

void frmTest::OpenEditor(bool tellOtherTypes) {
    Global_var_module& g = GlobalVars();
    // A chapter list from the command line belongs to the video named there only.
    g.ChapterTimes.clear();
    if (g.MpegType == u"2")
        ShowEditor();
    else if (tellOtherTypes)
        ShowMessage(this, LoadLangString(200));
}

bool frmTest::ShowEditor() {
    MpegLibForm editor(this);
    if (!editor.Form_Load()) {
        ExitCode = 1;
        close();
        return false;
    }
    editor.exec();
    return true;
}
