// The front-end's command line: raw text, and the arguments the program rebuilds it from (split
// at NUL bytes, read in the local 8-bit encoding as the program reads argv). Relative paths
// resolve in the folder the fuzzer runs in (scripts/fuzz.sh gives it an empty one).
#include "FuzzFile.h"
#include "shell/CommandLine.h"
#include "shell/GlobalVars.h"

#include <QFileInfo>
#include <QStringList>

namespace {

// A video or output folder the command line names is one that exists: names that do not are
// dropped.
void Check(const Global_var_module& record) {
    FUZZ_CHECK(record.VideoFile.isEmpty() || QFileInfo::exists(record.VideoFile));
    FUZZ_CHECK(record.OutDir.isEmpty() || QFileInfo::exists(record.OutDir));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = ToBytes(data, size);
    QStringList args;
    for (const QByteArray& arg : bytes.split('\0'))
        args << QString::fromLocal8Bit(arg);

    Global_var_module fromArgs;
    ReadArguments(args, fromArgs);
    Check(fromArgs);
    Global_var_module fromRebuilt;
    ReadCommandLine(CommandLineText(args), fromRebuilt);
    Check(fromRebuilt);
    Global_var_module fromText;
    ReadCommandLine(QString::fromLocal8Bit(bytes), fromText);
    Check(fromText);
    return 0;
}
