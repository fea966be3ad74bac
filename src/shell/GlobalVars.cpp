#include "shell/GlobalVars.h"

#include "shell/LangStrings.h"
#include "stream/MpegScanner.h"

#include <QStringList>

Global_var_module& GlobalVars() {
    static Global_var_module record;
    return record;
}

bool ScanMpegHeaders(const QString& path) { return ScanMpegHeaders(path, GlobalVars()); }

QStringList ShowFileInfo() {
    return FileReportLines(GlobalVars(), [](int offset) { return LoadLangString(offset); });
}
