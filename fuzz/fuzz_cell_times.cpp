// Cell-times files as users and other programs leave them: the reader on the file and on lines.
#include "FuzzFile.h"
#include "chapters/Timecode.h"
#include "export/CellTimes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = ToBytes(data, size);
    const std::optional<QStringList> read = ReadCellTimes(FuzzFile::Write(bytes));
    if (read) {
        // Every entry the list takes is a normalised time.
        for (const QString& entry : *read)
            FUZZ_CHECK(NormalizeTimecode(entry, true) == entry);
    }
    QStringList lines;
    for (const QByteArray& line : bytes.split('\n'))
        lines << QString::fromLatin1(line);
    const std::optional<QStringList> parsed = ParseCellTimes(lines);
    if (parsed) {
        for (const QString& entry : *parsed)
            FUZZ_CHECK(NormalizeTimecode(entry, true) == entry);
    }
    return 0;
}
