// Chapter lists brought in from a chapter file, the clipboard or the command line.
#include "FuzzFile.h"
#include "chapters/ChapterText.h"
#include "chapters/Timecode.h"

namespace {

void Check(const ChapterTextResult& result) {
    if (!result.accepted)
        return;
    for (const QString& entry : result.entries)
        FUZZ_CHECK(!NormalizeTimecode(entry, true).isEmpty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = ToBytes(data, size);
    Check(ReadChapterText(ChapterTextOfFile(bytes), ChapterTextSource::File));
    const QString text = QString::fromUtf8(bytes);
    Check(ReadChapterText(text, ChapterTextSource::Clipboard));
    Check(ReadChapterText(text, ChapterTextSource::CommandLine));
    return 0;
}
