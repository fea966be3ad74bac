#include "viewer/Mpeg2Decoder.h"

#include "viewer/Mpeg2DecoderImpl.h"

#include <utility>

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

const uchar* Mpeg2Decoder::Impl::nextPicture(bool thenDecodeAhead) {
    if (isOpen()) {
        settle();
        if (fillAhead()) {
            AVFrame* ahead = stream.ahead;
            shownPos = ahead->pts == AV_NOPTS_VALUE ? 0 : ahead->pts;
            // The picture leaves the decoder's buffers before the decoding ahead refills them.
            if (!shown)
                shown = av_frame_alloc();
            av_frame_unref(shown);
            av_frame_move_ref(shown, ahead);
            haveAhead = false;
            // The position moves on only while another picture follows, so that it stands still
            // once the last picture has been handed out.
            growPending = true;
            if (thenDecodeAhead)
                decodeAhead();
            convert(shown);
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
    d->worker.wait();
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
    d->worker.wait();
    d->close();
}

void Mpeg2Decoder::GetMPEG2FrameInfo(TVideoFrameInfo* info) const {
    // The size is the picture's, which the decoding ahead leaves alone.
    if (d->aheadMayResize)
        d->worker.wait();
    if (!info)
        return;
    info->Width = d->width;
    info->Height = d->height;
}

void Mpeg2Decoder::SetMPEG2PixelFormat(qint32 format) {
    d->worker.wait();
    const bool wanted = format == 2;
    if (wanted == d->rgb32)
        return;
    d->rgb32 = wanted;
    // What is held changes format: a picture decoded before is shown black until the next one.
    if (!d->picture.empty() || d->black)
        d->makeBlack();
}

void Mpeg2Decoder::SetMPEG2OutputSize(qint32 width, qint32 height) {
    d->worker.wait();
    const bool own = width <= 0 || height <= 0;
    d->outWidth = own ? 0 : width;
    d->outHeight = own ? 0 : height;
}

bool Mpeg2Decoder::GetMPEG2FrameInto(uchar* rows, qint32 width, qint32 height,
                                     qsizetype bytesPerLine, Into what) {
    d->worker.wait();
    if (!d->rgb32 || !rows || bytesPerLine < qsizetype(width) * 4)
        return false;
    d->target = rows;
    d->targetWidth = width;
    d->targetHeight = height;
    d->targetStride = bytesPerLine;
    d->missedTarget = false;
    const bool got =
        (what == Into::Again ? d->convertAgain()
                             : d->nextPicture(what == Into::NextAndDecodeAhead)) != nullptr;
    d->target = nullptr;
    return got && !d->missedTarget;
}

void Mpeg2Decoder::SetRGBScaleFlag(qint32 flag) {
    d->worker.wait();
    d->scaleFlag = flag != 0 ? 1 : 0;
}

void Mpeg2Decoder::MPEG2Seek(qint64 offset) {
    d->worker.wait();
    d->seek(offset);
}

void Mpeg2Decoder::GetMPEG2FileInfo(TVideoFileInfo* info) const {
    d->worker.wait();
    if (!info)
        return;
    // Asking for the position completes the work put off for it.
    d->settle();
    *info = TVideoFileInfo{};
    info->Position = d->position;
}

void Mpeg2Decoder::DecodeAhead() {
    d->worker.wait();
    d->decodeAhead();
}

const uchar* Mpeg2Decoder::GetMPEG2Frame() {
    d->worker.wait();
    return d->nextPicture();
}

char Mpeg2Decoder::LastPictureType() const {
    d->worker.wait();
    return d->havePicture ? d->pictureType : '?';
}
