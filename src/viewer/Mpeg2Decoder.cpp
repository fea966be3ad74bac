#include "viewer/Mpeg2Decoder.h"

#include "stream/ByteSearch.h"
#include "stream/FileAccess.h"

#include <QByteArray>
#include <QFile>
#include <cstring>
#include <mutex>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

namespace {

constexpr qint32 ProbeBlock = 100000;
constexpr int MaxProbePackets = 4000;
constexpr qint64 MaxProbeBytes = 16 * 1024 * 1024;
constexpr qint64 PackSearchBack = 256 * 1024;

void QuietFfmpeg() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

// The first sequence header with its extensions: from 00 00 01 B3 up to the next start code
// that is not an extension. Empty when the bytes hold no complete one.
QByteArray SequenceHeaderIn(const QByteArray& bytes) {
    const qsizetype seq = FindFirst(bytes, Pattern(StartCode::SequenceHeader));
    if (seq == 0)
        return {};
    static constexpr char prefix[] = {0, 0, 1};
    for (qsizetype k = FindFirst(bytes, QByteArrayView(prefix, 3), seq + 4); k != 0;
         k = FindFirst(bytes, QByteArrayView(prefix, 3), k + 1)) {
        if (k + 3 > bytes.size())
            break;
        if (quint8(bytes[k + 2]) != 0xB5)
            return bytes.mid(seq - 1, k - seq);
    }
    return {};
}

bool IsVideo(const AVStream* st) {
    return st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
           (st->codecpar->codec_id == AV_CODEC_ID_MPEG2VIDEO ||
            st->codecpar->codec_id == AV_CODEC_ID_MPEG1VIDEO ||
            st->codecpar->codec_id == AV_CODEC_ID_NONE);
}

} // namespace

struct Mpeg2Decoder::Impl {
    QByteArray path;
    qint64 fileSize = 0;
    bool programStream = false;
    AVFormatContext* fmt = nullptr;
    AVCodecContext* codec = nullptr;
    SwsContext* sws = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    int videoIndex = -1;

    int width = 0;
    int height = 0;
    int scaleFlag = 0;
    std::vector<uchar> picture; // the last picture handed out, bottom-up BGR
    bool havePicture = false;   // `picture` holds a decoded picture (not just black)
    char pictureType = '?';

    qint64 position = 0;      // reported position
    qint64 lastFedPos = 0;    // position of the last packet given to the decoder
    bool draining = false;    // the demuxer is at its end; the decoder hands out what it holds
    bool ended = false;       // nothing more to decode
    AVFrame* ahead = nullptr; // the next picture, decoded but not yet handed out
    bool haveAhead = false;

    ~Impl() { close(); }

    void close() {
        sws_freeContext(sws);
        sws = nullptr;
        avcodec_free_context(&codec);
        avformat_close_input(&fmt);
        av_packet_free(&packet);
        av_frame_free(&frame);
        av_frame_free(&ahead);
        haveAhead = false;
        videoIndex = -1;
        draining = ended = false;
        position = lastFedPos = 0;
    }

    bool isOpen() const { return fmt && codec; }

    bool open(const char* fileName);
    void seek(qint64 offset);
    const uchar* nextPicture();

    bool decodeNext();
    bool fillAhead();
    bool readVideoPacket();
    void convert(const AVFrame* f);
    // After a picture was handed out: the position of its own data (read ahead of it, the
    // decoder may already hold the next GOP's headers), at the end of the file the file size.
    void grow(qint64 shownPos) { position = qMax(draining ? lastFedPos : shownPos, position + 1); }
    void makeBlack() {
        picture.assign(size_t(width) * size_t(height) * 3, 0);
        havePicture = false;
    }
    qint64 packStartAtOrBefore(qint64 offset) const;
    void restartAt(qint64 entry);
    qint64 gopHeaderBefore(qint64 offset) const;
};

