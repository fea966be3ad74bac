#pragma once

#include <QString>
#include <QtGlobal>
#include <memory>

// The yardstick of the decoder's speed: one I-picture decoded on its own by a video decoder that
// is already open, with no open, seek or search around it. The benchmarks measure a whole
// open-seek-picture step of Mpeg2Decoder against it.
class IPictureDecode {
public:
    IPictureDecode();
    ~IPictureDecode();
    IPictureDecode(const IPictureDecode&) = delete;
    IPictureDecode& operator=(const IPictureDecode&) = delete;

    // Opens the file; false when it holds no decodable video.
    bool open(const QString& path);
    // Reads and keeps the data of the first I-picture at or after the byte offset; false when
    // there is none.
    bool load(qint64 offset);
    // Decodes the kept picture: true when the decoder gave it out.
    bool decode();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
