#include "viewer/DecoderStream.h"

#include "stream/ByteSearch.h"

#include <QFile>
#include <cstring>
#include <mutex>
#include <sys/stat.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace {

constexpr qint32 ProbeBlock = 100000;
constexpr int MaxProbePackets = 4000;
constexpr qint64 MaxProbeBytes = 16 * 1024 * 1024;
// Packs are searched for in a near window first (DVD packs are 2048 bytes), then in a wide one.
constexpr qint64 PackSearchNear = 8 * 1024;
constexpr qint64 PackSearchBack = 256 * 1024;
constexpr qint64 LargestOneThreadPicture = 720 * 576;

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

void QuietFfmpeg() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

bool IsVideo(const AVStream* st) {
    return st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
           (st->codecpar->codec_id == AV_CODEC_ID_MPEG2VIDEO ||
            st->codecpar->codec_id == AV_CODEC_ID_MPEG1VIDEO ||
            st->codecpar->codec_id == AV_CODEC_ID_NONE);
}

bool IsStartCode(const uint8_t* p) {
    return p[0] == 0 && p[1] == 0 && p[2] == 1;
}

// Whether the headers in front of a picture's first slice leave the decoder's sequence-level
// state as the probed sequence header set it: every sequence header equal to it, no picture
// that loads its own quantiser matrices (those stay in force until the next sequence header).
bool HeadersAsProbed(const uint8_t* data, int size, const QByteArray& sequence) {
    for (int i = 0; i + 4 < size; ++i) {
        if (!IsStartCode(data + i))
            continue;
        const uint8_t code = data[i + 3];
        if (code >= 0x01 && code <= 0xAF)
            return true; // slices: no more headers
        if (code == 0xB5 && (data[i + 4] >> 4) == 3)
            return false;
        if (code != 0xB3)
            continue;
        int end = i + 4;
        while (end + 3 < size && !(IsStartCode(data + end) && data[end + 3] != 0xB5))
            ++end;
        if (end - i != sequence.size() || std::memcmp(data + i, sequence.constData(), end - i))
            return false;
        i = end - 1;
    }
    return true;
}

// A converter on `threads` threads of swscale's own (decoding is over by then).
SwsContext* NewScaler(int srcW, int srcH, AVPixelFormat srcFormat, int dstW, int dstH,
                      AVPixelFormat dstFormat, int flags, int threads) {
    SwsContext* sws = sws_alloc_context();
    if (!sws)
        return nullptr;
    av_opt_set_int(sws, "srcw", srcW, 0);
    av_opt_set_int(sws, "srch", srcH, 0);
    av_opt_set_int(sws, "src_format", srcFormat, 0);
    av_opt_set_int(sws, "dstw", dstW, 0);
    av_opt_set_int(sws, "dsth", dstH, 0);
    av_opt_set_int(sws, "dst_format", dstFormat, 0);
    av_opt_set_int(sws, "sws_flags", flags, 0);
    av_opt_set_int(sws, "threads", threads, 0);
    if (sws_init_context(sws, nullptr, nullptr) < 0) {
        sws_freeContext(sws);
        return nullptr;
    }
    return sws;
}

} // namespace