bool Mpeg2Decoder::Impl::open(const char* fileName) {
    QuietFfmpeg();
    close();
    path = QByteArray(fileName);
    const QString qpath = QFile::decodeName(path);
    fileSize = FileSizeOf(qpath);
    if (fileSize <= 0)
        return false;

    QByteArray head(qint32(qMin<qint64>(ProbeBlock, fileSize)), '\0');
    ReadFileBlockAt(qpath, qint32(head.size()), 0, head);
    programStream = FindFirst(head, Pattern(StartCode::Pack)) != 0;

    const AVInputFormat* input = av_find_input_format(programStream ? "mpeg" : "mpegvideo");
    if (avformat_open_input(&fmt, path.constData(), input, nullptr) < 0)
        return false;
    packet = av_packet_alloc();
    frame = av_frame_alloc();
    ahead = av_frame_alloc();

    // Streams of a program stream appear when their first packet is read; the sequence header
    // (the decoder's setup) comes from the first video packets.
    QByteArray payload;
    QByteArray sequence;
    qint64 bytesSeen = 0;
    for (int n = 0; n < MaxProbePackets && bytesSeen < MaxProbeBytes && sequence.isEmpty(); ++n) {
        if (av_read_frame(fmt, packet) < 0)
            break;
        bytesSeen += packet->size;
        const AVStream* st = fmt->streams[packet->stream_index];
        if ((videoIndex < 0 || packet->stream_index == videoIndex) && IsVideo(st)) {
            videoIndex = packet->stream_index;
            payload.append(reinterpret_cast<const char*>(packet->data), packet->size);
            sequence = SequenceHeaderIn(payload);
        }
        av_packet_unref(packet);
    }
    if (videoIndex < 0 || sequence.size() < 12)
        return false;

    width = (quint8(sequence[4]) << 4) | (quint8(sequence[5]) >> 4);
    height = ((quint8(sequence[5]) & 0x0F) << 8) | quint8(sequence[6]);
    const bool mpeg2 = FindFirst(sequence, Pattern(StartCode::Extension)) != 0;
    const AVCodec* decoder =
        avcodec_find_decoder(mpeg2 ? AV_CODEC_ID_MPEG2VIDEO : AV_CODEC_ID_MPEG1VIDEO);
    codec = avcodec_alloc_context3(decoder);
    if (!codec)
        return false;
    codec->thread_count = 1;
    codec->extradata =
        static_cast<uint8_t*>(av_mallocz(sequence.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    std::memcpy(codec->extradata, sequence.constData(), size_t(sequence.size()));
    codec->extradata_size = int(sequence.size());
    codec->width = width;
    codec->height = height;
    if (avcodec_open2(codec, decoder, nullptr) < 0) {
        avcodec_free_context(&codec);
        return false;
    }
    makeBlack();
    seek(0);
    return true;
}

qint64 Mpeg2Decoder::Impl::packStartAtOrBefore(qint64 offset) const {
    const qint64 from = qMax<qint64>(0, offset - PackSearchBack);
    QByteArray bytes;
    const qint32 got =
        ReadFileBlockAt(QFile::decodeName(path), qint32(offset - from + 4), from, bytes);
    const qsizetype pack = FindLastStartingBy(QByteArrayView(bytes.constData(), got),
                                              Pattern(StartCode::Pack), offset - from + 1);
    return pack != 0 ? from + pack - 1 : offset;
}

qint64 Mpeg2Decoder::Impl::gopHeaderBefore(qint64 offset) const {
    for (qint64 end = offset; end > 0;) {
        const qint64 from = qMax<qint64>(0, end - 1000000);
        QByteArray bytes;
        const qint32 got =
            ReadFileBlockAt(QFile::decodeName(path), qint32(end - from), from, bytes);
        const qsizetype gop =
            FindLast(QByteArrayView(bytes.constData(), got), Pattern(StartCode::Gop));
        if (gop != 0)
            return from + gop - 1;
        end = from + 3;
        if (from == 0)
            break;
    }
    return 0;
}

void Mpeg2Decoder::Impl::seek(qint64 offset) {
    if (!isOpen())
        return;
    const qint64 target = qBound<qint64>(0, offset, fileSize);
    const qint64 entry = programStream ? packStartAtOrBefore(target) : target;
    restartAt(entry);
    // Decode ahead, so that the position already points into the group of pictures whose first
    // picture comes next.
    if (fillAhead()) {
        position = qMax(lastFedPos, entry);
        return;
    }
    // Nothing decodable after the offset: the last picture of the stream is shown instead.
    const qint64 lastGop = gopHeaderBefore(target);
    if (lastGop < target) {
        restartAt(programStream ? packStartAtOrBefore(lastGop) : lastGop);
        while (fillAhead()) {
            convert(ahead);
            av_frame_unref(ahead);
            haveAhead = false;
        }
    }
    ended = true;
    position = fileSize;
}

void Mpeg2Decoder::Impl::restartAt(qint64 entry) {
    avcodec_flush_buffers(codec);
    av_seek_frame(fmt, -1, entry, AVSEEK_FLAG_BYTE);
    av_frame_unref(ahead);
    haveAhead = draining = ended = false;
    lastFedPos = entry;
}

bool Mpeg2Decoder::Impl::readVideoPacket() {
    for (;;) {
        const int rc = av_read_frame(fmt, packet);
        if (rc < 0)
            return false;
        const AVStream* st = fmt->streams[packet->stream_index];
        if (videoIndex < 0 && IsVideo(st))
            videoIndex = packet->stream_index;
        if (packet->stream_index == videoIndex)
            return true;
        av_packet_unref(packet);
    }
}

bool Mpeg2Decoder::Impl::decodeNext() {
    if (!isOpen() || ended)
        return false;
    for (;;) {
        const int rc = avcodec_receive_frame(codec, frame);
        if (rc == 0) {
            const bool broken = (frame->flags & AV_FRAME_FLAG_CORRUPT) || frame->decode_error_flags;
            if (!broken)
                return true;
            av_frame_unref(frame);
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
        if (readVideoPacket()) {
            if (packet->pos >= 0)
                lastFedPos = packet->pos;
            // Time stamps travel with each picture: its packet's position is the one needed.
            packet->pts = packet->pos >= 0 ? packet->pos : AV_NOPTS_VALUE;
            packet->dts = AV_NOPTS_VALUE;
            avcodec_send_packet(codec, packet);
            av_packet_unref(packet);
        } else {
            draining = true;
            lastFedPos = fileSize;
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
    sws = sws_getCachedContext(sws, f->width, f->height, AVPixelFormat(f->format), width, height,
                               AV_PIX_FMT_BGR24, SWS_POINT, nullptr, nullptr, nullptr);
    if (!sws)
        return;
    const int* coefficients = sws_getCoefficients(SWS_CS_ITU601);
    // Source range "limited" makes swscale stretch 16..235 to 0..255; "full" leaves it alone.
    sws_setColorspaceDetails(sws, coefficients, scaleFlag ? 0 : 1, coefficients, 1, 0, 1 << 16,
                             1 << 16);
    uint8_t* dst[4] = {picture.data() + size_t(height - 1) * size_t(width) * 3, nullptr, nullptr,
                       nullptr};
    int dstStride[4] = {-width * 3, 0, 0, 0};
    sws_scale(sws, f->data, f->linesize, 0, f->height, dst, dstStride);
    havePicture = true;
    pictureType = av_get_picture_type_char(f->pict_type);
}

bool Mpeg2Decoder::Impl::fillAhead() {
    if (haveAhead)
        return true;
    if (!decodeNext())
        return false;
    av_frame_unref(ahead);
    av_frame_move_ref(ahead, frame);
    haveAhead = true;
    return true;
}

const uchar* Mpeg2Decoder::Impl::nextPicture() {
    if (isOpen() && fillAhead()) {
        const qint64 shownPos = ahead->pts == AV_NOPTS_VALUE ? 0 : ahead->pts;
        convert(ahead);
        av_frame_unref(ahead);
        haveAhead = false;
        // The position moves on only while another picture follows, so that it stands still once
        // the last picture has been handed out.
        if (fillAhead())
            grow(shownPos);
    }
    return picture.empty() ? nullptr : picture.data();
}

Mpeg2Decoder::Mpeg2Decoder() : d(std::make_unique<Impl>()) {}

Mpeg2Decoder::~Mpeg2Decoder() = default;

qint32 Mpeg2Decoder::OpenMPEG2File(const char* fileName, qint64, qint64) {
    if (!fileName)
        return -1;
    if (d->open(fileName))
        return 0;
    // Keep what is known about the picture size so that black pictures can be shown.
    const int w = d->width, h = d->height;
    d->close();
    d->width = w;
    d->height = h;
    if (w > 0 && h > 0)
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
    *info = TVideoFileInfo{};
    info->Position = d->position;
}

const uchar* Mpeg2Decoder::GetMPEG2Frame() {
    return d->nextPicture();
}

char Mpeg2Decoder::LastPictureType() const {
    return d->havePicture ? d->pictureType : '?';
}
