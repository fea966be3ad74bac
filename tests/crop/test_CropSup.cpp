#include "crop/CropBars.h"
#include "crop/CropDialog.h"
#include "crop/CropSup.h"
#include "shell/FileNames.h"
#include "support/EditorFixture.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <cmath>
#include <csignal>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

#include <sys/resource.h>

namespace {

// ---- A reader of the file, written from the subpicture format, not from the writer ----------

quint32 Le32(const QByteArray& b, qsizetype at) {
    return quint32(quint8(b[at])) | quint32(quint8(b[at + 1])) << 8 |
           quint32(quint8(b[at + 2])) << 16 | quint32(quint8(b[at + 3])) << 24;
}

int Be16(const QByteArray& b, qsizetype at) {
    return quint8(b[at]) << 8 | quint8(b[at + 1]);
}

QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray bytes;
    for (int v : values)
        bytes.append(char(v));
    return bytes;
}

// What the control sequences of a unit say, and the picture rows it renders.
struct DecodedUnit {
    QString error;                 // empty when the unit parsed
    int startAt = -1, stopAt = -1; // delays of the start and stop commands
    int colour[4] = {-1, -1, -1, -1};
    int contrast[4] = {-1, -1, -1, -1};
    int x1 = -1, x2 = -1, y1 = -1, y2 = -1;
    int topField = -1, bottomField = -1;
    // One character per picture row 0 .. height - 1: 'X' every pixel opaque, '.' every pixel
    // transparent, '?' mixed, ' ' outside the display area.
    QByteArray rows;
};

// Reads run-length data of one field nibble by nibble.
class RunLengthReader {
public:
    RunLengthReader(const QByteArray& unit, int at, int end)
        : unit_(unit), nibble_(2 * at), end_(end) {}

    // Pixel codes of one line of `width` pixels; false on a run past the line or the field's end.
    bool Line(int width, std::vector<int>& codes) {
        codes.assign(size_t(width), -1);
        int x = 0;
        while (x < width) {
            int v = Next();
            if (v < 0x4) {
                v = v << 4 | Next();
                if (v < 0x10) {
                    v = v << 4 | Next();
                    if (v < 0x40)
                        v = v << 4 | Next();
                }
            }
            if (overrun_)
                return false;
            const int code = v & 3;
            int length = v >> 2;
            if (length == 0)
                length = width - x; // to the end of the line
            if (x + length > width)
                return false;
            std::fill_n(codes.begin() + x, length, code);
            x += length;
        }
        nibble_ += nibble_ % 2; // lines start on a byte
        return !overrun_;
    }

private:
    int Next() {
        if (nibble_ / 2 >= end_) {
            overrun_ = true;
            return 0xF;
        }
        const int byte = quint8(unit_[nibble_ / 2]);
        const int v = nibble_ % 2 == 0 ? byte >> 4 : byte & 0xF;
        ++nibble_;
        return v;
    }

    const QByteArray& unit_;
    qint64 nibble_;
    int end_;
    bool overrun_ = false;
};