FileIdentity IdentityOf(const QByteArray& path) {
    struct stat st {};
    FileIdentity id;
    if (::stat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return id;
    id.size = qint64(st.st_size);
    id.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    id.changedNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    id.inode = quint64(st.st_ino);
    id.device = quint64(st.st_dev);
    return id;
}

DecoderStream::~DecoderStream() {
    release();
}

void DecoderStream::release() {
    sws_freeContext(sws_);
    sws_ = nullptr;
    avcodec_free_context(&codec);
    avformat_close_input(&fmt);
    av_packet_free(&packet);
    av_packet_free(&first);
    av_packet_free(&heldBack);
    av_frame_free(&frame);
    av_frame_free(&ahead);
    file_.close();
    path_.clear();
    identity_ = FileIdentity{};
    sequence_.clear();
    codecAsNew_ = true;
    sizeKnown = false;
    videoIndex = -1;
    fileSize = 0;
}

bool DecoderStream::holds(const QByteArray& fileName) const {
    return isOpen() && fileName == path_ && identity_.size >= 0 &&
           IdentityOf(fileName) == identity_;
}

bool DecoderStream::open(const QByteArray& fileName) {
    QuietFfmpeg();
    release();
    path_ = fileName;
    identity_ = IdentityOf(fileName);
    file_ = OpenFile(QFile::decodeName(fileName));
    fileSize = file_.size();
    if (!file_.isOpen() || fileSize <= 0)
        return false;

    QByteArray head;
    const qint32 got = file_.readAt(0, qint32(qMin<qint64>(ProbeBlock, fileSize)), head);
    programStream = FindFirst(QByteArrayView(head.constData(), got), Pattern(StartCode::Pack)) != 0;

    const AVInputFormat* input = av_find_input_format(programStream ? "mpeg" : "mpegvideo");
    if (avformat_open_input(&fmt, fileName.constData(), input, nullptr) < 0)
        return false;
    packet = av_packet_alloc();
    first = av_packet_alloc();
    heldBack = av_packet_alloc();
    frame = av_frame_alloc();
    ahead = av_frame_alloc();
    return probe() && openCodec();
}

// Streams of a program stream appear when their first packet is read; the sequence header (the
// decoder's setup) comes from the first video packets.
bool DecoderStream::probe() {
    QByteArray payload;
    qint64 bytesSeen = 0;
    for (int n = 0; n < MaxProbePackets && bytesSeen < MaxProbeBytes && sequence_.isEmpty(); ++n) {
        if (av_read_frame(fmt, packet) < 0)
            break;
        bytesSeen += packet->size;
        const AVStream* st = fmt->streams[packet->stream_index];
        if ((videoIndex < 0 || packet->stream_index == videoIndex) && IsVideo(st)) {
            videoIndex = packet->stream_index;
            payload.append(reinterpret_cast<const char*>(packet->data), packet->size);
            sequence_ = SequenceHeaderIn(payload);
        }
        av_packet_unref(packet);
    }
    if (videoIndex < 0 || sequence_.size() < 12)
        return false;
    width = (quint8(sequence_[4]) << 4) | (quint8(sequence_[5]) >> 4);
    height = ((quint8(sequence_[5]) & 0x0F) << 8) | quint8(sequence_[6]);
    sizeKnown = true;
    return true;
}

bool DecoderStream::openCodec() {
    avcodec_free_context(&codec);
    codecAsNew_ = true;
    const bool mpeg2 = FindFirst(sequence_, Pattern(StartCode::Extension)) != 0;
    const AVCodec* decoder =
        avcodec_find_decoder(mpeg2 ? AV_CODEC_ID_MPEG2VIDEO : AV_CODEC_ID_MPEG1VIDEO);
    codec = avcodec_alloc_context3(decoder);
    if (!codec)
        return false;
    // Pictures larger than a DVD's have their slices decoded side by side on two cores (unlike
    // frame threads, this puts no delay between a packet and its picture). A DVD picture is
    // decoded on one: stepping and playback decode the next one while the window draws this one,
    // which keeps the second core busy.
    codec->thread_type = FF_THREAD_SLICE;
    codec->thread_count = qint64(width) * height > LargestOneThreadPicture ? 2 : 1;
    codec->extradata =
        static_cast<uint8_t*>(av_mallocz(sequence_.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    std::memcpy(codec->extradata, sequence_.constData(), size_t(sequence_.size()));
    codec->extradata_size = int(sequence_.size());
    codec->width = width;
    codec->height = height;
    if (avcodec_open2(codec, decoder, nullptr) < 0) {
        avcodec_free_context(&codec);
        return false;
    }
    return true;
}

bool DecoderStream::rewind() {
    av_frame_unref(frame);
    av_frame_unref(ahead);
    av_packet_unref(packet);
    av_packet_unref(first);
    av_packet_unref(heldBack);
    return codecAsNew_ || openCodec();
}

void DecoderStream::restartAt(qint64 entry) {
    avcodec_flush_buffers(codec);
    av_seek_frame(fmt, -1, entry, AVSEEK_FLAG_BYTE);
}

bool DecoderStream::readVideoPacket() {
    for (;;) {
        if (av_read_frame(fmt, packet) < 0)
            return false;
        const AVStream* st = fmt->streams[packet->stream_index];
        if (videoIndex < 0 && IsVideo(st))
            videoIndex = packet->stream_index;
        if (packet->stream_index == videoIndex)
            return true;
        av_packet_unref(packet);
    }
}

int DecoderStream::PictureCodingType(const AVPacket* packet, bool* wholeFrame) {
    const uint8_t* data = packet->data;
    int type = 0;
    for (int i = 0; i + 6 < packet->size; ++i) {
        if (!IsStartCode(data + i))
            continue;
        if (type == 0) {
            if (data[i + 3] == 0x00)
                type = (data[i + 5] >> 3) & 7;
            continue;
        }
        // The picture coding extension follows the picture header and tells a field from a
        // frame; without it (MPEG-1) every picture is a frame.
        if (wholeFrame)
            *wholeFrame =
                !(data[i + 3] == 0xB5 && (data[i + 4] >> 4) == 8) || (data[i + 6] & 3) == 3;
        return type;
    }
    if (wholeFrame)
        *wholeFrame = true;
    return type;
}

void DecoderStream::noteFed(const AVPacket* fed) {
    if (codecAsNew_ && !HeadersAsProbed(fed->data, fed->size, sequence_))
        codecAsNew_ = false;
}

qint64 DecoderStream::packStartAtOrBefore(qint64 offset) const {
    QByteArray bytes;
    for (const qint64 window : {PackSearchNear, PackSearchBack}) {
        const qint64 from = qMax<qint64>(0, offset - window);
        const qint32 got = file_.readAt(from, qint32(offset - from + 4), bytes);
        const qsizetype pack = FindLastStartingBy(QByteArrayView(bytes.constData(), got),
                                                  Pattern(StartCode::Pack), offset - from + 1);
        if (pack != 0)
            return from + pack - 1;
        if (from == 0)
            break;
    }
    return offset;
}

qint64 DecoderStream::gopHeaderBefore(qint64 offset) const {
    QByteArray bytes;
    for (qint64 end = offset; end > 0;) {
        const qint64 from = qMax<qint64>(0, end - 1000000);
        const qint32 got = file_.readAt(from, qint32(end - from), bytes);
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

bool DecoderStream::toRows(const AVFrame* picture, uchar* rows, int width, int height, bool stretch,
                           bool rgb32, qsizetype bytesPerLine) {
    const ScalerSetup setup{
        picture->width, picture->height, picture->format, width, height, stretch, rgb32};
    // B, G, R, A bytes are the 0xffRRGGBB words of a little-endian machine; swscale sets A to 255
    // for a picture without alpha.
    const AVPixelFormat target = !rgb32                            ? AV_PIX_FMT_BGR24
                                 : Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? AV_PIX_FMT_BGRA
                                                                   : AV_PIX_FMT_ARGB;
    if (!sws_ || !(setup == swsSetup_)) {
        sws_freeContext(sws_);
        // Pixel for pixel at the picture's own size; a picture shown larger or smaller is
        // filtered. The copy at the own size is quicker on one thread than the handing over to a
        // second; filtering gains from two.
        const bool ownSize = width == picture->width && height == picture->height;
        sws_ = NewScaler(picture->width, picture->height, AVPixelFormat(picture->format), width,
                         height, target, ownSize ? SWS_POINT : SWS_BILINEAR, ownSize ? 1 : 2);
        if (!sws_)
            return false;
        swsSetup_ = setup;
        const int* coefficients = sws_getCoefficients(SWS_CS_ITU601);
        // Source range "limited" makes swscale stretch 16..235 to 0..255; "full" leaves it alone.
        sws_setColorspaceDetails(sws_, coefficients, stretch ? 0 : 1, coefficients, 1, 0, 1 << 16,
                                 1 << 16);
    }
    const int rowBytes = bytesPerLine > 0 ? int(bytesPerLine) : width * (rgb32 ? 4 : 3);
    // The rows are the caller's: swscale writes into them and frees nothing.
    AVFrame* out = av_frame_alloc();
    if (!out)
        return false;
    out->buf[0] = av_buffer_create(
        rows, int(size_t(height) * size_t(rowBytes)), [](void*, uint8_t*) {}, nullptr, 0);
    out->width = width;
    out->height = height;
    out->format = target;
    // 24-bit rows are written last row first.
    out->data[0] = rgb32 ? rows : rows + size_t(height - 1) * size_t(rowBytes);
    out->linesize[0] = rgb32 ? rowBytes : -rowBytes;
    const bool ok = out->buf[0] && sws_scale_frame(sws_, out, picture) >= 0;
    av_frame_free(&out);
    return ok;
}
