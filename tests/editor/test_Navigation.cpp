#include "chapters/Timecode.h"
#include "crop/PictureBox.h"
#include "editor/MpegLibForm.h"
#include "editor/PositionSlider.h"
#include "session/EditorSession.h"
#include "shell/GlobalVars.h"
#include "support/DecoderSupport.h"
#include "support/GopReference.h"
#include "support/MessageRecorder.h"
#include "support/TestSupport.h"
#include "viewer/MpegLibModule.h"

#include <QCheckBox>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

using GopReference::CollectHeaders;
using GopReference::Expected;
using GopReference::Header;

// ---- Pictures, compared by hash -------------------------------------------------------------

quint64 Fnv(quint64 hash, const uchar* bytes, size_t n) {
    for (size_t i = 0; i < n; ++i)
        hash = (hash ^ bytes[i]) * 1099511628211ULL;
    return hash;
}

constexpr quint64 FnvStart = 14695981039346656037ULL;

// The picture the editor shows, top row first, blue-green-red bytes.
quint64 ShownHash(const MpegLibForm& form) {
    const QImage image = form.Picture1->picture().convertToFormat(QImage::Format_BGR888);
    quint64 hash = FnvStart;
    for (int y = 0; y < image.height(); ++y)
        hash = Fnv(hash, image.constScanLine(y), size_t(image.width()) * 3);
    return hash;
}

struct Decoded {
    quint64 hash = 0;
    char type = '?';
};

// What a decoder of its own shows when it enters the file at `offset`, hashed the same way.
Decoded DecodedAt(const QString& path, qint64 offset) {
    Mpeg2Decoder decoder;
    OpenTestDecoder(decoder, path);
    decoder.MPEG2Seek(offset);
    const uchar* bytes = decoder.GetMPEG2Frame();
    TVideoFrameInfo info;
    decoder.GetMPEG2FrameInfo(&info);
    if (!bytes)
        return {};
    const size_t row = size_t(info.Width) * 3;
    quint64 hash = FnvStart;
    for (int y = info.Height - 1; y >= 0; --y)
        hash = Fnv(hash, bytes + size_t(y) * row, row);
    return {hash, decoder.LastPictureType()};
}

// Milliseconds of a shown "HH:MM:SS.mmm".
qint64 MillisOf(const QString& tc) {
    int seconds = 0;
    if (tc.size() != 12 || !TimeOfDaySeconds(tc, seconds))
        return -1;
    return seconds * 1000LL + tc.mid(9).toInt();
}

// ---- A loaded editor on a test video --------------------------------------------------------

class Editor {
public:
    explicit Editor(const char* video) {
        Global_var_module& g = GlobalVars();
        g = Global_var_module{};
        g.VideoFile = TestVideo(QString::fromLatin1(video));
        g.OutDir = out.path();
        g.AppPath = app.path();
        bytes = ReadAll(g.VideoFile);
        CollectHeaders(bytes, 0, headers);
        scanned = ScanMpegHeaders(g.VideoFile);
        form = std::make_unique<MpegLibForm>();
        loaded = scanned && form->Form_Load();
        form->show();
        exposed = QTest::qWaitForWindowExposed(form.get());
        // Picture1 repaints when it loses the focus; the counts of pictures drawn must not see
        // that, nor paints still queued from the start.
        form->Slider1->setFocus();
        QTest::qWait(20);
    }
    ~Editor() {
        form.reset();
        GlobalVars() = Global_var_module{};
    }

    bool ready() const { return !bytes.isEmpty() && scanned && loaded && exposed; }

    Expected Search(qint64 pos, bool backward) const {
        return GopReference::Reference(headers, bytes.size(), pos, backward);
    }

    QString TextOf(const GopTimeCode& tc) const {
        const Global_var_module& g = GlobalVars();
        return GopTimecodeToText(tc.hours, tc.minutes, tc.seconds, tc.pictures, g.FrameRate,
                                 g.DropFrame != FlagFalse);
    }

    // The picture a decoder shows entering at the GOP header whose 1-based position is given.
    Decoded GopPicture(qint64 headerPos) const {
        return DecodedAt(GlobalVars().VideoFile, headerPos - 1);
    }

    // Where a slider value points, in whole bytes.
    qint64 SliderBytes(int value) const { return qint64(value) * bytes.size() / 32000; }

    int ThumbX() const {
        const PositionSlider* s = form->Slider1;
        return 13 + (s->width() - 26) * s->value() / 32000;
    }