// Parses the unit that starts at byte 10 of `entry` and renders it for a picture of `height`
// rows.
DecodedUnit DecodeEntry(const QByteArray& entry, int height) {
    DecodedUnit d;
    if (entry.size() < 14 || !entry.startsWith("SP")) {
        d.error = "no entry header";
        return d;
    }
    const QByteArray unit = entry.mid(10);
    const int size = Be16(unit, 0);
    if (size != unit.size()) {
        d.error = QString("unit size %1, %2 bytes follow").arg(size).arg(unit.size());
        return d;
    }
    const int firstControl = Be16(unit, 2);
    int at = firstControl;
    for (int sequences = 0; sequences < 8; ++sequences) {
        if (at + 4 > size) {
            d.error = "control sequence outside the unit";
            return d;
        }
        const int delay = Be16(unit, at);
        const int next = Be16(unit, at + 2);
        int p = at + 4;
        for (bool end = false; !end;) {
            if (p >= size) {
                d.error = "unterminated control sequence";
                return d;
            }
            const int command = quint8(unit[p++]);
            const int argumentBytes = command == 0x05                      ? 6
                                      : command == 0x06                    ? 4
                                      : command >= 0x03 && command <= 0x04 ? 2
                                                                           : 0;
            if (p + argumentBytes > size) {
                d.error = "control command past the unit's end";
                return d;
            }
            switch (command) {
            case 0x01:
                d.startAt = delay;
                break;
            case 0x02:
                d.stopAt = delay;
                break;
            case 0x03:
            case 0x04: {
                int* target = command == 0x03 ? d.colour : d.contrast;
                target[3] = quint8(unit[p]) >> 4;
                target[2] = quint8(unit[p]) & 0xF;
                target[1] = quint8(unit[p + 1]) >> 4;
                target[0] = quint8(unit[p + 1]) & 0xF;
                p += 2;
                break;
            }
            case 0x05:
                d.x1 = quint8(unit[p]) << 4 | quint8(unit[p + 1]) >> 4;
                d.x2 = (quint8(unit[p + 1]) & 0xF) << 8 | quint8(unit[p + 2]);
                d.y1 = quint8(unit[p + 3]) << 4 | quint8(unit[p + 4]) >> 4;
                d.y2 = (quint8(unit[p + 4]) & 0xF) << 8 | quint8(unit[p + 5]);
                p += 6;
                break;
            case 0x06:
                d.topField = Be16(unit, p);
                d.bottomField = Be16(unit, p + 2);
                p += 4;
                break;
            case 0xFF:
                end = true;
                break;
            default:
                d.error = QString("unknown command %1").arg(command);
                return d;
            }
        }
        if (next == at)
            break;
        at = next;
    }
    if (d.x1 < 0 || d.topField < 0 || d.contrast[0] < 0) {
        d.error = "no display area, field addresses or contrast";
        return d;
    }
    // The top field runs up to the bottom field, the bottom field up to the control sequences.
    RunLengthReader fields[2] = {{unit, d.topField, d.bottomField},
                                 {unit, d.bottomField, firstControl}};
    const int width = d.x2 - d.x1 + 1;
    d.rows = QByteArray(height, ' ');
    std::vector<int> codes;
    for (int y = d.y1; y <= d.y2; ++y) {
        if (!fields[(y - d.y1) % 2].Line(width, codes)) {
            d.error = QString("bad run-length data on line %1").arg(y);
            return d;
        }
        int opaque = 0;
        for (int code : codes)
            opaque += d.contrast[code] != 0 ? 1 : 0;
        if (y < height)
            d.rows[y] = opaque == width ? 'X' : opaque == 0 ? '.' : '?';
    }
    return d;
}

// Rows as DecodeEntry reports them for opaque bands over the given inclusive ranges of rows.
QByteArray ExpectedRows(int height, std::initializer_list<std::pair<int, int>> opaque) {
    QByteArray rows(height, ' ');
    for (int y = 2; y <= height - 2; ++y)
        rows[y] = '.';
    for (auto [from, to] : opaque)
        for (int y = from; y <= to; ++y)
            rows[y] = 'X';
    return rows;
}

// The opaque rows as ranges, for readable failure messages.
std::string Bands(const QByteArray& rows) {
    std::string text;
    for (int y = 0; y < rows.size(); ++y) {
        if (rows[y] == '.' || rows[y] == ' ')
            continue;
        int end = y;
        while (end + 1 < rows.size() && rows[end + 1] == rows[y])
            ++end;
        text += std::to_string(y);
        if (end > y) {
            text += '-';
            text += std::to_string(end);
        }
        text += rows[y];
        text += ' ';
        y = end;
    }
    return text;
}

class CropSupFile : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString Path(const QString& name = QStringLiteral("film_crop.sup")) const {
        return dir.filePath(name);
    }
    QStringList Files() const {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
};

// ---- Layout --------------------------------------------------------------------------------

