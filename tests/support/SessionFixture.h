#pragma once

#include "chapters/Timecode.h"
#include "session/EditorSession.h"
#include "shell/GlobalVars.h"
#include "shell/LangStrings.h"
#include "stream/GopHeader.h"
#include "support/DecoderSupport.h"
#include "support/MessageRecorder.h"
#include "support/TestSupport.h"

#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <memory>
#include <vector>

// The record reset for a video the way the program starts on it: start-up values, the video
// scanned, output and program folders of the test's own. Messages are recorded, not shown.
struct RecordFixture {
    QTemporaryDir outDir, appDir;
    MessageRecorder messages;

    void Prepare(const QString& video) {
        GlobalVars() = Global_var_module{};
        GlobalVars().VideoFile = video;
        GlobalVars().OutDir = outDir.path();
        GlobalVars().AppPath = appDir.path();
        ScanMpegHeaders(video);
    }
    QStringList Files() const { return FilesIn(outDir.path()); }
    QString Out(const QString& name) const { return outDir.filePath(name); }
    ~RecordFixture() {
        GlobalVars() = Global_var_module{};
        SetLangBase(1000);
    }
};

// An editor session started on a video; call Start() after adjusting the prepared record.
struct SessionRun : RecordFixture {
    std::unique_ptr<EditorSession> s;

    void Prepare(const QString& video) { s.reset(), RecordFixture::Prepare(video); }
    bool Start() {
        s = std::make_unique<EditorSession>(GlobalVars());
        return s->Start();
    }
    bool Start(const QString& video) { return Prepare(video), Start(); }
    ~SessionRun() { s.reset(); }
};

inline QString Video(const char* name) {
    return TestVideo(QString::fromLatin1(name));
}

// A timecode as it stands in file names.
inline QString Mark(QString timecode) {
    return timecode.replace(u':', u'_');
}

inline QByteArray CellTimesOf(const QStringList& marks) {
    return marks.isEmpty() ? QByteArray() : (marks.join(u"\r\n"_qs) + u"\r\n"_qs).toLatin1();
}

struct Gop {
    qint64 pos; // 1-based, as the session keeps it
    QString text;
    double seconds;
};

// Every valid GOP header of the file with its timecode, read from the bytes.
inline std::vector<Gop> GopsOf(const QString& path) {
    const QByteArray bytes = ReadAll(path), code = QByteArray::fromHex("000001B8");
    std::vector<Gop> gops;
    for (qsizetype i = bytes.indexOf(code); i >= 0; i = bytes.indexOf(code, i + 1)) {
        const GopTimeCode tc = DecodeGopHeader(QByteArrayView(bytes).sliced(i), 1);
        const QString text =
            GopTimecodeToText(tc.hours, tc.minutes, tc.seconds, tc.pictures, GlobalVars().FrameRate,
                              GlobalVars().DropFrame != FlagFalse);
        if (tc.valid)
            gops.push_back({i + 1, text, TimecodeSeconds(text).value_or(-1)});
    }
    return gops;
}

inline const Gop* GopAt(const std::vector<Gop>& gops, qint64 pos, const QString& text = {}) {
    const auto it = std::find_if(gops.begin(), gops.end(), [&](const Gop& gop) {
        return text.isEmpty() ? gop.pos == pos : gop.text == text;
    });
    return it == gops.end() ? nullptr : &*it;
}

// A hash of a picture's pixels as red, green, blue bytes, and of its size.
inline quint64 HashRows(const QImage& picture) {
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    quint64 hash = 14695981039346656037ULL;
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width() * 3; ++x)
            hash = (hash ^ rgb.constScanLine(y)[x]) * 1099511628211ULL;
    return hash ^ quint64(rgb.width()) << 48 ^ quint64(rgb.height()) << 32;
}

// The picture a decoder of its own shows entering the file at a 0-based byte offset.
inline quint64 PictureHashAt(const QString& path, qint64 offset) {
    Mpeg2Decoder decoder;
    OpenTestDecoder(decoder, path);
    decoder.MPEG2Seek(offset);
    const uchar* bytes = decoder.GetMPEG2Frame();
    TVideoFrameInfo info;
    decoder.GetMPEG2FrameInfo(&info);
    const QImage bottomUp(bytes, info.Width, info.Height, info.Width * 3, QImage::Format_BGR888);
    return bytes && !bottomUp.isNull() ? HashRows(bottomUp.mirrored(false, true)) : 0;
}
