#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

class QComboBox;
class QFileSystemModel;
class QFont;
class QLabel;
class QListView;
class QPushButton;
class QTimer;
class QTreeView;

// The program's first window: drive, folder and file lists to pick an MPEG video, the stream
// report of the picked file, and the button that opens the editor on it. A start that names a
// video opens the editor by itself right after the window is shown and closes the window (which
// ends the program) when the editor has closed.
class frmTest : public QWidget {
    Q_OBJECT
public:
    explicit frmTest(QWidget* parent = nullptr);
    ~frmTest() override;

    // The load step of the program: the start-up settings of the record from the program's
    // `arguments` (the video first, then its options),
    // captions, sizing, the start folder and the file pattern. When a video was named, Timer0 is
    // started (the editor follows once the window is shown) and true is returned. (An automatic
    // run never comes here: it runs without a window.)
    bool Form_Load(const QStringList& arguments);

    // The folder the lists show first: the folder of `videoFile` when it names one, else the
    // user's videos folder when it exists, else the home folder.
    static QString StartFolder(const QString& videoFile);

    // Height of Label1: fourteen lines of "M" in `font`, enough for the longest report.
    static int InfoLabelHeight(const QFont& font);

    // The folder lists. Setting Dir1's folder shows its drive in Drive1 and re-points File1 as a
    // change by the user would.
    QString Dir1Path() const;
    void SetDir1Path(const QString& folder);
    QString File1Path() const;
    void SetFile1Path(const QString& folder);
    // Patterns separated by ";", matched without regard to letter case.
    void SetFile1Pattern(const QString& pattern);
    // Files File1 lists now; the list fills in the background after its folder changed.
    int File1ListCount() const;
    // Name of the selected file, empty when none is selected.
    QString File1FileName() const;

    QComboBox* Drive1 = nullptr;
    QTreeView* Dir1 = nullptr;
    QListView* File1 = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* Command1 = nullptr; // Show / Edit Chapters
    QPushButton* Command2 = nullptr; // Quit
    QPushButton* Command3 = nullptr; // About
    QTimer* Timer0 = nullptr;        // starts the editor for a video named on the command line

    // The whole command line of this run as one text, rebuilt from the arguments.
    QString CommandLine;
    // Exit code of the program once this window has closed: 1 when the video named on the
    // command line was refused or missing, or the editor's load step asked the program to end.
    int ExitCode = 0;

    void Drive1_Change();
    void Dir1_Change();
    void File1_Click();
    void File1_DblClick();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Timer0_Timer();
    void StartFromCommandLine();
    // A video dropped onto the window opens as a double-click on it does (a dropped folder is
    // shown in the lists).
    void OpenDropped(const QString& path);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Selects the first file when none is selected, makes it the record's VideoFile, scans it
    // and reports. False when no file is listed or the scan found no sequence header.
    bool SelectAndReport();
    // Makes `video` the record's VideoFile, scans it and reports; false without a sequence header.
    bool ScanAndReport(const QString& video);
    void ShowReport();
    // After a successful scan: the editor for MPEG-2, otherwise message 200 when `tellOtherTypes`.
    void OpenEditor(bool tellOtherTypes);
    // Runs the editor modally. False when its load step refused the video: the program ends.
    bool ShowEditor();
    // Points Drive1 at the volume holding `folder` without treating it as a change of drive.
    void SelectDriveOf(const QString& folder);
    void SizeWindow();

    QFileSystemModel* folderModel_ = nullptr;
    QFileSystemModel* fileModel_ = nullptr;
    QString dir1Path_;
    QString file1Path_;
    bool settingDir1_ = false;
    bool revealDir1_ = false; // Dir1's folder is to be scrolled into view once its parent is read
};