TEST(CropSup, UnitLayoutIsByteExact) {
    const struct {
        int height, entrySize, unitSize, firstControl, bottomField;
        QByteArray area;
    } layouts[] = {
        {576, 1193, 1183, 1152, 578, Bytes({0x05, 0x00, 0x02, 0xCF, 0x00, 0x22, 0x3E})},
        {480, 1001, 991, 960, 482, Bytes({0x05, 0x00, 0x02, 0xCF, 0x00, 0x21, 0xDE})},
    };
    for (const auto& l : layouts) {
        SCOPED_TRACE(l.height);
        const QByteArray body = CropSupBody(l.height, 8, 8);
        const QByteArray entry = CropSupHeader(0, int(body.size())) + body;
        ASSERT_EQ(entry.size(), l.entrySize);
        const QByteArray unit = entry.mid(10);
        EXPECT_EQ(entry.left(10), Bytes({'S', 'P', 0, 0, 0, 0, 0, 0, 0, 0}));
        EXPECT_EQ(Be16(unit, 0), l.unitSize);
        EXPECT_EQ(Be16(unit, 2), l.firstControl);
        EXPECT_EQ(unit.mid(l.firstControl - 2, 2), Bytes({0x00, 0x00}));
        const int second = l.unitSize - 7;
        const QByteArray first =
            Bytes({0x00, 0x00, second >> 8, second & 0xFF, 0x01, 0x03, 0x00, 0x00, 0x04, 0x00, 0xF0,
                   0x06, 0x00, 0x04, l.bottomField >> 8, l.bottomField & 0xFF}) +
            l.area + Bytes({0xFF});
        EXPECT_EQ(unit.mid(l.firstControl, 24), first);
        EXPECT_EQ(unit.mid(second),
                  Bytes({0x00, 0xAF, second >> 8, second & 0xFF, 0x02, 0xFF, 0xFF}));
        // Every line is one two-byte code, whatever the margins.
        for (auto [top, bottom] : {std::pair{0, 0}, {300, 300}, {1, 575}})
            EXPECT_EQ(CropSupBody(l.height, top, bottom).size(), body.size());
    }
}

// The run-length codes themselves for the default margins: lines 2 to 8 and 568 to 574 say
// "pixel code 1 to the end of the line", the others "pixel code 0 to the end of the line".
TEST(CropSup, LineCodesFollowTheMargins) {
    const QByteArray body = CropSupBody(576, 8, 8);
    auto codeOf = [&](int y) {
        const int at = y % 2 == 0 ? (y - 2) : 574 + (y - 3);
        return Be16(body, at);
    };
    for (int y = 2; y <= 574; ++y) {
        const bool opaque = y <= 8 || y >= 568;
        ASSERT_EQ(codeOf(y), opaque ? 0x0001 : 0x0000) << "line " << y;
    }
}

// Every unit rendered: the bands lie exactly where the margins say, for both layouts and for
// margins that are zero, small, one-sided, overlapping, larger than the picture or negative.
TEST(CropSup, RenderedBandsMatchTheMargins) {
    const struct {
        int height, top, bottom;
        QByteArray rows;
    } cases[] = {
        {576, 8, 8, ExpectedRows(576, {{2, 8}, {568, 574}})},
        {576, 0, 0, ExpectedRows(576, {})},
        {576, 16, 4, ExpectedRows(576, {{2, 16}, {572, 574}})},
        {576, 1, 2, ExpectedRows(576, {{574, 574}})},
        {576, 2, 3, ExpectedRows(576, {{2, 2}, {573, 574}})},
        {576, 0, 288, ExpectedRows(576, {{288, 574}})},
        {576, 300, 300, ExpectedRows(576, {{2, 574}})},
        {576, 600, 0, ExpectedRows(576, {{2, 574}})},
        {576, -5, -5, ExpectedRows(576, {})},
        {480, 8, 8, ExpectedRows(480, {{2, 8}, {472, 478}})},
        {480, 0, 0, ExpectedRows(480, {})},
        {480, 60, 60, ExpectedRows(480, {{2, 60}, {420, 478}})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.height << " " << c.top << "/" << c.bottom);
        const QByteArray body = CropSupBody(c.height, c.top, c.bottom);
        const DecodedUnit d = DecodeEntry(CropSupHeader(0, int(body.size())) + body, c.height);
        ASSERT_TRUE(d.error.isEmpty()) << d.error.toStdString();
        EXPECT_EQ((std::vector<int>{d.x1, d.x2, d.y1, d.y2}),
                  (std::vector<int>{0, 719, 2, c.height - 2}));
        EXPECT_EQ(d.startAt, 0);
        EXPECT_EQ(d.stopAt, 175);
        EXPECT_EQ((std::vector<int>(d.colour, d.colour + 4)), (std::vector<int>{0, 0, 0, 0}));
        EXPECT_EQ((std::vector<int>(d.contrast, d.contrast + 4)), (std::vector<int>{0, 15, 0, 0}));
        EXPECT_EQ(Bands(d.rows), Bands(c.rows));
        EXPECT_EQ(d.rows, c.rows);
    }
}

// ---- Entries and time stamps ---------------------------------------------------------------

