#include "viewer/Mpeg2Decoder.h"

#include "viewer/DecoderStream.h"

#include <algorithm>
#include <utility>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

constexpr quint32 OpaqueBlack = 0xff000000u;

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

    ~Impl() { av_frame_free(&shown); }

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
    av_packet_unref(stream.first);
    av_packet_unref(stream.heldBack);
    haveAhead = draining = ended = false;
    fedSinceRestart = 0;
    gotSinceRestart = replayPending = passOverReplayed = false;
    lastFedPos = entry;
}

// The decoder gives out an I- or P-picture only once it has decoded the next one, so the first
// picture after a seek would cost the decoding of two. When the first picture after a restart,
// an I-picture, is still held and the packet just read holds the next I- or P-picture, that
// packet is kept back and the decoder drained instead: it gives out the first picture alone.
// Should a later picture be wanted, both packets go to the decoder again (replay) and the first
// picture, handed out already, is passed over; the decoder is then where it would have been.
bool Mpeg2Decoder::Impl::holdBack() {
    bool firstWhole = false;
    bool nextWhole = false;
    if (fedSinceRestart != 1 || gotSinceRestart ||
        DecoderStream::PictureCodingType(stream.first, &firstWhole) != 1 || !firstWhole)
        return false;
    const int next = DecoderStream::PictureCodingType(stream.packet, &nextWhole);
    if ((next != 1 && next != 2) || !nextWhole)
        return false;
    av_packet_move_ref(stream.heldBack, stream.packet);
    avcodec_send_packet(stream.codec, nullptr);
    replayPending = true;
    return true;
}

void Mpeg2Decoder::Impl::replay(bool passOverFirst) {
    avcodec_flush_buffers(stream.codec);
    avcodec_send_packet(stream.codec, stream.first);
    send(stream.heldBack);
    av_packet_unref(stream.first);
    replayPending = false;
    passOverReplayed = passOverFirst;
    fedSinceRestart = 2;
}

void Mpeg2Decoder::Impl::send(AVPacket* packet) {
    stream.noteFed(packet);
    if (avcodec_send_packet(stream.codec, packet) < 0)
        stream.noteBroken();
    av_packet_unref(packet);
}

bool Mpeg2Decoder::Impl::decodeNext() {
    if (!isOpen() || ended)
        return false;
    AVCodecContext* codec = stream.codec;
    AVPacket* packet = stream.packet;
    if (replayPending)
        replay(true);
    for (;;) {
        const int rc = avcodec_receive_frame(codec, stream.frame);
        if (rc == 0) {
            gotSinceRestart = true;
            const AVFrame* f = stream.frame;
            const bool broken = (f->flags & AV_FRAME_FLAG_CORRUPT) || f->decode_error_flags;
            if (!broken && !std::exchange(passOverReplayed, false))
                return true;
            if (broken)
                stream.noteBroken();
            av_frame_unref(stream.frame);
            continue;
        }
        if (replayPending) {
            // Drained without a picture to show: on as if nothing had been held back.
            replay(false);
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
            if (holdBack())
                continue;
            if (fedSinceRestart++ == 0)
                av_packet_ref(stream.first, packet);
            send(packet);
        } else {
            draining = true;
            lastFedPos = stream.fileSize;
            avcodec_send_packet(codec, nullptr);
        }
    }
}

void Mpeg2Decoder::Impl::convert(const AVFrame* f) {
    width = f->width;
    height = f->height;
    uchar* rows = rowsFor();
    if (!stream.toRows(f, rows, rowsWidth(), rowsHeight(), scaleFlag != 0, rgb32,
                       rows == target ? targetStride : 0))
        return;
    stale = rows == target;
    if (f != shown) {
        if (!shown)
            shown = av_frame_alloc();
        av_frame_unref(shown);
        av_frame_ref(shown, f);
    }
    havePicture = true;
    black = false;
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
            return stale ? target : picture.data();
        }
    }
    // Nothing new: the picture handed out last, at the size now asked for.
    if (target || black || stale || picture.size() != pictureBytes())
        return convertAgain();
    return picture.empty() ? nullptr : picture.data();
}

const uchar* Mpeg2Decoder::Impl::convertAgain() {
    if (havePicture && shown && shown->buf[0])
        convert(shown);
    else if (black || stale || !picture.empty())
        fillBlack();
    else
        return nullptr;
    return stale ? target : picture.data();
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
    else {
        d->picture.clear();
        d->black = false;
    }
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

void Mpeg2Decoder::SetMPEG2PixelFormat(qint32 format) {
    const bool wanted = format == 2;
    if (wanted == d->rgb32)
        return;
    d->rgb32 = wanted;
    // What is held changes format: a picture decoded before is shown black until the next one.
    if (!d->picture.empty() || d->black)
        d->makeBlack();
}

void Mpeg2Decoder::SetMPEG2OutputSize(qint32 width, qint32 height) {
    const bool own = width <= 0 || height <= 0;
    d->outWidth = own ? 0 : width;
    d->outHeight = own ? 0 : height;
}

const uchar* Mpeg2Decoder::GetMPEG2FrameAgain() {
    return d->convertAgain();
}

bool Mpeg2Decoder::GetMPEG2FrameInto(uchar* rows, qint32 width, qint32 height,
                                     qsizetype bytesPerLine, bool again) {
    if (!d->rgb32 || !rows || bytesPerLine < qsizetype(width) * 4)
        return false;
    d->target = rows;
    d->targetWidth = width;
    d->targetHeight = height;
    d->targetStride = bytesPerLine;
    d->missedTarget = false;
    const bool got = (again ? d->convertAgain() : d->nextPicture()) != nullptr;
    d->target = nullptr;
    return got && !d->missedTarget;
}

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
