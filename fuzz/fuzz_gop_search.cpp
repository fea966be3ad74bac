// The GOP time-code searches at any position of arbitrary (possibly sparse, > 4 GiB) files.
#include "FuzzFile.h"
#include "chapters/GopSearch.h"

namespace {

void CheckResult(const GopSearchResult& result) {
    FUZZ_CHECK(!result.timecode.isNull());
    if (result.found)
        FUZZ_CHECK(result.headerPos >= 1 && result.headerPos <= FuzzFile::Size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider provider(data, size);
    static const float rates[] = {25.0f, 29.97f, 23.976f, 30.0f, 50.0f, 59.94f, 0.0f, -1.0f};
    GopSearchContext context;
    context.frameRate = rates[provider.ConsumeIntegralInRange<int>(0, 7)];
    context.dropFrame = provider.ConsumeBool();
    const qint64 rawPos = provider.ConsumeIntegral<qint64>();
    const bool forward = provider.ConsumeBool();
    context.path = FuzzFile::WriteWithOptionalHole(provider);
    context.fileLength = FuzzFile::Size();

    // Positions inside the file mostly, but anything the editor could hand over as well.
    const qint64 pos =
        context.fileLength > 0 && rawPos >= 0 ? rawPos % (context.fileLength + 2) : rawPos;
    CheckResult(FindGopTimecode(context, pos,
                                forward ? SearchDirection::Forward : SearchDirection::Backward));
    const GopSearchResult next = FindNextGopHeader(context, pos);
    CheckResult(next);
    if (next.found && pos >= 1)
        FUZZ_CHECK(next.headerPos >= pos);
    FUZZ_CHECK(!ReadFirstGopTimecode(context.path, context.frameRate, context.dropFrame).isEmpty());
    return 0;
}
