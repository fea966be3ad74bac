#include "editor/MpegLibForm.h"

#include "chapters/ChapterText.h"
#include "crop/PictureBox.h"
#include "editor/EventWatch.h"
#include "editor/OpenFileDialog.h"
#include "session/EditorSession.h"
#include "shell/LangStrings.h"

#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>

void MpegLibForm::ConnectSaveCurrent() {
    connect(Command_SavePic, &QPushButton::clicked, this, [this] { Command_SavePic_Click(); });
    // Key presses on the save button hand the focus to the picture: the arrow keys keep stepping.
    new EventWatch(Command_SavePic, QEvent::KeyPress,
                   [this](int key) { Command_SavePic_KeyDown(key); });
}

void MpegLibForm::ConnectChapterCreation() {
    connect(Command_CreateChapters, &QPushButton::clicked, this,
            [this] { Command_CreateChapters_Click(); });
    connect(Command_CreateChapters2, &QPushButton::clicked, this,
            [this] { Command_CreateChapters2_Click(); });
    connect(Command_CreateChapters3, &QPushButton::clicked, this,
            [this] { Command_CreateChapters3_Click(); });
}

void MpegLibForm::ConnectChapterImport() {
    connect(Command_GetChapterFile, &QPushButton::clicked, this,
            [this] { Command_GetChapterFile_Click(); });
    connect(Command_GetChapterClipBoard, &QPushButton::clicked, this,
            [this] { Command_GetChapterClipBoard_Click(); });
}

void MpegLibForm::Command_SavePic_KeyDown(int) {
    Picture1->setFocus();
}

void MpegLibForm::Command_SavePic_Click() {
    Session->SaveCurrent();
}

void MpegLibForm::Command_CreateChapters_Click() {
    Session->Command_CreateChapters_Click(Text_NumChap->text());
}

void MpegLibForm::Command_CreateChapters2_Click() {
    Session->Command_CreateChapters2_Click(Text_ChapTime->text());
}

void MpegLibForm::Command_CreateChapters3_Click() {
    Session->Command_CreateChapters3_Click();
}

void MpegLibForm::Command_GetChapterClipBoard_Click() {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    Session->ImportClipboardText(clipboard ? clipboard->text() : QString());
}

void MpegLibForm::Command_GetChapterFile_Click() {
    // The dialog is the chooser's: it carries the chooser window's caption. Its filter matches
    // without regard to letter case, so "film.txt" is offered too; the chapter files of other
    // tools (XML, ffmpeg metadata) are told by their content.
    const QString chosen = OpenFileDialog(
        DefaultChapterFile(Session->VideoFile()), QStringLiteral("Chapter Files (*.txt)"),
        QStringLiteral("*.TXT;*.XML;*.FFMETA"), this, LoadLangString(238));
    if (!chosen.isEmpty())
        Session->ImportChapterFile(chosen);
}