    MessageRecorder messages;
    QTemporaryDir out;
    QTemporaryDir app;
    QByteArray bytes;
    std::vector<Header> headers;
    bool scanned = false;
    bool loaded = false;
    bool exposed = false;
    std::unique_ptr<MpegLibForm> form;
};

// The editor stands on the GOP `want` names: position, timecode, slider and its I-picture.
void ExpectOnGop(const Editor& e, const Expected& want, const QString& shownText,
                 const std::string& where) {
    const MpegLibForm& form = *e.form;
    ASSERT_TRUE(want.found) << where;
    ASSERT_EQ(form.Session->CurrentPos, want.headerPos) << where;
    EXPECT_EQ(form.Session->ClipStartPos, want.headerPos) << where;
    EXPECT_EQ(form.Text1->text(), shownText) << where;
    EXPECT_NE(form.Session->AtGopStart, FlagFalse) << where;
    EXPECT_NEAR(form.Slider1->value(), double(want.headerPos) * 32000 / e.bytes.size(), 1) << where;
    const Decoded gop = e.GopPicture(want.headerPos);
    EXPECT_EQ(gop.type, 'I') << where;
    EXPECT_EQ(ShownHash(form), gop.hash) << where;
}

// ---- GOP steps over whole files -------------------------------------------------------------

struct WalkCase {
    const char* video;
    bool gopsFarApart; // every GOP header more than 100000 bytes after the one before
};

class GopWalk : public ::testing::TestWithParam<WalkCase> {};

// Each step is taken by another of the inputs that make it, in turn.
void NextGopByInput(MpegLibForm& form, int n) {
    switch (n % 3) {
    case 0:
        QTest::mouseClick(form.Command_NextIFrame, Qt::LeftButton);
        break;
    case 1:
        QTest::keyClick(form.Picture1, Qt::Key_Right);
        break;
    default:
        QTest::keyClick(form.Slider1, Qt::Key_Right);
        break;
    }
}

void PreviousGopByInput(MpegLibForm& form, int n) {
    if (n % 2 == 0)
        QTest::mouseClick(form.Command_StepBack, Qt::LeftButton);
    else
        QTest::keyClick(form.Picture1, Qt::Key_Left);
}

TEST_P(GopWalk, VisitsTheGopsTheSearchRulePredictsAndStopsAtBothEnds) {
    Editor e(GetParam().video);
    ASSERT_TRUE(e.ready()) << e.messages.texts().join(u'|').toStdString();
    MpegLibForm& form = *e.form;
    const qint64 lastGop = GlobalVars().LastGopPos;
    std::vector<qint64> validHeaders;
    for (const Header& h : e.headers)
        if (h.tc.valid)
            validHeaders.push_back(h.offset + 1);
    ASSERT_GE(validHeaders.size(), 10u);
    if (GetParam().gopsFarApart) {
        for (size_t i = 1; i < validHeaders.size(); ++i)
            ASSERT_GT(validHeaders[i] - validHeaders[i - 1], 100000) << "header " << i;
    }

    std::vector<qint64> forward;
    for (int n = 0; form.Session->CurrentPos + 50 < lastGop; ++n) {
        ASSERT_LT(n, 1000);
        const Expected want = e.Search(form.Session->CurrentPos + 50, false);
        PaintCounter paints(form.Picture1);
        NextGopByInput(form, n);
        EXPECT_EQ(paints.count, 1) << "one jump per step, forward " << n;
        ASSERT_NO_FATAL_FAILURE(
            ExpectOnGop(e, want, e.TextOf(want.tc), "forward " + std::to_string(n)));
        forward.push_back(form.Session->CurrentPos);
    }
    // At the last GOP the step does nothing at all (not even a redraw of the same GOP).
    form.Session->AtGopStart = FlagFalse;
    const QString lastText = form.Text1->text();
    QTest::mouseClick(form.Command_NextIFrame, Qt::LeftButton);
    EXPECT_EQ(form.Session->AtGopStart, FlagFalse);
    EXPECT_EQ(form.Text1->text(), lastText);
    form.Session->AtGopStart = FlagTrue;

    std::vector<qint64> backward;
    for (int n = 0; form.Session->CurrentPos > 50; ++n) {
        ASSERT_LT(n, 1000);
        const qint64 before = form.Session->CurrentPos;
        const Expected want = e.Search(before - 50, true);
        PaintCounter paints(form.Picture1);
        PreviousGopByInput(form, n);
        EXPECT_EQ(paints.count, 1) << "one jump per step, back " << n;
        ASSERT_NO_FATAL_FAILURE(
            ExpectOnGop(e, want, e.TextOf(want.tc), "back " + std::to_string(n)));
        // A program stream's first GOP lies beyond byte 50: stepping back finds it again.
        if (form.Session->CurrentPos == before)
            break;
        backward.push_back(form.Session->CurrentPos);
    }
    EXPECT_EQ(form.Session->CurrentPos, validHeaders.front());
    if (form.Session->CurrentPos <= 50) {
        form.Session->AtGopStart = FlagFalse;
        QTest::mouseClick(form.Command_StepBack, Qt::LeftButton);
        EXPECT_EQ(form.Session->AtGopStart, FlagFalse) << "a step back before byte 50 does nothing";
    }

    if (GetParam().gopsFarApart) {
        std::vector<qint64> all;
        for (qint64 pos : validHeaders)
            if (pos > 50)
                all.push_back(pos);
        EXPECT_EQ(forward, all);
        std::vector<qint64> allBack(validHeaders.rbegin() + 1, validHeaders.rend());
        EXPECT_EQ(backward, allBack);
    }
}

