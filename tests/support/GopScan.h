#pragma once

#include "chapters/Timecode.h"
#include "shell/GlobalVars.h"
#include "support/GopReference.h"
#include "support/TestSupport.h"

#include <vector>

struct Gop {
    qint64 pos; // 1-based, as the editor keeps it
    QString text;
    double seconds;
};

// Every valid GOP header of the file with its timecode, from a plain byte scan.
inline std::vector<Gop> ScanGops(const QString& path) {
    std::vector<GopReference::Header> headers;
    GopReference::CollectHeaders(ReadAll(path), 0, headers);
    const Global_var_module& g = GlobalVars();
    std::vector<Gop> gops;
    for (const auto& h : headers) {
        if (!h.tc.valid)
            continue;
        const QString text =
            GopTimecodeToText(h.tc.hours, h.tc.minutes, h.tc.seconds, h.tc.pictures, g.FrameRate,
                              g.DropFrame != FlagFalse);
        int s = 0;
        TimeOfDaySeconds(text, s);
        gops.push_back({h.offset + 1, text, s + text.mid(9).toInt() / 1000.0});
    }
    return gops;
}
