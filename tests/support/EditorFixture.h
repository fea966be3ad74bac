#pragma once

#include "editor/MpegLibForm.h"
#include "editor/Tag.h"
#include "shell/GlobalVars.h"
#include "shell/LangStrings.h"
#include "support/MessageRecorder.h"
#include "support/TestSupport.h"
#include "session/EditorSession.h"

#include <QLabel>
#include <QTemporaryDir>
#include <memory>

// An editor window started on a video the way the program starts it: the record reset to its
// start-up values, the video scanned, the load step run. Messages are recorded, not shown.
struct EditorFixture {
    QTemporaryDir outDir;
    QTemporaryDir appDir;
    MessageRecorder messages;
    std::unique_ptr<MpegLibForm> form;

    // Resets the record for `video`; call Load() after adjusting it.
    void Prepare(const QString& video) {
        Global_var_module& g = GlobalVars();
        g = Global_var_module{};
        g.VideoFile = video;
        g.OutDir = outDir.path();
        g.AppPath = appDir.path();
        ScanMpegHeaders(video);
    }

    bool Load() {
        form = std::make_unique<MpegLibForm>();
        return form->Form_Load();
    }

    bool Start(const QString& video) {
        Prepare(video);
        return Load();
    }

    ~EditorFixture() {
        form.reset();
        GlobalVars() = Global_var_module{};
        SetLangBase(1000);
    }
};

// The Tags of the editor's chapter icons that carry one, in icon order.
inline QStringList IconTags(const MpegLibForm& f) {
    QStringList tags;
    for (const QLabel* icon : f.Label8)
        if (!Tag(icon).isEmpty())
            tags << Tag(icon);
    return tags;
}
