#include "viewer/Mpeg2Decoder.h"

#include "viewer/DecoderStream.h"

#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

// The stream stays open after a close: reopening the same unchanged file takes it up again
// instead of opening and probing the file anew. Everything else is the state of one open and is
// reset by every open and every seek.
struct Mpeg2Decoder::Impl {
    DecoderStream stream;
    bool open = false; // between a successful open and the next close

    int width = 0;
    int height = 0;
    int scaleFlag = 0;
    std::vector<uchar> picture; // the last picture handed out, bottom-up BGR
    bool havePicture = false;   // `picture` holds a decoded picture (not just black)
    char pictureType = '?';

    qint64 position = 0;   // reported position
    qint64 lastFedPos = 0; // position of the last packet given to the decoder
    bool draining = false; // the demuxer is at its end; the decoder hands out what it holds
    bool ended = false;    // nothing more to decode
    bool haveAhead = false;

    // Work put off until its outcome is asked for: the seek to the file start that every open
    // makes (the editor seeks elsewhere at once), and the decoding ahead after a picture that
    // tells whether the position moves on (the editor's GOP steps never ask).
    bool startPending = false;
    bool growPending = false;
    qint64 shownPos = 0;

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
    const uchar* nextPicture();

    bool decodeNext();
    bool fillAhead();
    void convert(const AVFrame* f);
    // After a picture was handed out: the position of its own data (read ahead of it, the
    // decoder may already hold the next GOP's headers), at the end of the file the file size.
    void grow(qint64 pos) { position = qMax(draining ? lastFedPos : pos, position + 1); }
    void makeBlack() {
        picture.assign(size_t(width) * size_t(height) * 3, 0);
        havePicture = false;
    }
    void restartAt(qint64 entry);
};

bool Mpeg2Decoder::Impl::openFile(const char* fileName) {
    close();
    const QByteArray path(fileName);
    if (!(stream.holds(path) && stream.rewind()) && !stream.open(path)) {
        if (stream.sizeKnown) {
            width = stream.width;
            height = stream.height;
        }
        stream.release();
        return false;
    }
    width = stream.width;
    height = stream.height;
    makeBlack();
    open = true;
    startPending = true;
    return true;
}

void Mpeg2Decoder::Impl::settle() {
    if (startPending)
        seek(0);
    if (growPending) {
        growPending = false;
        if (fillAhead())
            grow(shownPos);
    }
}

void Mpeg2Decoder::Impl::seek(qint64 offset) {
    if (!isOpen())
        return;
    startPending = growPending = false;
    const qint64 fileSize = stream.fileSize;
    const qint64 target = qBound<qint64>(0, offset, fileSize);
    const qint64 entry = stream.programStream ? stream.packStartAtOrBefore(target) : target;
    restartAt(entry);
    // Decode ahead, so that the position already points into the group of pictures whose first
    // picture comes next.
    if (fillAhead()) {
        position = qMax(lastFedPos, entry);
        return;
    }
    // Nothing decodable after the offset: the last picture of the stream is shown instead.
    const qint64 lastGop = stream.gopHeaderBefore(target);
    if (lastGop < target) {
        restartAt(stream.programStream ? stream.packStartAtOrBefore(lastGop) : lastGop);
        while (fillAhead()) {
            convert(stream.ahead);
            av_frame_unref(stream.ahead);
            haveAhead = false;
        }
    }
    ended = true;
    position = fileSize;
}

void Mpeg2Decoder::Impl::restartAt(qint64 entry) {
    stream.restartAt(entry);
    av_frame_unref(stream.ahead);
    haveAhead = draining = ended = false;
    lastFedPos = entry;
}

