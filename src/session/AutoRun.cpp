#include "session/AutoRun.h"

#include "session/EditorSession.h"
#include "shell/LangStrings.h"
#include "shell/MessageSeam.h"
#include "stream/MpegScanner.h"

int RunAutomatic(Global_var_module& record) {
    if (record.VideoFile.isEmpty()) {
        ShowMessage(nullptr, LoadLangString(207));
        return 1;
    }
    if (!ScanMpegHeaders(record.VideoFile, record)) {
        ShowMessage(nullptr, LoadLangString(201));
        return 1;
    }
    if (record.MpegType != u"2") {
        ShowMessage(nullptr, LoadLangString(200));
        return 1;
    }
    EditorSession session(record);
    if (!session.Start())
        return 1;
    if (!session.FileChapters.isEmpty() && session.SaveAllowed != FlagFalse) {
        session.Command_CreateChapters3_Click();
    } else {
        ShowMessage(nullptr, QStringLiteral("Sorry, automatic failed"));
        session.AutoRunFailed = true;
    }
    // The closing question is answered by the seam, which nobody watches in this run.
    session.QueryUnload();
    session.Unload();
    if (session.AutoRunFailed)
        return 3;
    return session.SaveFailures.isEmpty() ? 0 : 2;
}
