#pragma once

#include <QByteArrayView>

#include <array>

// Counts the picture start codes (00 00 01 00) of the video in a program stream fed in
// consecutive pieces. Only the payload of video packets (stream ids E0 to EF) counts, taken as
// one stream: a start code split across two video packets, or across two pieces, counts once,
// while the same bytes in audio, navigation or padding packets or in packet headers do not count.
// Packs and packets are followed by their lengths; where the bytes do not go on with a pack or
// packet start code where they should, nothing counts up to the next one.
class VideoPictureCounter {
public:
    enum class Start {
        // The first byte fed begins a pack or packet; bytes before the first start code of a
        // pack or packet are skipped.
        AtPacket,
        // The first byte fed lies in the payload of a video packet, which runs up to the next
        // pack or packet start code.
        InVideoPayload,
    };

    explicit VideoPictureCounter(Start start = Start::AtPacket);

    void feed(QByteArrayView bytes);

    qint64 pictures() const { return pictures_; }
    // Offset of the first byte of the last picture start code counted, from the first byte fed;
    // -1 while none has been counted.
    qint64 lastPictureOffset() const { return lastPicture_; }

private:
    enum class Mode {
        Header,          // collecting the bytes of a pack or packet header
        Skip,            // in bytes that hold no video (remaining_ of them)
        Video,           // in video payload (remaining_ bytes of it)
        VideoToNextCode, // in video payload that ends at the next pack or packet start code
        ToNextCode,      // lost: looking for the next pack or packet start code
    };

    // A video packet header with the largest optional part: 6 + 3 + 255 bytes.
    static constexpr qsizetype MaxHeader = 264;

    void run(const quint8* p, qsizetype n, qint64 at);
    qsizetype takeHeader(const quint8* p, qsizetype n, qint64 at);
    qsizetype searchCode(const quint8* p, qsizetype n, qint64 at);
    void countVideo(const quint8* p, qsizetype n, qint64 at);
    void enterHeader(qint64 at);

    Mode mode_;
    qint64 remaining_ = 0;
    qint64 offset_ = 0; // of the next byte fed

    std::array<quint8, MaxHeader> header_{};
    qsizetype headerLength_ = 0;
    qint64 headerAt_ = 0;

    // The last bytes searched for a start code in the modes that search, up to three.
    std::array<quint8, 3> searched_{};
    int searchedLength_ = 0;

    // The last bytes of video payload and where they lie, up to six: the start of a picture
    // start code that the next video bytes complete (six, so that three are left when the start
    // of a pack or packet code turns out to have been taken for video).
    std::array<quint8, 6> videoTail_{};
    std::array<qint64, 6> videoTailAt_{};
    int videoTailLength_ = 0;

    qint64 pictures_ = 0;
    qint64 lastPicture_ = -1;
};
