#include "editor/MpegLibForm.h"

#include "session/EditorSession.h"

#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>

// The keys of video tools. They act for the whole window, before a focused button sees them, so
// Space never presses the focused Save button; a focused text box keeps the keys it types. Each
// key works only while the button that makes the same move is enabled (not during playback).
void MpegLibForm::ConnectKeys() {
    const struct {
        Qt::Key key;
        QPushButton* button;
        void (*move)(EditorSession&);
    } keys[] = {
        {Qt::Key_Space, Command2, [](EditorSession& s) { s.Command2_Click(); }},
        {Qt::Key_Period, Command_NextFrame, [](EditorSession& s) { s.NextPictureStep(); }},
        {Qt::Key_Comma, Command_NextFrame, [](EditorSession& s) { s.PreviousPictureStep(); }},
        {Qt::Key_PageDown, Command_NextIFrame, [](EditorSession& s) { s.NextGopStep(); }},
        {Qt::Key_PageUp, Command_StepBack, [](EditorSession& s) { s.PreviousGopStep(); }},
        {Qt::Key_End, Command_NextIFrame, [](EditorSession& s) { s.GoToLastGop(); }},
        {Qt::Key_Home, Command_StepBack, [](EditorSession& s) { s.GoToStart(); }},
    };
    for (const auto& k : keys) {
        auto* shortcut = new QShortcut(QKeySequence(k.key), this);
        shortcut->setObjectName(QStringLiteral("Key_") + QKeySequence(k.key).toString());
        connect(shortcut, &QShortcut::activated, this, [this, button = k.button, move = k.move] {
            if (button->isEnabled() && button->isVisible())
                move(*Session);
        });
    }
    Command2->setToolTip(QStringLiteral("Play / Pause (Space)"));
    Command_NextFrame->setToolTip(QStringLiteral("Next picture (.)  -  previous picture (,)"));
    Command_NextIFrame->setToolTip(
        QStringLiteral("Next GOP (Page Down, Right)  -  last GOP (End)"));
    Command_StepBack->setToolTip(QStringLiteral("Previous GOP (Page Up, Left)  -  start (Home)"));
}