TEST_F(CropSupFile, OneEntryPerEvenSecond) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        double duration;
        std::vector<quint32> times;
    } cases[] = {
        {7.5, {0, 180000, 360000, 540000}},
        {1.99, {0}},
        {0.0, {0}},
        {2.0, {0, 180000}},
        {3.999, {0, 180000}},
        {12.0, {0, 180000, 360000, 540000, 720000, 900000, 1080000}},
        {-4.0, {0}},
        {nan, {0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.duration);
        ASSERT_TRUE(WriteCropSup(Path(), 576, c.duration, 8, 8));
        const QByteArray file = ReadAll(Path());
        ASSERT_EQ(file.size(), qsizetype(c.times.size()) * 1193);
        const QByteArray first = file.left(1193);
        std::vector<quint32> times;
        for (qsizetype at = 0; at < file.size(); at += 1193) {
            times.push_back(Le32(file, at + 2));
            // Apart from the time stamp every entry is the first one.
            QByteArray entry = file.mid(at, 1193);
            entry.replace(2, 4, first.mid(2, 4));
            ASSERT_EQ(entry, first) << "entry at " << at;
        }
        EXPECT_EQ(times, c.times);
        EXPECT_EQ(CropSupEntryCount(c.duration), qint64(c.times.size()));
    }
    // The second time stamp of a 7.5-second video, byte by byte.
    ASSERT_TRUE(WriteCropSup(Path(), 576, 7.5, 8, 8));
    EXPECT_EQ(ReadAll(Path()).mid(1193 + 2, 4), Bytes({0x20, 0xBF, 0x02, 0x00}));
}

// Time stamps are 32 bits: a video longer than 2^32 / 90000 seconds (about 13 h 15 min) gets
// entries up to 47720 s, the last one that fits, and never a wrapped time.
TEST(CropSup, EntriesStopWhereTimeStampsNoLongerFit) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double duration;
        qint64 entries;
    } cases[] = {
        {47719.99, 23860}, {47720.0, 23861}, {47721.9, 23861}, {47722.0, 23861},
        {47723.5, 23861},  {1e12, 23861},    {1e300, 23861},   {inf, 23861},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CropSupEntryCount(c.duration), c.entries) << c.duration;
    EXPECT_LE(quint64(CropSupLastSecond) * 90000, quint64(std::numeric_limits<quint32>::max()));
    EXPECT_GT(quint64(CropSupLastSecond + 2) * 90000, quint64(std::numeric_limits<quint32>::max()));
}

TEST_F(CropSupFile, LongVideoEndsAtTheLastTimeThatFits) {
    ASSERT_TRUE(WriteCropSup(Path(), 480, 47723.5, 8, 8));
    const QByteArray file = ReadAll(Path());
    ASSERT_EQ(file.size(), qsizetype(23861) * 1001);
    quint32 previous = 0;
    for (qsizetype at = 1001; at < file.size(); at += 1001) {
        const quint32 time = Le32(file, at + 2);
        ASSERT_EQ(quint64(time), quint64(previous) + 180000) << "entry at " << at;
        previous = time;
    }
    EXPECT_EQ(previous, 4294800000u);
}

// ---- The file itself -----------------------------------------------------------------------

