#include "editor/MpegLibForm.h"

#include "chapters/ChapterFormats.h"
#include "crop/PictureBox.h"
#include "session/EditorSession.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

void MpegLibForm::ConnectChapterExport() {
    // The chapter list's context menu; its one entry works whatever the list shows.
    auto* exportAction = new QAction(QStringLiteral("Export chapters..."), List1);
    exportAction->setObjectName(QStringLiteral("Action_ExportChapters"));
    connect(exportAction, &QAction::triggered, this, [this] { ExportChapters_Click(); });
    List1->addAction(exportAction);
    List1->setContextMenuPolicy(Qt::ActionsContextMenu);
    // Also in the picture's menu and on Ctrl+E, for the whole window.
    exportAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    exportAction->setShortcutContext(Qt::WindowShortcut);
    Picture1->addAction(exportAction);
}

void MpegLibForm::ExportChapters_Click() {
    QFileDialog dialog(this, QStringLiteral("Export chapters"));
    dialog.setObjectName(QStringLiteral("ExportChaptersDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(ChapterFormatFilters());
    const ChapterFormat first = ChapterFormats().front().format;
    const QFileInfo offered(Session->ChapterExportPath(first));
    dialog.setDirectory(offered.path());
    dialog.selectFile(offered.fileName());
    // Another format offers its own name beside the cell-times file.
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [this, &dialog](const QString& filter) {
        if (const std::optional<ChapterFormat> format = ChapterFormatOfFilter(filter))
            dialog.selectFile(QFileInfo(Session->ChapterExportPath(*format)).fileName());
    });
    // The chapters' names, below the dialog's own rows.
    auto* names = new QLineEdit(Session->ChapterNameTemplate, &dialog);
    names->setObjectName(QStringLiteral("ChapterNamesEdit"));
    names->setToolTip(QStringLiteral("%1 stands for the chapter's number: 01, 02, ..."));
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
        const int row = grid->rowCount();
        grid->addWidget(new QLabel(QStringLiteral("Chapter names:"), &dialog), row, 0);
        grid->addWidget(names, row, 1);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    Session->ChapterNameTemplate = names->text();
    const std::optional<ChapterFormat> format = ChapterFormatOfFilter(dialog.selectedNameFilter());
    Session->ExportChapterList(dialog.selectedFiles().first(), format.value_or(first));
}
