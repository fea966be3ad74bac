#include "shell/CommandLine.h"
#include "shell/GlobalVars.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <gtest/gtest.h>
#include <random>

namespace {

class CommandLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        root = tmp.path();
        for (const char* folder :
             {"TempFilm/Test", "filme", "out2", "films\\", "autos/markonly", "Grüße", "映画", "Dir",
              "Both", "both", "clips=3", "crop=1,2,3,4",
              "in /outdir=o /chapters=c /clips=c /crop=c /auto /markonly"})
            ASSERT_TRUE(QDir(root).mkpath(QString::fromUtf8(folder)));
        for (const char* file :
             {"TempFilm/Test/Chart_Tip.mpv", "autos/markonly/a.mpg", "Grüße/Ärger.mpg",
              "映画/テスト.mpg", "Dir/File.txt", ".hidden", "v.mpg", "a*b?[c]", "my film.mpg",
              "in /outdir=o /chapters=c /clips=c /crop=c /auto /markonly/v.mpg"}) {
            QFile f(At(QString::fromUtf8(file)));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        }
        ASSERT_TRUE(QFile::link(At("Dir"), At("link")));
    }

    QString At(const QString& relative) const { return root + u'/' + relative; }
    // "<T>" stands for the temporary root folder.
    QString Fill(const char* text) const {
        return QString::fromUtf8(text).replace(QStringLiteral("<T>"), root);
    }

    QTemporaryDir tmp;
    QString root;
};

struct Fields {
    const char* video = "preset-video";
    const char* outDir = "preset-out";
    const char* chapters = "";
    qint32 clips = 0;
    Flag autoMode = FlagFalse;
    Flag markOnly = FlagFalse;
    Flag cropGiven = FlagFalse;
    std::array<qint16, 4> crop{8, 8, 8, 8}; // left, top, right, bottom
};

constexpr const char* V = "<T>/v.mpg";
constexpr const char* Out = "<T>/filme";

// The record holds the fields `want` names, "<T>" in its paths standing for `root`.
void ExpectFields(const Global_var_module& record, const Fields& want, const QString& root) {
    const auto fill = [&root](const char* text) {
        return QString::fromUtf8(text).replace(QStringLiteral("<T>"), root);
    };
    EXPECT_EQ(record.VideoFile, fill(want.video));
    EXPECT_EQ(record.OutDir, fill(want.outDir));
    EXPECT_EQ(record.ChapterTimes, QString::fromUtf8(want.chapters));
    EXPECT_EQ(record.ClipSeconds, want.clips);
    EXPECT_EQ(record.AutoMode, want.autoMode);
    EXPECT_EQ(record.MarkOnly, want.markOnly);
    EXPECT_EQ(record.CropGiven, want.cropGiven);
    EXPECT_EQ((std::array{record.CropLeft, record.CropTop, record.CropRight, record.CropBottom}),
              want.crop);
}