TEST(CropSup, FileLiesBesideTheVideo) {
    const struct {
        const char* video;
        const char* sup;
    } cases[] = {
        {"/films/Test/Chart_Tip.mpv", "/films/Test/Chart_Tip_crop.sup"},
        {"/films/a.b.vob", "/films/a.b_crop.sup"},
        {"/films/noext", "/films/noext_crop.sup"},
        {"/films.d/noext", "/films.d/noext_crop.sup"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CropSupPath(QString::fromUtf8(c.video)), QString::fromUtf8(c.sup)) << c.video;
}

TEST_F(CropSupFile, AnOldFileIsReplacedWhole) {
    const QByteArray old(100000, 'x');
    ASSERT_TRUE(WriteAll(Path(), old));
    ASSERT_TRUE(WriteCropSup(Path(), 576, 3.0, 8, 8));
    const QByteArray file = ReadAll(Path());
    EXPECT_EQ(file.size(), 2 * 1193);
    EXPECT_TRUE(file.startsWith("SP"));
    EXPECT_FALSE(file.contains('x'));
    EXPECT_EQ(Files(), QStringList{"film_crop.sup"});
}

// A request that cannot be written leaves what was there: an old file unchanged, no new file,
// no temporary file.
TEST_F(CropSupFile, FailuresLeaveNothingBehind) {
    const QByteArray old("old crop file");
    ASSERT_TRUE(WriteAll(Path(), old));
    for (int height : {0, 240, 288, 481, 575, 720, 1080}) {
        EXPECT_FALSE(WriteCropSup(Path(), height, 10.0, 8, 8)) << height;
        EXPECT_TRUE(CropSupBody(height, 8, 8).isEmpty()) << height;
    }
    EXPECT_EQ(ReadAll(Path()), old);

    EXPECT_FALSE(WriteCropSup(QString(), 576, 10.0, 8, 8));
    EXPECT_FALSE(WriteCropSup(dir.filePath("missing/film_crop.sup"), 576, 10.0, 8, 8));
    // A folder in the file's place: the finished file cannot take its name.
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder_crop.sup"));
    EXPECT_FALSE(WriteCropSup(Path("folder_crop.sup"), 576, 10.0, 8, 8));
    EXPECT_TRUE(QFileInfo(Path("folder_crop.sup")).isDir());
    EXPECT_EQ(Files(), (QStringList{"film_crop.sup", "folder_crop.sup"}));
}

// A file that cannot be finished (here: the process may write no file past 64 KiB, as on a full
// disk) keeps the old file as it was and leaves no part of the new one.
TEST_F(CropSupFile, AWriteFailingHalfwayKeepsTheOldFile) {
    const QByteArray old("old crop file");
    ASSERT_TRUE(WriteAll(Path(), old));
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = WriteCropSup(Path(), 576, 3600.0, 8, 8);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(ReadAll(Path()), old);
    EXPECT_EQ(Files(), QStringList{"film_crop.sup"});
}

// ---- Through the crop dialog of the editor -------------------------------------------------

// The button writes the file beside the editor's video from the margins as the dialog set them;
// pressed again after a change it replaces the file.
TEST(CropSupDialog, ButtonWritesTheFileBesideTheVideo) {
    const struct {
        const char* video;
        int height, entrySize, entries;
    } cases[] = {
        {"pal.mpg", 576, 1193, 7},
        {"ntsc_df.mpg", 480, 1001, 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.video);
        QTemporaryDir videoDir;
        const QString video = videoDir.filePath(QString::fromLatin1(c.video));
        ASSERT_TRUE(QFile::copy(TestVideo(QString::fromLatin1(c.video)), video));
        EditorFixture fx;
        ASSERT_TRUE(fx.Start(video));
        ASSERT_EQ(GlobalVars().VideoHeight, c.height);
        MpegLibForm& f = *fx.form;
        f.show();
        Crop_Dialog dialog({f.Check_Crop, f.Picture1, f.Picture_oben, f.Picture_unten,
                            f.Picture_links, f.Picture_rechts},
                           &f);
        dialog.show();
        ASSERT_TRUE(dialog.Command_CreateCropSUP->isEnabled());

        QString folder, stem, extension;
        SplitFullPath(video, folder, stem, extension);
        const QString sup = videoDir.filePath(stem.mid(1) + "_crop.sup");
        const struct {
            int top, bottom;
            QByteArray rows;
        } margins[] = {
            {16, 4, ExpectedRows(c.height, {{2, 16}, {c.height - 4, c.height - 2}})},
            {0, 10, ExpectedRows(c.height, {{c.height - 10, c.height - 2}})},
        };
        for (const auto& m : margins) {
            dialog.VScroll1->setValue(m.top);
            dialog.VScroll2->setValue(300 - m.bottom);
            ASSERT_EQ(GlobalVars().CropTop, m.top);
            ASSERT_EQ(GlobalVars().CropBottom, m.bottom);
            QTest::mouseClick(dialog.Command_CreateCropSUP, Qt::LeftButton);

            const QByteArray file = ReadAll(sup);
            ASSERT_EQ(file.size(), qsizetype(c.entries) * c.entrySize);
            for (int i : {0, c.entries - 1}) {
                const QByteArray entry = file.mid(qsizetype(i) * c.entrySize, c.entrySize);
                EXPECT_EQ(Le32(entry, 2), quint32(i) * 180000);
                const DecodedUnit d = DecodeEntry(entry, c.height);
                ASSERT_TRUE(d.error.isEmpty()) << d.error.toStdString();
                EXPECT_EQ(Bands(d.rows), Bands(m.rows));
            }
        }
        EXPECT_EQ(QDir(videoDir.path()).entryList(QDir::Files),
                  (QStringList{QString::fromLatin1(c.video), stem.mid(1) + "_crop.sup"}));
    }
}

} // namespace
