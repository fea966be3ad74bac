// Takes the README's screenshots of the real windows: run by scripts/screenshots.sh under a
// virtual X server. Usage: cueboard_screenshots OUTDIR VIDEO, or
// cueboard_screenshots --shown OUTDIR HD_VIDEO WIDE_VIDEO for the shots of the shown picture (a
// 1920x1080 stream, and a 16:9 DVD with "Display aspect" on).
#include "chooser/ChooserWindow.h"
#include "crop/CropDialog.h"
#include "editor/MpegLibForm.h"
#include "session/EditorSession.h"
#include "session/ShownSize.h"
#include "shell/GlobalVars.h"
#include "shell/LangStrings.h"
#include "shell/Startup.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <tuple>

namespace {

void Save(QWidget* window, const QString& path) {
    window->show();
    QTest::qWait(400);
    window->grab().save(path);
    std::printf("wrote %s\n", qPrintable(path));
}

// The editor on the video, moved to a later GOP so that the picture is not the first one.
std::unique_ptr<MpegLibForm> OpenEditor(const QString& video, const QString& outDir, qint32 lang,
                                        int gopSteps = 30) {
    Global_var_module& g = GlobalVars();
    g = Global_var_module{};
    g.LangBase = lang;
    SetLangBase(lang);
    g.VideoFile = video;
    g.OutDir = outDir;
    g.AppPath = outDir;
    ScanMpegHeaders(video);
    auto form = std::make_unique<MpegLibForm>();
    form->Form_Load();
    for (int i = 0; i < gopSteps; ++i)
        form->Session->NextGopStep();
    form->Command_SavePic_Click();
    for (int i = 0; i < gopSteps * 5 / 6; ++i)
        form->Session->NextGopStep();
    form->Command_SavePic_Click();
    return form;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc == 5 && QByteArray(argv[1]) == "--shown") {
        const QString out = QString::fromLocal8Bit(argv[2]);
        QDir().mkpath(out);
        for (const auto& [arg, aspect, name] :
             {std::tuple{3, false, "editor-hd.png"}, std::tuple{4, true, "editor-16x9.png"}}) {
            QTemporaryDir outDir;
            WriteDisplayAspect(aspect);
            auto form = OpenEditor(QString::fromLocal8Bit(argv[arg]), outDir.path(), 1000, 2);
            Save(form.get(), QDir(out).filePath(QString::fromLatin1(name)));
        }
        WriteDisplayAspect(false);
        return 0;
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: cueboard_screenshots OUTDIR VIDEO\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const QString video = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(out);
    QTemporaryDir work;

    {
        // The chooser on the demo's folder, the demo selected and reported.
        QDir::setCurrent(QFileInfo(video).absolutePath());
        frmTest chooser;
        chooser.Form_Load({});
        chooser.SetDir1Path(QFileInfo(video).absolutePath());
        chooser.show();
        QTest::qWait(800);
        chooser.File1_Click();
        Save(&chooser, QDir(out).filePath(QStringLiteral("chooser.png")));
    }

    for (const auto& [lang, name] :
         {std::pair{1000, "editor.png"}, std::pair{2000, "editor-de.png"}}) {
        QTemporaryDir outDir;
        auto form = OpenEditor(video, outDir.path(), lang);
        Save(form.get(), QDir(out).filePath(QString::fromLatin1(name)));
        form.reset();
    }

    QTemporaryDir outDir;
    auto form = OpenEditor(video, outDir.path(), 1000);
    form->show();
    Crop_Dialog dialog({form->Check_Crop, form->Picture1, form->Picture_oben, form->Picture_unten,
                        form->Picture_links, form->Picture_rechts},
                       form.get());
    Save(form.get(), QDir(out).filePath(QStringLiteral("editor-crop.png")));
    Save(&dialog, QDir(out).filePath(QStringLiteral("crop-dialog.png")));
    return 0;
}
