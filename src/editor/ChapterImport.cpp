#include "editor/MpegLibForm.h"

#include "chapters/ChapterText.h"
#include "editor/Twips.h"
#include "shell/GlobalVars.h"
#include "shell/LangStrings.h"
#include "shell/MessageSeam.h"
#include "stream/FileAccess.h"
#include "editor/OpenFileDialog.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace {

// The chapter list makes room for the file-chapter list below it.
constexpr double ShortListHeightTwips = 1875;

// Puts the times of an accepted import into List2 and shows it. The run over it may start only
// while chapters may be made at all.
void ShowFileChapters(MpegLibForm& form, const QStringList& times) {
    form.List2->clear();
    form.List2->addItems(times);
    form.List1->resize(form.List1->width(), TwipsToWholePixelsY(ShortListHeightTwips));
    form.Label5->show();
    form.List2->show();
    form.Command_CreateChapters3->setEnabled(form.SaveAllowed != FlagFalse);
}

} // namespace

void MpegLibForm::ConnectChapterImport() {
    connect(Command_GetChapterFile, &QPushButton::clicked, this,
            [this] { Command_GetChapterFile_Click(); });
    connect(Command_GetChapterClipBoard, &QPushButton::clicked, this,
            [this] { Command_GetChapterClipBoard_Click(); });
}

void MpegLibForm::ImportChapterList() {
    const QString& times = GlobalVars().ChapterTimes;
    const ChapterTextResult result = ReadChapterText(times, ChapterTextSource::CommandLine);
    if (!result.accepted) {
        ShowMessage(this, LoadLangString(206) + QStringLiteral("\r\n") + times);
        return;
    }
    ShowFileChapters(*this, result.entries);
}

void MpegLibForm::Command_GetChapterClipBoard_Click() {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    const QString text = clipboard ? clipboard->text() : QString();
    const ChapterTextResult result = ReadChapterText(text, ChapterTextSource::Clipboard);
    if (!result.accepted) {
        ShowMessage(this, LoadLangString(206));
        return;
    }
    ShowFileChapters(*this, result.entries);
}

void MpegLibForm::Command_GetChapterFile_Click() {
    // The dialog is the chooser's: it carries the chooser window's caption. Its filter matches
    // "*.TXT" without regard to letter case, so "film.txt" is offered too.
    const QString chosen = OpenFileDialog(DefaultChapterFile(GlobalVars().VideoFile),
                                          QStringLiteral("Chapter Files (*.txt)"),
                                          QStringLiteral("*.TXT"), this, LoadLangString(238));
    if (chosen.isEmpty())
        return;
    if (!FileExists(chosen)) {
        ShowMessage(this, LoadLangString(207));
        return;
    }
    QFile file(chosen);
    if (!file.open(QIODevice::ReadOnly))
        return;
    // A file that holds no usable time is passed over without a message.
    const ChapterTextResult result =
        ReadChapterText(ChapterTextOfFile(file.readAll()), ChapterTextSource::File);
    if (result.accepted)
        ShowFileChapters(*this, result.entries);
}
