#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

// Clips are cut from the source video byte for byte, without decoding, in whole blocks of this
// many bytes (the last one may be shorter at the end of the file).
inline constexpr qint32 ClipBlockSize = 100000;

// Where a program-stream clip for the GOP at the 1-based `position` (ClipStartPos) begins: the
// 0-based offset of the pack header before the sequence header before that GOP.
struct ClipStart {
    qint64 offset = 0;
    bool gopNotFound = false;           // the caller shows "GOP not found" (text offset 205)
    std::optional<qint64> clipStartScr; // set when the pack clock of the start was (re)read
};

// A shown "00:00:00.000" or a position of 0 or less gives offset 0 without reading the file.
// Near the file start (position up to ClipBlockSize) the first block is searched: the last
// sequence header whose four bytes lie within the first `position` bytes, then the last pack
// header that ends before it. Further on, the block of ClipBlockSize bytes that ends with the
// byte at `position` is searched backwards the same way, so a header reaching past that byte or
// starting before the block is not seen. Either way clipStartScr is the clock of the pack found.
// When nothing is read, no sequence header or no pack header before it is found, the result is
// offset 0 with gopNotFound; the clock is then left alone (nullopt), except that a missing pack
// header further on resets it to 0.
ClipStart FindClipStart(const QString& videoFile, qint64 position, const QString& shownTimecode);

struct ClipSource {
    QString path;
    QByteArray streamHeader; // StreamHeader (empty for program streams)
    qint16 muxed = 0;
    double durationSeconds = 0;
    double scrDurationSeconds = 0;
    float frameRate = 25;
    qint64 clipStartScr = 0;
};

// Copies at least `pictures` pictures from `start` on into `target`, in whole blocks of
// ClipBlockSize bytes: picture start codes are counted over each block read (in a program stream
// only those in video packets, see VideoPictureCounter), and copying goes on block by block until
// the count reaches `pictures` or the file ends. For a program stream whose pack clock agrees with
// its time codes to within a second, a block whose last readable pack clock lies less than
// pictures / frameRate seconds after `clipStartScr` is followed by one more block even when enough
// pictures were counted. An elementary stream's header goes first when the clip does not start at
// byte 0.
//
// The target is replaced only by a complete clip: it is written beside the old file and renamed
// over it at the end, so an existing file, longer or not, is either left as it was or replaced
// whole. Returns false, leaving the target as it was, when it could not be written completely,
// when the source cannot be opened or holds nothing at `start` (a clip of no source bytes is not
// written), or when the source could not be read up to its length measured at the start.
// `progress` is called after each block with the number of bytes written to the target so far.
bool ExtractClip(qint32 pictures, qint64 start, const ClipSource& source, const QString& target,
                 const std::function<void(qint64 bytesDone)>& progress = {});
