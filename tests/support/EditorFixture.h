#pragma once

#include "editor/MpegLibForm.h"
#include "editor/Tag.h"
#include "support/SessionFixture.h"

#include <QLabel>

// An editor window started on a video the way the program starts it: the record prepared, then
// the window's load step.
struct EditorFixture : RecordFixture {
    std::unique_ptr<MpegLibForm> form;

    bool Load() {
        form = std::make_unique<MpegLibForm>();
        return form->Form_Load();
    }
    bool Start(const QString& video) { return Prepare(video), Load(); }
    ~EditorFixture() { form.reset(); }
};

// The Tags of the editor's chapter icons that carry one, in icon order.
inline QStringList IconTags(const MpegLibForm& f) {
    QStringList tags;
    for (const QLabel* icon : f.Label8)
        if (!Tag(icon).isEmpty())
            tags << Tag(icon);
    return tags;
}