// The pictures of a file in the order they are shown, with the byte position their coded data
// starts at, as ffprobe reports them.
struct ShownPicture {
    char type;
    qint64 pos;
};

std::vector<ShownPicture> ProbePictures(const QString& path) {
    QProcess ffprobe;
    ffprobe.start(u"ffprobe"_qs,
                  {u"-v"_qs, u"error"_qs, u"-select_streams"_qs, u"v:0"_qs, u"-show_entries"_qs,
                   u"frame=pict_type,pkt_pos"_qs, u"-of"_qs, u"csv=p=0"_qs, path});
    std::vector<ShownPicture> pictures;
    if (!ffprobe.waitForFinished(120000))
        return pictures;
    for (const QString& line : QString::fromUtf8(ffprobe.readAllStandardOutput()).split(u'\n')) {
        const QStringList fields = line.trimmed().split(u',');
        if (fields.size() >= 2 && !fields[1].isEmpty())
            pictures.push_back({fields[1][0].toLatin1(), fields[0].toLongLong()});
    }
    return pictures;
}

// From the last picture of each GOP, shown by picture steps, the position is still the GOP's:
// next GOP goes on from there and previous GOP goes back to the GOP's start, not on.
TEST_P(GopWalk, GopStepsFromTheLastPictureOfEachGopKeepToThatGop) {
    Editor e(GetParam().video);
    ASSERT_TRUE(e.ready());
    MpegLibForm& form = *e.form;
    const std::vector<ShownPicture> pictures = ProbePictures(GlobalVars().VideoFile);
    // Each GOP's I-picture: where its pictures are counted from and which data ends the GOP.
    std::vector<size_t> intra;
    for (size_t k = 0; k < pictures.size(); ++k)
        if (pictures[k].type == 'I')
            intra.push_back(k);
    std::vector<qint64> validHeaders;
    for (const Header& h : e.headers)
        if (h.tc.valid)
            validHeaders.push_back(h.offset + 1);
    ASSERT_EQ(intra.size(), validHeaders.size());

    const qint64 lastGop = GlobalVars().LastGopPos;
    for (int pass = 0; pass < 2; ++pass) {
        const bool backward = pass == 1;
        QTest::keyClick(form.Slider1, Qt::Key_Home);
        while (form.Session->CurrentPos + 50 < lastGop) {
            // The start shows the first GOP from byte 0.
            const qint64 gopStart = qMax(form.Session->CurrentPos, validHeaders.front());
            const auto g = std::find(validHeaders.begin(), validHeaders.end(), gopStart);
            ASSERT_NE(g, validHeaders.end()) << gopStart;
            const size_t n = size_t(g - validHeaders.begin());
            // The last picture shown before one whose data follows the next GOP's I-picture.
            size_t last = intra[n];
            while (last + 1 < pictures.size() &&
                   pictures[last + 1].pos < pictures[intra[n + 1]].pos)
                ++last;
            const std::string where = "GOP at " + std::to_string(gopStart) + ", " +
                                      std::to_string(last - intra[n]) + " steps";
            for (size_t step = intra[n]; step < last; ++step)
                QTest::mouseClick(form.Command_NextFrame, Qt::LeftButton);
            // Short of the headers before the next GOP's I-picture.
            EXPECT_LT(form.Session->CurrentPos, pictures[intra[n + 1]].pos) << where;
            const Expected want =
                e.Search(form.Session->CurrentPos + (backward ? -50 : 50), backward);
            // GOPs far apart: the search from within a GOP finds the very next one.
            if (!backward && GetParam().gopsFarApart) {
                EXPECT_EQ(want.headerPos, validHeaders[n + 1]) << where;
            }
            QTest::mouseClick(backward ? form.Command_StepBack : form.Command_NextIFrame,
                              Qt::LeftButton);
            ASSERT_NO_FATAL_FAILURE(ExpectOnGop(e, want, e.TextOf(want.tc), where));
            if (backward) {
                EXPECT_EQ(form.Session->CurrentPos, qMax<qint64>(gopStart, 1)) << where;
                QTest::mouseClick(form.Command_NextIFrame, Qt::LeftButton);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Videos, GopWalk,
    ::testing::Values(WalkCase{"pal.m2v", false}, WalkCase{"pal.mpg", false},
                      WalkCase{"pal_dvd.vob", true}, WalkCase{"ntsc_df.mpg", true},
                      WalkCase{"tc10h.m2v", true}),
    [](const auto& info) {
        return QString::fromLatin1(info.param.video).replace(u'.', u'_').toStdString();
    });

TEST(NavigationSeekTarget, ProgramStreamsAreEnteredBeforeTheGopHeader) {
    const struct {
        const char* video;
        qint64 pos;
        qint64 target;
    } cases[] = {
        {"pal.m2v", 23, 23},           {"pal.m2v", 301, 301}, {"pal.m2v", 1329533, 1329533},
        {"pal.mpg", 75, 75},           {"pal.mpg", 300, 300}, {"pal.mpg", 301, 45},
        {"pal.mpg", 1345663, 1345407},
    };
    for (const auto& c : cases) {
        Editor e(c.video);
        ASSERT_TRUE(e.ready());
        EXPECT_EQ(e.form->Session->SeekTarget(c.pos), c.target) << c.video << " " << c.pos;
    }
}

// ---- Picture steps --------------------------------------------------------------------------

struct PictureCase {
    const char* video;
    int frameMs;
    bool elementary; // picture start codes can be counted in the bytes
};

class PictureSteps : public ::testing::TestWithParam<PictureCase> {};

TEST_P(PictureSteps, AdvanceByOneFrameAndStopAtTheEnd) {
    const PictureCase& c = GetParam();
    Editor e(c.video);
    ASSERT_TRUE(e.ready());
    MpegLibForm& form = *e.form;

    QTest::mouseClick(form.Command_NextIFrame, Qt::LeftButton);
    for (int n = 0; n < 30; ++n) {
        const qint64 before = MillisOf(form.Text1->text());
        const qint64 pos = form.Session->CurrentPos;
        QTest::mouseClick(form.Command_NextFrame, Qt::LeftButton);
        ASSERT_NE(form.Session->CurrentPos, pos) << n;
        EXPECT_EQ(MillisOf(form.Text1->text()) - before, c.frameMs) << n;
        EXPECT_EQ(form.Session->AtGopStart, FlagFalse);
    }

    // From the last GOP: every further picture is one step; then the position stands still.
    QTest::keyClick(form.Slider1, Qt::Key_End);
    const Expected last = e.Search(e.bytes.size(), true);
    ASSERT_NO_FATAL_FAILURE(ExpectOnGop(e, last, e.TextOf(last.tc), "end"));
    int steps = 0;
    for (;; ++steps) {
        ASSERT_LT(steps, 200);
        const qint64 pos = form.Session->CurrentPos;
        const QString text = form.Text1->text();
        QTest::mouseClick(form.Command_NextFrame, Qt::LeftButton);
        if (form.Session->CurrentPos == pos) {
            EXPECT_EQ(form.Text1->text(), text);
            break;
        }
    }
    if (c.elementary) {
        const QByteArray pictureCode = QByteArray::fromHex("00000100");
        int pictures = 0;
        for (qsizetype k = e.bytes.indexOf(pictureCode, last.headerPos); k >= 0;
             k = e.bytes.indexOf(pictureCode, k + 1))
            ++pictures;
        EXPECT_EQ(steps, pictures - 1) << "pictures of the last GOP after its first";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Videos, PictureSteps,
    ::testing::Values(PictureCase{"pal.m2v", 40, true}, PictureCase{"ntsc_df.mpg", 33, false},
                      PictureCase{"film.m2v", 41, true}),
    [](const auto& info) {
        return QString::fromLatin1(info.param.video).replace(u'.', u'_').toStdString();
    });

// ---- The save button after each kind of step ------------------------------------------------

TEST(NavigationSaveButton, FollowsTheStepsInEachSaveMode) {
    enum class Mode { Images, Clips, MarkOnly };
    using Step = std::function<void(MpegLibForm&)>;
    const Step nextGop = [](MpegLibForm& f) {
        QTest::mouseClick(f.Command_NextIFrame, Qt::LeftButton);
    };
    const Step picture = [](MpegLibForm& f) {
        QTest::mouseClick(f.Command_NextFrame, Qt::LeftButton);
    };
    const Step backGop = [](MpegLibForm& f) {
        QTest::mouseClick(f.Command_StepBack, Qt::LeftButton);
    };
    const Step sliderJump = [](MpegLibForm& f) { QTest::keyClick(f.Slider1, Qt::Key_Left); };
    struct Expect {
        const char* caption;
        bool enabled;
    };
    const struct {
        Mode mode;
        std::vector<std::pair<Step, Expect>> steps;
    } cases[] = {
        {Mode::Images,
         {{nextGop, {"Save image+chapter", true}},
          {picture, {"Save image", true}},
          {nextGop, {"Save image+chapter", true}},
          {picture, {"Save image", true}},
          {sliderJump, {"Save image", true}}, // the slider jump leaves the button alone
          {backGop, {"Save image+chapter", true}}}},
        {Mode::Clips,
         {{nextGop, {"Save clip+chapter", true}},
          {picture, {"Save clip", false}},
          {nextGop, {"Save clip+chapter", true}},
          {picture, {"Save clip", false}},
          {sliderJump, {"Save clip", false}},
          {backGop, {"Save clip+chapter", true}}}},
        {Mode::MarkOnly,
         {{nextGop, {"Set chapter mark", true}},
          {picture, {"Set chapter mark", false}},
          {backGop, {"Set chapter mark", true}}}},
    };
    for (const auto& c : cases) {
        Editor e("pal.mpg");
        ASSERT_TRUE(e.ready());
        MpegLibForm& form = *e.form;
        if (c.mode == Mode::Clips)
            QTest::mouseClick(form.Option_Clips, Qt::LeftButton);
        if (c.mode == Mode::MarkOnly)
            QTest::mouseClick(form.Check_ChapterOnly, Qt::LeftButton);
        int n = 0;
        for (const auto& [step, want] : c.steps) {
            step(form);
            EXPECT_EQ(form.Command_SavePic->text(), QString::fromLatin1(want.caption))
                << "mode " << int(c.mode) << " step " << n;
            EXPECT_EQ(form.Command_SavePic->isEnabled(), want.enabled)
                << "mode " << int(c.mode) << " step " << n;
            ++n;
        }
    }
}

// ---- Slider -------------------------------------------------------------------------------

struct DragOutcome {
    bool previewed = false;
    qint64 previewDecoderPos = 0; // DecoderPos after the last preview seek
    int paintsAfterRelease = 0;
    int releasedValue = 0;    // the slider's value as the release left it
    bool changeEvent = false; // the slider reported a change by the user
};

// Presses the thumb, moves through `xs` (x offsets from the press), releases at the last one.
DragOutcome Drag(Editor& e, const std::vector<int>& xs, int y = 16) {
    MpegLibForm& form = *e.form;
    const QPoint start(e.ThumbX(), y);
    QTest::mousePress(form.Slider1, Qt::LeftButton, {}, start);
    EXPECT_FALSE(form.Text3->isHidden()) << "Text3 shows while the thumb is held";
    EXPECT_EQ(form.Text3->text(), form.Text1->text().left(8));
    QPoint at = start;
    for (int dx : xs) {
        at = QPoint(start.x() + dx, y);
        QTest::mouseMove(form.Slider1, at);
    }
    DragOutcome outcome;
    outcome.previewed = form.Session->UsePreviewPos != FlagFalse;
    outcome.previewDecoderPos = form.Session->MpegLib.DecoderPos;
    EXPECT_FALSE(form.Text3->isHidden());
    if (outcome.previewed) {
        EXPECT_EQ(form.Text3->x(), form.Slider1->x() + at.x() - 12);
        // The preview shows the picture at the slider's place and names the GOP before it.
        const qint64 pos = e.SliderBytes(form.Slider1->value());
        const Expected gop = e.Search(pos, true);
        EXPECT_EQ(form.Text3->text(), e.TextOf(gop.tc).left(8));
        const qint64 target = pos > 300 ? pos - 256 : pos;
        EXPECT_EQ(ShownHash(form), DecodedAt(GlobalVars().VideoFile, target).hash);
    }
    PaintCounter paints(form.Picture1);
    // The jump sets the slider to the GOP it found; the value the user left comes with the change.
    outcome.releasedValue = form.Slider1->value();
    const QMetaObject::Connection changes =
        QObject::connect(form.Slider1, &PositionSlider::userChanged, [&outcome](int value) {
            outcome.releasedValue = value;
            outcome.changeEvent = true;
        });
    QTest::mouseRelease(form.Slider1, Qt::LeftButton, {}, at);
    QTest::qWait(50);
    QObject::disconnect(changes);
    outcome.paintsAfterRelease = paints.count;
    EXPECT_TRUE(form.Text3->isHidden()) << "Text3 hides on release";
    EXPECT_EQ(form.Dragging, FlagFalse);
    return outcome;
}

TEST(NavigationSlider, DragsPreviewAndLandOnTheGopBeforeWhereTheyEnd) {
    enum class Lands { Nowhere, BeforeSliderPos, BeforeDecoderPos };
    const struct {
        const char* name;
        int gopSteps; // next-GOP steps before the drag
        std::vector<int> moves;
        int sliderWidth; // 0: as laid out
        bool previews;
        bool changeEvent;
        Lands lands;
    } cases[] = {
        {"drag far and release", 5, {40, 120, 200}, 0, true, true, Lands::BeforeDecoderPos},
        // Back where it started, the slider reports no change: the release must still leave the
        // preview and land on a GOP. (From the file start: the slider value 0 is one a drag can
        // return to exactly.)
        {"drag away and back", 0, {120, 60, 0}, 0, true, false, Lands::BeforeDecoderPos},
        {"press and shake on the thumb", 5, {0, 0}, 0, false, false, Lands::Nowhere},
        // On a wide slider one pixel is less than the drag threshold.
        {"drag less than the threshold", 5, {1}, 1857, false, true, Lands::BeforeSliderPos},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Editor e("pal_dvd.vob");
        ASSERT_TRUE(e.ready());
        MpegLibForm& form = *e.form;
        if (c.sliderWidth)
            form.Slider1->resize(c.sliderWidth, form.Slider1->height());
        for (int n = 0; n < c.gopSteps; ++n)
            QTest::mouseClick(form.Command_NextIFrame, Qt::LeftButton);
        const qint64 startPos = form.Session->CurrentPos;
        const int startValue = form.Slider1->value();
        const quint64 startPicture = ShownHash(form);

        const DragOutcome drag = Drag(e, c.moves);
        EXPECT_EQ(drag.previewed, c.previews);
        ASSERT_EQ(drag.changeEvent, c.changeEvent);
        EXPECT_EQ(form.Session->UsePreviewPos, FlagFalse);
        switch (c.lands) {
        case Lands::Nowhere:
            EXPECT_EQ(drag.paintsAfterRelease, 0);
            EXPECT_EQ(form.Session->CurrentPos, startPos);
            EXPECT_EQ(form.Slider1->value(), startValue);
            EXPECT_EQ(ShownHash(form), startPicture);
            break;
        case Lands::BeforeSliderPos:
        case Lands::BeforeDecoderPos: {
            const qint64 from = c.lands == Lands::BeforeDecoderPos
                                    ? drag.previewDecoderPos
                                    : e.SliderBytes(drag.releasedValue);
            const Expected want = e.Search(from, true);
            ASSERT_NO_FATAL_FAILURE(ExpectOnGop(e, want, e.TextOf(want.tc), c.name));
            EXPECT_EQ(drag.paintsAfterRelease, 1) << "one jump per release";
            break;
        }
        }
    }
}

TEST(NavigationSlider, PlainChangesLandOnTheGopAtOrBeforeThePosition) {
    Editor e("pal.mpg");
    ASSERT_TRUE(e.ready());
    MpegLibForm& form = *e.form;
    const std::vector<std::pair<const char*, std::function<void()>>> changes = {
        {"end key", [&] { QTest::keyClick(form.Slider1, Qt::Key_End); }},
        {"page down", [&] { QTest::keyClick(form.Slider1, Qt::Key_PageDown); }},
        {"left arrow", [&] { QTest::keyClick(form.Slider1, Qt::Key_Left); }},
        {"groove click",
         [&] {
             // Away from the thumb a press is no grab: no time box, no preview.
             QTest::mousePress(form.Slider1, Qt::LeftButton, {}, QPoint(60, 16));
             EXPECT_TRUE(form.Text3->isHidden());
             EXPECT_EQ(form.Dragging, FlagFalse);
             QTest::mouseRelease(form.Slider1, Qt::LeftButton, {}, QPoint(60, 16));
         }},
        {"home key", [&] { QTest::keyClick(form.Slider1, Qt::Key_Home); }},
    };
    int changedTo = -1;
    QObject::connect(form.Slider1, &PositionSlider::userChanged,
                     [&changedTo](int value) { changedTo = value; });
    for (const auto& [name, change] : changes) {
        PaintCounter paints(form.Picture1);
        changedTo = -1;
        change();
        ASSERT_GE(changedTo, 0) << name;
        // The slider moved first; the jump then set it to the GOP found.
        const qint64 from = e.SliderBytes(changedTo);
        const Expected want = e.Search(from, true);
        ASSERT_NO_FATAL_FAILURE(ExpectOnGop(e, want, e.TextOf(want.tc), name));
        EXPECT_EQ(paints.count, 1) << name;
    }
}

TEST(NavigationKeys, TypingInTheTimecodeBoxMovesTheFocusToTheSlider) {
    Editor e("pal.m2v");
    ASSERT_TRUE(e.ready());
    MpegLibForm& form = *e.form;
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    for (Qt::Key key : {Qt::Key_5, Qt::Key_Backspace, Qt::Key_Right}) {
        form.Text1->setFocus();
        ASSERT_TRUE(form.Text1->hasFocus());
        const qint64 pos = form.Session->CurrentPos;
        QTest::keyClick(form.Text1, key);
        EXPECT_TRUE(form.Slider1->hasFocus()) << key;
        // The box keeps the timecode, and the key does nothing else.
        EXPECT_EQ(form.Text1->text(), "00:00:00.000") << key;
        EXPECT_EQ(form.Session->CurrentPos, pos) << key;
    }
}

// A held arrow key on the picture sends a press and a release with every repeat: one GOP step
// for the whole hold, on the real release.
TEST(NavigationKeys, AHeldArrowKeyOnThePictureStepsOnce) {
    Editor e("tc10h.m2v");
    ASSERT_TRUE(e.ready());
    MpegLibForm& form = *e.form;
    for (const Qt::Key key : {Qt::Key_Right, Qt::Key_Left}) {
        SCOPED_TRACE(key);
        int steps = 0;
        const auto counter =
            QObject::connect(form.Text1, &QLineEdit::textChanged, [&steps] { ++steps; });
        const auto send = [&](QEvent::Type type, bool repeat) {
            QKeyEvent event(type, key, Qt::NoModifier, QString(), repeat);
            QCoreApplication::sendEvent(form.Picture1, &event);
        };
        send(QEvent::KeyPress, false);
        for (int n = 0; n < 5; ++n) {
            send(QEvent::KeyRelease, true);
            send(QEvent::KeyPress, true);
        }
        EXPECT_EQ(steps, 0) << "nothing while the key is held";
        send(QEvent::KeyRelease, false);
        EXPECT_EQ(steps, 1);
        QObject::disconnect(counter);
    }
}

// ---- Held buttons ---------------------------------------------------------------------------

TEST(NavigationRepeat, HeldButtonsRepeatAndClicksStepOnce) {
    Editor e("pal.m2v");
    ASSERT_TRUE(e.ready());
    MpegLibForm& form = *e.form;
    // Every step shows another timecode. The timer's intervals are checked, not the clock: a
    // busy machine runs timers late and coarse timers may run a little early.
    int steps = 0;
    std::vector<int> intervals; // Timer1's interval at each step
    QObject::connect(form.Text1, &QLineEdit::textChanged, [&] {
        ++steps;
        intervals.push_back(form.Timer1->isActive() ? form.Timer1->interval() : 0);
    });

    const struct {
        const char* name;
        QPushButton* button;
        std::function<void()> prepare;
        int repeats;
    } buttons[] = {
        {"next picture", form.Command_NextFrame, [] {}, 10},
        {"next GOP", form.Command_NextIFrame, [] {}, 3},
        {"previous GOP", form.Command_StepBack, [&] { QTest::keyClick(form.Slider1, Qt::Key_End); },
         3},
    };
    for (const auto& b : buttons) {
        SCOPED_TRACE(b.name);
        b.prepare();
        steps = 0;
        QTest::mouseClick(b.button, Qt::LeftButton);
        EXPECT_EQ(steps, 1) << "a click is one step";
        EXPECT_FALSE(form.Timer1->isActive()) << "and nothing repeats after it";

        steps = 0;
        intervals.clear();
        QTest::mousePress(b.button, Qt::LeftButton);
        EXPECT_EQ(steps, 0) << "a press alone does not step";
        EXPECT_TRUE(form.Timer1->isActive());
        EXPECT_EQ(form.Timer1->interval(), 300) << "the first repeat waits 300 ms";
        ASSERT_TRUE(QTest::qWaitFor([&] { return steps >= b.repeats; }, 10000));
        // From the first repeat on the steps follow every 10 ms.
        EXPECT_EQ(intervals, std::vector<int>(intervals.size(), 10));
        const int beforeRelease = steps;
        QTest::mouseRelease(b.button, Qt::LeftButton);
        const int afterRelease = steps;
        EXPECT_GE(afterRelease, beforeRelease + 1) << "the release clicks";
        EXPECT_LE(afterRelease, beforeRelease + 2);
        EXPECT_FALSE(form.Timer1->isActive()) << "no repeat after the release";
        EXPECT_EQ(form.RepeatAction, 0);
    }
}

// ---- Time offset ----------------------------------------------------------------------------

TEST(NavigationOffset, TimesCountFromTheFirstGopWhileTheOffsetIsTicked) {
    Editor e("tc10h.m2v");
    ASSERT_TRUE(e.ready());
    MpegLibForm& form = *e.form;
    ASSERT_FALSE(form.Check_UseOffset->isHidden());
    QTest::mouseClick(form.Check_UseOffset, Qt::LeftButton);
    ASSERT_TRUE(form.Check_UseOffset->isChecked());
    EXPECT_EQ(form.Text1->text(), "00:00:00.000");

    // The stream runs 10:00:00 to 10:00:06: shown, the hours read 00.
    auto offsetText = [&](const GopTimeCode& tc) {
        QString text = e.TextOf(tc);
        EXPECT_TRUE(text.startsWith(u"10:")) << text.toStdString();
        return text.replace(0, 2, QStringLiteral("00"));
    };
    for (int n = 0; n < 4; ++n) {
        const Expected want = e.Search(form.Session->CurrentPos + 50, false);
        QTest::mouseClick(form.Command_NextIFrame, Qt::LeftButton);
        ASSERT_NO_FATAL_FAILURE(ExpectOnGop(e, want, offsetText(want.tc), "forward"));
    }
    const qint64 gopMs = MillisOf(form.Text1->text());
    QTest::mouseClick(form.Command_NextFrame, Qt::LeftButton);
    EXPECT_EQ(MillisOf(form.Text1->text()), gopMs + 40);
    EXPECT_TRUE(form.Text1->text().startsWith(u"00:00:0"));

    // The preview's time box too.
    const QPoint thumb(e.ThumbX(), 16);
    QTest::mousePress(form.Slider1, Qt::LeftButton, {}, thumb);
    QTest::mouseMove(form.Slider1, thumb + QPoint(100, 0));
    ASSERT_NE(form.Session->UsePreviewPos, FlagFalse);
    const Expected preview = e.Search(e.SliderBytes(form.Slider1->value()), true);
    EXPECT_EQ(form.Text3->text(), offsetText(preview.tc).left(8));
    QTest::mouseRelease(form.Slider1, Qt::LeftButton, {}, thumb + QPoint(100, 0));
    EXPECT_TRUE(form.Text1->text().startsWith(u"00:00:0"));

    while (form.Session->CurrentPos > 50)
        QTest::mouseClick(form.Command_StepBack, Qt::LeftButton);
    EXPECT_EQ(form.Text1->text(), "00:00:00.000");
    EXPECT_FALSE(form.windowTitle().contains(u"Wrong timecode"));
}

} // namespace