bool Mpeg2Decoder::Impl::decodeNext() {
    if (!isOpen() || ended)
        return false;
    AVCodecContext* codec = stream.codec;
    AVPacket* packet = stream.packet;
    for (;;) {
        const int rc = avcodec_receive_frame(codec, stream.frame);
        if (rc == 0) {
            const AVFrame* f = stream.frame;
            const bool broken = (f->flags & AV_FRAME_FLAG_CORRUPT) || f->decode_error_flags;
            if (!broken)
                return true;
            av_frame_unref(stream.frame);
            continue;
        }
        if (rc == AVERROR_EOF) {
            ended = true;
            return false;
        }
        if (rc != AVERROR(EAGAIN))
            return false;
        if (draining) {
            ended = true;
            return false;
        }
        if (stream.readVideoPacket()) {
            if (packet->pos >= 0)
                lastFedPos = packet->pos;
            // Time stamps travel with each picture: its packet's position is the one needed.
            packet->pts = packet->pos >= 0 ? packet->pos : AV_NOPTS_VALUE;
            packet->dts = AV_NOPTS_VALUE;
            stream.noteFed(packet);
            avcodec_send_packet(codec, packet);
            av_packet_unref(packet);
        } else {
            draining = true;
            lastFedPos = stream.fileSize;
            avcodec_send_packet(codec, nullptr);
        }
    }
}

void Mpeg2Decoder::Impl::convert(const AVFrame* f) {
    if (f->width != width || f->height != height || picture.empty()) {
        width = f->width;
        height = f->height;
        picture.assign(size_t(width) * size_t(height) * 3, 0);
    }
    if (!stream.toBgr(f, picture.data(), width, height, scaleFlag != 0))
        return;
    havePicture = true;
    pictureType = av_get_picture_type_char(f->pict_type);
}

bool Mpeg2Decoder::Impl::fillAhead() {
    if (haveAhead)
        return true;
    if (!decodeNext())
        return false;
    av_frame_unref(stream.ahead);
    av_frame_move_ref(stream.ahead, stream.frame);
    haveAhead = true;
    return true;
}

const uchar* Mpeg2Decoder::Impl::nextPicture() {
    if (isOpen()) {
        settle();
        if (fillAhead()) {
            AVFrame* ahead = stream.ahead;
            shownPos = ahead->pts == AV_NOPTS_VALUE ? 0 : ahead->pts;
            convert(ahead);
            av_frame_unref(ahead);
            haveAhead = false;
            // The position moves on only while another picture follows, so that it stands still
            // once the last picture has been handed out.
            growPending = true;
        }
    }
    return picture.empty() ? nullptr : picture.data();
}

Mpeg2Decoder::Mpeg2Decoder() : d(std::make_unique<Impl>()) {}

Mpeg2Decoder::~Mpeg2Decoder() = default;

qint32 Mpeg2Decoder::OpenMPEG2File(const char* fileName, qint64, qint64) {
    if (!fileName)
        return -1;
    if (d->openFile(fileName))
        return 0;
    // Keep what is known about the picture size so that black pictures can be shown.
    if (d->width > 0 && d->height > 0)
        d->makeBlack();
    else
        d->picture.clear();
    return -1;
}

void Mpeg2Decoder::CloseMPEG2File() {
    d->close();
}

void Mpeg2Decoder::GetMPEG2FrameInfo(TVideoFrameInfo* info) const {
    if (!info)
        return;
    info->Width = d->width;
    info->Height = d->height;
}

void Mpeg2Decoder::SetMPEG2PixelFormat(qint32) {}

void Mpeg2Decoder::SetRGBScaleFlag(qint32 flag) {
    d->scaleFlag = flag != 0 ? 1 : 0;
}

void Mpeg2Decoder::MPEG2Seek(qint64 offset) {
    d->seek(offset);
}

void Mpeg2Decoder::GetMPEG2FileInfo(TVideoFileInfo* info) const {
    if (!info)
        return;
    // Asking for the position completes the work put off for it.
    d->settle();
    *info = TVideoFileInfo{};
    info->Position = d->position;
}

const uchar* Mpeg2Decoder::GetMPEG2Frame() {
    return d->nextPicture();
}

char Mpeg2Decoder::LastPictureType() const {
    return d->havePicture ? d->pictureType : '?';
}
