#pragma once

// The decoder's state behind Mpeg2Decoder; only Mpeg2Decoder.cpp includes this.

#include "viewer/AheadWorker.h"
#include "viewer/DecoderStream.h"
#include "viewer/Mpeg2Decoder.h"

#include <algorithm>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

inline constexpr quint32 OpaqueBlack = 0xff000000u;

// The stream stays open after a close: reopening the same unchanged file takes it up again
// instead of opening and probing the file anew. Everything else is the state of one open and is
// reset by every open and every seek.
struct Mpeg2Decoder::Impl {
    DecoderStream stream;
    bool open = false; // between a successful open and the next close

    int width = 0;
    int height = 0;
    int scaleFlag = 0;
    bool rgb32 = false; // pixel format 2: top-down 32-bit rows
    int outWidth = 0;   // the size pictures are converted to; 0: their own
    int outHeight = 0;
    std::vector<uchar> picture; // the last picture handed out, in the chosen pixel format and size
    AVFrame* shown = nullptr;   // the decoded picture behind `picture`, to convert it again
    // While set, pictures of the target's size are written into these 32-bit rows instead of
    // `picture`, which is then no longer the picture handed out last (`stale`). A picture of
    // another size (the stream changed size) goes to `picture` and misses the target.
    uchar* target = nullptr;
    qsizetype targetStride = 0;
    int targetWidth = 0;
    int targetHeight = 0;
    bool missedTarget = false;
    bool stale = false;
    bool havePicture = false; // `picture` holds a decoded picture (not just black)
    bool black = false;       // the picture is black and `picture` not yet filled
    char pictureType = '?';

    qint64 position = 0;   // reported position
    qint64 lastFedPos = 0; // position of the last packet given to the decoder
    bool draining = false; // the demuxer is at its end; the decoder hands out what it holds
    bool ended = false;    // nothing more to decode
    bool haveAhead = false;

    // Since the last restart: packets given to the decoder, whether it gave out a picture, and
    // the first picture handed out by draining (see holdBack).
    int fedSinceRestart = 0;
    bool gotSinceRestart = false;
    bool replayPending = false;
    bool passOverReplayed = false;

    // Work put off until its outcome is asked for: the seek to the file start that every open
    // makes (the editor seeks elsewhere at once), and the decoding ahead after a picture that
    // tells whether the position moves on (the editor's GOP steps never ask).
    bool startPending = false;
    bool growPending = false;
    qint64 shownPos = 0;

    // The work put off after a picture, done on a thread of its own while the caller converts
    // and shows the picture (see DecodeAhead). It touches the demuxer, the video decoder and the
    // position only, never the converter or the picture handed out. Every call into the decoder
    // waits for it first (GetMPEG2FrameInfo only where it may change the size).
    mutable AheadWorker worker;
    // The work started last may change the picture size: only the seek to the start put off
    // after an open (it shows the last picture when nothing follows the start).
    bool aheadMayResize = false;
    void decodeAhead() {
        if (!isOpen() || !(startPending || growPending))
            return;
        aheadMayResize = startPending;
        worker.start([this] { settle(); });
    }

    ~Impl() {
        worker.wait();
        av_frame_free(&shown);
    }

    void close() {
        if (stream.ahead)
            av_frame_unref(stream.ahead);
        open = false;
        haveAhead = draining = ended = false;
        startPending = growPending = false;
        position = lastFedPos = 0;
    }

    bool isOpen() const { return open; }

    bool openFile(const char* fileName);
    void seek(qint64 offset);
    void settle();
    const uchar* nextPicture(bool thenDecodeAhead = false);
    const uchar* convertAgain();

    bool decodeNext();
    bool holdBack();
    void replay(bool passOverFirst);
    void send(AVPacket* packet);
    bool fillAhead();
    void convert(const AVFrame* f);
    // After a picture was handed out: the position of its own data (read ahead of it, the
    // decoder may already hold the next GOP's headers), at the end of the file the file size.
    void grow(qint64 pos) { position = qMax(draining ? lastFedPos : pos, position + 1); }
    int rowsWidth() const { return outWidth > 0 ? outWidth : width; }
    int rowsHeight() const { return outHeight > 0 ? outHeight : height; }
    size_t pictureBytes() const {
        return size_t(rowsWidth()) * size_t(rowsHeight()) * (rgb32 ? 4 : 3);
    }
    // The picture to hand out becomes black; the bytes are written only when it is handed out
    // (a reopen is followed by a picture at once, in the editor's every step).
    void makeBlack() {
        black = true;
        havePicture = false;
        if (shown)
            av_frame_unref(shown);
    }
    // The rows to write a picture of the current size into, noting a missed target.
    uchar* rowsFor() {
        if (target && rowsWidth() == targetWidth && rowsHeight() == targetHeight)
            return target;
        missedTarget = target != nullptr;
        if (picture.size() != pictureBytes())
            picture.assign(pictureBytes(), 0);
        return picture.data();
    }
    void fillBlack() {
        if (target && rowsFor() == target) {
            for (int y = 0; y < rowsHeight(); ++y)
                std::fill_n(reinterpret_cast<quint32*>(target + y * targetStride), rowsWidth(),
                            OpaqueBlack);
            stale = true;
            return;
        }
        stale = false;
        picture.assign(pictureBytes(), 0);
        if (rgb32)
            std::fill_n(reinterpret_cast<quint32*>(picture.data()), picture.size() / 4,
                        OpaqueBlack);
        black = false;
    }
    void restartAt(qint64 entry);
};
