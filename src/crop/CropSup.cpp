#include "crop/CropSup.h"

#include "shell/FileNames.h"

#include <QSaveFile>
#include <cmath>

namespace {

constexpr qint64 TicksPerSecond = 90000;
constexpr qint64 SecondsPerEntry = 2;

// Display area: the whole 720-pixel width, from line 2 down to line H - 2.
constexpr int AreaLeft = 0;
constexpr int AreaRight = 719;
constexpr int AreaTop = 2;

// Unit offsets count from the unit's first header word; the top field's lines follow the two
// header words.
constexpr int UnitHeaderBytes = 4;
constexpr int FirstControlBytes = 24;
constexpr int SecondControlBytes = 6;

// Run-length codes of a whole line in one pixel code: pixel code 1 is the opaque band, pixel
// code 0 is transparent (see the contrast command below).
constexpr char LineOpaque[2] = {0x00, 0x01};
constexpr char LineClear[2] = {0x00, 0x00};

// The second control sequence runs 175 × 1024 / 90000 s after the unit's start: the bands go just
// before the next entry shows its own.
constexpr int StopDelay = 175;

void AppendWord(QByteArray& bytes, int value) {
    bytes.append(char((value >> 8) & 0xFF));
    bytes.append(char(value & 0xFF));
}

// Two 12-bit numbers in three bytes.
void AppendPair12(QByteArray& bytes, int first, int second) {
    bytes.append(char((first >> 4) & 0xFF));
    bytes.append(char(((first & 0x0F) << 4) | ((second >> 8) & 0x0F)));
    bytes.append(char(second & 0xFF));
}

void AppendLine(QByteArray& bytes, int y, int videoHeight, int cropTop, int cropBottom) {
    const bool opaque = y <= cropTop || y >= videoHeight - cropBottom;
    bytes.append(opaque ? LineOpaque : LineClear, 2);
}

// The subpicture layouts exist for PAL and NTSC picture heights.
bool HasLayout(int videoHeight) {
    return videoHeight == 576 || videoHeight == 480;
}

} // namespace

QByteArray CropSupBody(int videoHeight, int cropTop, int cropBottom) {
    if (!HasLayout(videoHeight))
        return {};
    const int H = videoHeight;
    const int areaBottom = H - 2;
    // Even lines 2 .. H - 2 make the top field, odd lines 3 .. H - 3 the bottom field.
    const int topFieldLines = (areaBottom - AreaTop) / 2 + 1;
    const int bottomFieldAt = UnitHeaderBytes + 2 * topFieldLines;
    const int lineBytes = 2 * (areaBottom - AreaTop + 1);
    const int firstControlAt = UnitHeaderBytes + lineBytes + 2;
    const int secondControlAt = firstControlAt + FirstControlBytes;
    const int bodySize = lineBytes + 2 + FirstControlBytes + SecondControlBytes + 1;

    QByteArray body;
    body.reserve(bodySize);
    for (int y = AreaTop; y <= areaBottom; y += 2)
        AppendLine(body, y, H, cropTop, cropBottom);
    for (int y = AreaTop + 1; y < areaBottom; y += 2)
        AppendLine(body, y, H, cropTop, cropBottom);
    body.append(2, '\0');

    // First control sequence: show at once, palette entry 0 for every pixel code, pixel code 1
    // opaque and the others transparent, the two fields, the display area.
    AppendWord(body, 0);
    AppendWord(body, secondControlAt);
    body.append(char(0x01));
    body.append("\x03\x00\x00", 3);
    body.append("\x04\x00\xF0", 3);
    body.append(char(0x06));
    AppendWord(body, UnitHeaderBytes);
    AppendWord(body, bottomFieldAt);
    body.append(char(0x05));
    AppendPair12(body, AreaLeft, AreaRight);
    AppendPair12(body, AreaTop, areaBottom);
    body.append(char(0xFF));

    // Second control sequence: stop after the delay; it is the last, so it points at itself.
    AppendWord(body, StopDelay);
    AppendWord(body, secondControlAt);
    body.append(char(0x02));
    body.append(char(0xFF));

    body.append(char(0xFF));
    Q_ASSERT(body.size() == bodySize);
    return body;
}

QByteArray CropSupHeader(quint32 time, int bodySize) {
    const int unitSize = bodySize + UnitHeaderBytes;
    QByteArray header;
    header.reserve(CropSupHeaderBytes);
    header.append("SP", 2);
    for (int shift = 0; shift < 32; shift += 8)
        header.append(char((time >> shift) & 0xFF));
    header.append(4, '\0');
    AppendWord(header, unitSize);
    AppendWord(header, unitSize - (FirstControlBytes + SecondControlBytes + 1));
    return header;
}

qint64 CropSupEntryCount(double durationSeconds) {
    if (!(durationSeconds >= 0))
        return 1;
    qint64 last = CropSupLastSecond;
    if (durationSeconds < double(CropSupLastSecond + SecondsPerEntry)) {
        const qint64 whole = qint64(std::floor(durationSeconds));
        last = qMin(whole - whole % SecondsPerEntry, CropSupLastSecond);
    }
    return last / SecondsPerEntry + 1;
}

QString CropSupPath(const QString& videoFile) {
    if (videoFile.isEmpty())
        return {};
    QString folder, stem, extension;
    SplitFullPath(videoFile, folder, stem, extension);
    return folder + stem + QStringLiteral("_crop.sup");
}

bool WriteCropSup(const QString& path, int videoHeight, double durationSeconds, int cropTop,
                  int cropBottom) {
    const QByteArray body = CropSupBody(videoHeight, cropTop, cropBottom);
    if (body.isEmpty() || path.isEmpty())
        return false;
    QByteArray entry = CropSupHeader(0, int(body.size())) + body;

    // An old file of the name stays whole until the new one is complete; a failed write leaves
    // it, and no partial file, behind.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const qint64 entries = CropSupEntryCount(durationSeconds);
    for (qint64 i = 0; i < entries; ++i) {
        const quint32 time = quint32(i * SecondsPerEntry * TicksPerSecond);
        for (int k = 0; k < 4; ++k)
            entry[2 + k] = char((time >> (8 * k)) & 0xFF);
        if (file.write(entry) != entry.size()) {
            file.cancelWriting();
            return false;
        }
    }
    return file.commit();
}
