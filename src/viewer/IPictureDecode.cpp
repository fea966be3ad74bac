#include "viewer/IPictureDecode.h"

#include "viewer/DecoderStream.h"

#include <QFile>

extern "C" {
#include <libavcodec/avcodec.h>
}

struct IPictureDecode::Impl {
    DecoderStream stream;
    AVPacket* kept = av_packet_alloc();
    ~Impl() { av_packet_free(&kept); }
};

IPictureDecode::IPictureDecode() : d(std::make_unique<Impl>()) {}

IPictureDecode::~IPictureDecode() = default;

bool IPictureDecode::open(const QString& path) {
    return d->stream.open(QFile::encodeName(path));
}

bool IPictureDecode::load(qint64 offset) {
    DecoderStream& s = d->stream;
    if (!s.isOpen())
        return false;
    s.restartAt(s.programStream ? s.packStartAtOrBefore(offset) : offset);
    av_packet_unref(d->kept);
    for (int n = 0; n < 1000 && s.readVideoPacket(); ++n) {
        if (DecoderStream::PictureCodingType(s.packet) == 1) {
            av_packet_move_ref(d->kept, s.packet);
            return true;
        }
        av_packet_unref(s.packet);
    }
    return false;
}

bool IPictureDecode::decode() {
    DecoderStream& s = d->stream;
    if (!s.isOpen() || d->kept->size == 0)
        return false;
    avcodec_flush_buffers(s.codec);
    // The end of the input makes the decoder give out the picture it holds.
    avcodec_send_packet(s.codec, d->kept);
    avcodec_send_packet(s.codec, nullptr);
    const bool decoded =
        avcodec_receive_frame(s.codec, s.frame) == 0 && s.frame->pict_type == AV_PICTURE_TYPE_I;
    av_frame_unref(s.frame);
    return decoded;
}