TEST_F(CommandLineTest, ReadsTheFieldsOfEachCommandLine) {
    const struct {
        const char* line;
        Fields want;
    } cases[] = {
        {"", {}},
        {R"("<T>/TempFilm/Test/Chart_Tip.mpv" /outdir="<T>/filme" /clips="10"  /auto)",
         {.video = "<T>/TempFilm/Test/Chart_Tip.mpv", .outDir = Out, .clips = 10, .autoMode = -1}},
        {R"("<T>/tempfilm/TEST/chart_tip.MPV" /OUTDIR="<T>/filme")",
         {.video = "<T>/TempFilm/Test/Chart_Tip.mpv", .outDir = Out}},
        {R"("<T>/v.mpg" /outdir=<T>/out2 /clips="5")",
         {.video = V, .outDir = "<T>/out2", .clips = 5}},
        {R"(<T>/v.mpg /outdir=<T>/filme/ /clips= "10")", {.video = V, .outDir = Out}},
        {R"("<T>/v.mpg" /outdir="<T>/films\")", {.video = V, .outDir = "<T>/films\\"}},
        {R"("<T>/v.mpg" /outdir="/")", {.video = V, .outDir = "/"}},
        {R"("<T>/v.mpg" /outdir="<T>/nowhere")", {.video = V, .outDir = ""}},
        {R"("<T>/v.mpg" /outdir="<T>/filme)", {.video = V}},
        {R"("<T>/v.mpg" /chapters= "00:00:10.000,00:01:00.000")",
         {.video = V, .chapters = "00:00:10.000,00:01:00.000"}},
        {R"("<T>/v.mpg" /chapters=   "00:00:10.000")", {.video = V}},
        {R"("<T>/v.mpg"/chapters="00:00:10.000")", {.video = "", .chapters = "00:00:10.000"}},
        {R"("<T>/v.mpg" /outdir="<T>/filme" /chapters="1,2" /markonly)",
         {.video = V, .outDir = Out, .chapters = "1,2", .markOnly = -1}},
        {R"("<T>/v.mpg" /outdir="<T>/filme" /clips="abc" /crop="20,10,30,40")",
         {.video = V, .outDir = Out}},
        {R"("<T>/v.mpg" /outdir="<T>/filme" /clips=" 2.5 ")",
         {.video = V, .outDir = Out, .clips = 2}},
        {R"("<T>/v.mpg" /outdir="<T>/filme" /clips="99999999999")", {.video = V, .outDir = Out}},
        {R"("<T>/v.mpg" /outdir="<T>/filme" /crop="20,10,-30,-40")",
         {.video = V, .outDir = Out, .cropGiven = -1, .crop = {20, 10, 30, 40}}},
        {R"("<T>/v.mpg" /outdir="<T>/filme" /CROP="20, 10, -30, -40")",
         {.video = V, .outDir = Out, .cropGiven = -1, .crop = {20, 10, 30, 40}}},
        {R"("<T>/v.mpg" /outdir="<T>/filme" /crop= "20,10,-30,-40")", {.video = V, .outDir = Out}},
        {R"("<T>/v.mpg" /outdir="<T>/filme" /crop=",10,-30,-40")",
         {.video = V, .outDir = Out, .cropGiven = -1, .crop = {8, 10, 30, 40}}},
        {R"("<T>/v.mpg" /outdir="<T>/filme" /crop="99999,10,-99999,-40.5")",
         {.video = V, .outDir = Out, .cropGiven = -1, .crop = {8, 10, 8, 40}}},
        {R"("<T>/autos/markonly/a.mpg")", {.video = "<T>/autos/markonly/a.mpg"}},
        {R"(<T>/autos/markonly/a.mpg)", {.video = "<T>/autos/markonly/a.mpg"}},
        {R"("<T>/autos/markonly/a.mpg" /outdir="<T>/filme" /MarkOnly /auto)",
         {.video = "<T>/autos/markonly/a.mpg", .outDir = Out, .autoMode = -1, .markOnly = -1}},
        // Option names inside the video path and inside quoted values are part of them.
        {R"("<T>/v.mpg" /outdir="<T>/autos")", {.video = V, .outDir = "<T>/autos"}},
        {R"("<T>/v.mpg" /outdir="<T>/autos/markonly")",
         {.video = V, .outDir = "<T>/autos/markonly"}},
        {R"("<T>/v.mpg" /outdir="<T>/clips=3")", {.video = V, .outDir = "<T>/clips=3"}},
        {R"("<T>/v.mpg" /outdir="<T>/crop=1,2,3,4")", {.video = V, .outDir = "<T>/crop=1,2,3,4"}},
        {R"("<T>/v.mpg" /outdir="<T>/filme" /chapters="1 /auto /markonly /clips= /crop= /outdir=")",
         {.video = V, .outDir = Out, .chapters = "1 /auto /markonly /clips= /crop= /outdir="}},
        {R"("<T>/v.mpg" /crop="1,2,3,4/auto/markonly" /chapters="/clips=/outdir=")",
         {.video = "", .chapters = "/clips=/outdir="}},
        {R"("<T>/in /outdir=o /chapters=c /clips=c /crop=c /auto /markonly/v.mpg")",
         {.video = "<T>/in /outdir=o /chapters=c /clips=c /crop=c /auto /markonly/v.mpg"}},
        {R"("<T>/Nope/v.mpg" /outdir="<T>/filme")", {.video = "", .outDir = Out}},
        {R"("<T>/v.mpg" /auto)", {.video = "", .autoMode = -1}},
        {R"("<T>/v.mpg)", {.video = V}},
        {R"("<T>/autos/markonly/a.mpg /auto)", {.video = ""}},
        {R"("<T>/v.mpg /outdir="<T>/filme)", {.video = ""}},
        {R"("<T>/Grüße/Ärger.mpg" /outdir="<T>/映画" /chapters="00:00:01.000")",
         {.video = "<T>/Grüße/Ärger.mpg", .outDir = "<T>/映画", .chapters = "00:00:01.000"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        Global_var_module record;
        record.VideoFile = QStringLiteral("preset-video");
        record.OutDir = QStringLiteral("preset-out");
        ReadCommandLine(Fill(c.line), record);
        ExpectFields(record, c.want, root);
    }
}

// Random and very long texts: nothing crashes, a video named is always an existing path, and the
// margins move only together with CropGiven.
TEST_F(CommandLineTest, SurvivesArbitraryTexts) {
    const QStringList pieces{
        u"\""_qs, u" "_qs,         u","_qs,          u"-"_qs,       u"1"_qs,      u"/"_qs,
        u"\\"_qs, u" /outdir="_qs, u"/chapters="_qs, u"/clips="_qs, u"/crop="_qs, u"/auto"_qs,
        root,     u"ä映"_qs};
    std::mt19937 random(7);
    for (int round = 0; round < 3000; ++round) {
        QString line;
        for (int n = std::uniform_int_distribution(0, 24)(random); n > 0; --n)
            line += pieces[std::uniform_int_distribution<qsizetype>(0, pieces.size() - 1)(random)];
        SCOPED_TRACE(line.toStdString());
        Global_var_module record;
        ReadCommandLine(line, record);
        EXPECT_TRUE(record.VideoFile.isEmpty() || QFileInfo::exists(record.VideoFile));
        if (record.CropGiven == FlagFalse) {
            EXPECT_EQ(
                (std::array{record.CropLeft, record.CropTop, record.CropRight, record.CropBottom}),
                (std::array<qint16, 4>{8, 8, 8, 8}));
        }
    }
    const QString times = QStringLiteral("00:00:01.000,").repeated(80000);
    Global_var_module record;
    ReadCommandLine(Fill(R"("<T>/filme" /chapters=")") + times + u'"', record);
    EXPECT_EQ(record.VideoFile, At("filme"));
    EXPECT_EQ(record.ChapterTimes, times);
    ReadCommandLine(u'"' + QString(1 << 20, u'/') + u"\" /outdir=\""_qs + times, record);
    EXPECT_EQ(record.VideoFile, u"/"_qs);
}

TEST_F(CommandLineTest, RebuildsTheCommandLineFromArguments) {
    const struct {
        QStringList arguments;
        const char* text;
    } cases[] = {
        {{}, ""},
        {{"/v/my film.mpg"}, R"("/v/my film.mpg")"},
        {{"/v.mpg", "/outdir=/out", "/CLIPS=10", "/auto", "/markonly"},
         R"("/v.mpg" /outdir="/out" /CLIPS="10" /auto /markonly)"},
        {{"/v.mpg", "/OutDir=\"/out\"", "/crop=16,8,-16,-8", "/outdir="},
         R"("/v.mpg" /OutDir="/out" /crop="16,8,-16,-8" /outdir="")"},
        {{"/v.mpg", "/chapters=00:00:01.000, 00:00:02.000", "other arg"},
         R"("/v.mpg" /chapters="00:00:01.000, 00:00:02.000" "other arg")"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CommandLineText(c.arguments), QString::fromUtf8(c.text));

    // The rebuilt text reads back into the values the shell handed over.
    Global_var_module record;
    ReadCommandLine(CommandLineText({At("my film.mpg"), u"/outdir="_qs + At("autos"),
                                     u"/chapters=00:00:01.000, 00:00:02.000"_qs, u"/clips=7"_qs}),
                    record);
    EXPECT_EQ(record.VideoFile, At("my film.mpg"));
    EXPECT_EQ(record.OutDir, At("autos"));
    EXPECT_EQ(record.ChapterTimes, u"00:00:01.000, 00:00:02.000"_qs);
    EXPECT_EQ(record.ClipSeconds, 7);
}

// The program's arguments: the video first, its options in any order.
TEST_F(CommandLineTest, ReadsArgumentsInAnyOrder) {
    QStringList options{u"/outdir="_qs + At("autos/markonly"),
                        u"/chapters=00:01:00.000"_qs,
                        u"/clips=5"_qs,
                        u"/crop=1,2,-3,-4"_qs,
                        u"/auto"_qs,
                        u"/markonly"_qs};
    std::sort(options.begin(), options.end());
    int orders = 0;
    do {
        SCOPED_TRACE(options.join(u' ').toStdString());
        Global_var_module record;
        ReadArguments(QStringList{At("v.mpg")} + options, record);
        EXPECT_EQ(record.VideoFile, At("v.mpg"));
        EXPECT_EQ(record.OutDir, At("autos/markonly"));
        EXPECT_EQ(record.ChapterTimes, u"00:01:00.000"_qs);
        EXPECT_EQ(record.ClipSeconds, 5);
        EXPECT_EQ(record.AutoMode, FlagTrue);
        EXPECT_EQ(record.MarkOnly, FlagTrue);
        EXPECT_EQ(record.CropGiven, FlagTrue);
        EXPECT_EQ(
            (std::array{record.CropLeft, record.CropTop, record.CropRight, record.CropBottom}),
            (std::array<qint16, 4>{1, 2, 3, 4}));
        ++orders;
    } while (std::next_permutation(options.begin(), options.end()));
    EXPECT_EQ(orders, 720);

    const struct {
        QStringList arguments;
        Fields want;
    } cases[] = {
        {{}, {}},
        {{"<T>/v.mpg", "/auto"}, {.video = V, .autoMode = -1}},
        {{"<T>/my film.mpg", "/outdir=<T>/filme", "/clips=x"},
         {.video = "<T>/my film.mpg", .outDir = Out}},
        {{"<T>/v.mpg", "/outdir=<T>/autos/markonly /auto"}, {.video = V, .outDir = ""}},
        {{"<T>/autos/markonly/a.mpg", "/outdir=<T>/clips=3"},
         {.video = "<T>/autos/markonly/a.mpg", .outDir = "<T>/clips=3"}},
        {{"<T>/nope.mpg", "/chapters=1,2"}, {.video = "", .chapters = "1,2"}},
        // A value never runs into the next argument; of two equal options the first counts.
        {{"<T>/v.mpg", "/outdir=\"<T>/filme", "/chapters=1", "/auto"},
         {.video = V, .chapters = "1", .autoMode = -1}},
        {{"<T>/v.mpg", "/clips=3", "/CLIPS=4"}, {.video = V, .clips = 3}},
    };
    for (const auto& c : cases) {
        Global_var_module record;
        record.VideoFile = QStringLiteral("preset-video");
        record.OutDir = QStringLiteral("preset-out");
        QStringList arguments;
        for (const QString& arg : c.arguments)
            arguments << QString(arg).replace(QStringLiteral("<T>"), root);
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        ReadArguments(arguments, record);
        ExpectFields(record, c.want, root);
    }
}

TEST_F(CommandLineTest, ExpandsPathsToTheirStoredSpelling) {
    const struct {
        const char* path;
        const char* expanded;
    } cases[] = {
        {"", ""},
        {"/", "/"},
        {"/..", "/"},
        {"<T>/Dir/./../Dir//File.txt/", "<T>/Dir/File.txt"},
        {"<T>/DIR/file.TXT", "<T>/Dir/File.txt"},
        {"<T>/Both", "<T>/Both"},
        {"<T>/both", "<T>/both"},
        {"<T>/.HIDDEN", "<T>/.hidden"},
        {"<T>/a*b?[C]", "<T>/a*b?[c]"},
        {"<T>/*", ""},
        {"<T>/a?b?[c]", ""},
        {"<T>/link/File.txt", "<T>/link/File.txt"},
        {"<T>/Missing/File.txt", ""},
        {"<T>/Dir/File.txt/..", ""},
        {"<T>/Dir/File.txt/x", ""},
        {"C:\\films\\a.mpg", ""},
        {"Dir/../映画/テスト.mpg", "<T>/映画/テスト.mpg"},
        {".", "<T>"},
    };
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(root));
    for (const auto& c : cases)
        EXPECT_EQ(ExpandLongPath(Fill(c.path)), Fill(c.expanded)) << c.path;
    QDir::setCurrent(before);
}

} // namespace
