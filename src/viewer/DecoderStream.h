#pragma once

#include "stream/FileAccess.h"

#include <QByteArray>
#include <QtGlobal>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

// What tells two states of a file apart: a file rewritten in place or replaced by another one
// differs in at least one of these.
struct FileIdentity {
    qint64 size = -1; // -1: no regular file
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;
    quint64 inode = 0;
    quint64 device = 0;
    bool operator==(const FileIdentity&) const = default;
};
FileIdentity IdentityOf(const QByteArray& path);

// The demuxer and the video decoder of one file with the buffers they fill. The decoder keeps it
// over a close, so that reopening the same unchanged file needs no new open and probe.
class DecoderStream {
public:
    DecoderStream() = default;
    ~DecoderStream();
    DecoderStream(const DecoderStream&) = delete;
    DecoderStream& operator=(const DecoderStream&) = delete;

    // Opens the file afresh: demuxer, the sequence header of the first video packets, decoder.
    // False when there is no decodable video; `sizeKnown` may still be set.
    bool open(const QByteArray& fileName);
    void release();
    bool isOpen() const { return fmt && codec; }
    // The open stream is that of `fileName`, and the file is as it was when it was opened.
    bool holds(const QByteArray& fileName) const;
    // Readies the open stream for a reopen: a decoder that would not decode as a new one is made
    // anew. False on failure.
    bool rewind();

    // Flushes the decoder and lets the demuxer go on from the byte offset.
    void restartAt(qint64 entry);
    // Reads the next packet of the video stream into `packet`; false at the end.
    bool readVideoPacket();
    // The coding type of the first picture in a packet (1 I, 2 P, 3 B; 0 when there is none), and
    // whether that picture is a whole frame rather than a field.
    static int PictureCodingType(const AVPacket* packet, bool* wholeFrame = nullptr);
    // Notes the headers of a packet about to go to the decoder.
    void noteFed(const AVPacket* fed);
    // Notes that the decoder met broken data.
    void noteBroken() { codecAsNew_ = false; }
    // Start of the last pack at or before the offset (the offset itself when none is near).
    qint64 packStartAtOrBefore(qint64 offset) const;
    // Offset of the last GOP header before the offset, 0 when there is none.
    qint64 gopHeaderBefore(qint64 offset) const;
    // Converts a decoded picture into `width` x `height` rows (scaled when that is not its own
    // size): bottom-up 24-bit BGR, or with
    // `rgb32` top-down 32-bit words 0xffRRGGBB, rows `bytesPerLine` apart (0: tightly). `stretch`
    // maps studio range to full range. False
    // when no converter could be made.
    bool toRows(const AVFrame* picture, uchar* rows, int width, int height, bool stretch,
                bool rgb32, qsizetype bytesPerLine = 0);

    qint64 fileSize = 0;
    bool programStream = false;
    bool sizeKnown = false; // the probe found a sequence header: width and height are its size
    int width = 0;
    int height = 0;
    int videoIndex = -1;
    AVFormatContext* fmt = nullptr;
    AVCodecContext* codec = nullptr;
    AVPacket* packet = nullptr;
    AVPacket* first = nullptr; // the first picture's data after a restart, while it may be replayed
    AVPacket* heldBack = nullptr; // the picture after it, read but not yet given to the decoder
    AVFrame* frame = nullptr;
    AVFrame* ahead = nullptr; // the decoder's next picture, decoded but not yet handed out

private:
    bool probe();
    bool openCodec();

    QByteArray path_;
    FileIdentity identity_;
    OpenFile file_;
    QByteArray sequence_; // the probed sequence header with its extensions
    // The decoder would decode as a new one: it met no header other than the probed ones and no
    // broken data (whose concealment draws on pictures of before).
    bool codecAsNew_ = true;
    // The picture converter and what it was made for.
    struct ScalerSetup {
        int sourceWidth, sourceHeight, sourceFormat, width, height;
        bool stretch, rgb32;
        bool operator==(const ScalerSetup&) const = default;
    };
    SwsContext* sws_ = nullptr;
    ScalerSetup swsSetup_{};
};
