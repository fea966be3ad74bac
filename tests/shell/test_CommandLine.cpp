#include "chapters/TextTable.h"
#include "shell/CommandLine.h"
#include "shell/GlobalVars.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class CommandLine : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* path :
             {"TempFilm/Test/Chart_Tip.mpv", "autos/markonly/a.mpg", "Grüße/Ärger.mpg",
              "映画/テスト.mpg", "Dir/File.txt", ".hidden", "v.mpg", "a*b?[c]", "my film.mpg",
              "<I>/v.mpg", "filme/", "out2/", "films\\/", "both/", "clips=3/"}) {
            const QString full = Fill(QString("<T>/") + QString::fromUtf8(path));
            ASSERT_TRUE(QDir().mkpath(full.section(u'/', 0, -2)) &&
                        (full.endsWith(u'/') || QFile(full).open(QIODevice::WriteOnly)));
        }
        ASSERT_TRUE(QFile::link(Fill("<T>/Dir"), Fill("<T>/link")));
    }
    // <T> stands for the temporary root folder, <V> for its video, <F>, <A> and <I> for folders.
    QString Fill(QString text) const {
        text.replace("<I>", "in /outdir=o /chapters=c /clips=c /crop=c /auto /markonly");
        text.replace("<V>", "<T>/v.mpg")
            .replace("<F>", "<T>/filme")
            .replace("<A>", "<T>/autos/markonly");
        return text.replace("<T>", root);
    }
    // video|out|chapters|clips|flags, and |margins ("!": given) unless they are the preset 8,8,8,8.
    static QString Fields(const Global_var_module& r) {
        const QString margins =
            QString::asprintf("|%d,%d,%d,%d%s", r.CropLeft, r.CropTop, r.CropRight, r.CropBottom,
                              r.CropGiven ? "!" : "");
        return QStringList{r.VideoFile, r.OutDir, r.ChapterTimes, QString::number(r.ClipSeconds),
                           QString(r.AutoMode ? "A" : "") + (r.MarkOnly ? "M" : "")}
                   .join('|') +
               (margins == "|8,8,8,8" ? "" : margins);
    }
    static Global_var_module Preset() {
        Global_var_module record;
        record.VideoFile = "pv";
        record.OutDir = "po";
        return record;
    }
    QTemporaryDir tmp;
    const QString root = tmp.path();
};

// A command line => the fields it leaves. Option names count only after the video path and
// outside option values.
TEST_F(CommandLine, ReadsTheFieldsOfEachCommandLine) {
    for (const QStringList& row : Rows(R"(
 => pv|po||0|
"<T>/TempFilm/Test/Chart_Tip.mpv" /outdir="<F>" /clips="10"  /auto => <T>/TempFilm/Test/Chart_Tip.mpv|<F>||10|A
"<T>/tempfilm/TEST/chart_tip.MPV" /OUTDIR="<F>" => <T>/TempFilm/Test/Chart_Tip.mpv|<F>||0|
"<V>" /outdir=<T>/out2 /clips="5" => <V>|<T>/out2||5|
"<V>" /outdir=<T>/out2 => <V>|<T>/out2||0|
<V> /outdir=<F>/ /clips= "10" => <V>|<F>||0|
"<V>" /outdir="<T>/films\" => <V>|<T>/films\||0|
"<V>" /outdir="/" => <V>|/||0|
"<V>" /outdir="<T>/nowhere" => <V>|||0|
"<V>" /outdir="<F> => <V>|po||0|
"<V>" /chapters= "00:00:10.000,00:01:00.000" => <V>|po|00:00:10.000,00:01:00.000|0|
"<V>" /chapters=   "00:00:10.000" => <V>|po||0|
"<V>"/chapters="00:00:10.000" => |po|00:00:10.000|0|
"<V>" /outdir="<F>" /chapters="1,2" /markonly => <V>|<F>|1,2|0|M
"<V>" /clips="abc" /crop="20,10,30,40" => |po||0|
"<V>" /clips=" 2.5 " => |po||2|
"<V>" /clips="99999999999" => |po||0|
"<V>" /crop="20,10,-30,-40" => |po||0||20,10,30,40!
"<V>" /CROP="20, 10, -30, -40" => |po||0||20,10,30,40!
"<V>" /crop= "20,10,-30,-40" => |po||0|
"<V>" /crop=",10,-30,-40" => |po||0||8,10,30,40!
"<V>" /crop="99999,10,-99999,-40.5" => |po||0||8,10,8,40!
"<A>/a.mpg" => <A>/a.mpg|po||0|
"<A>/a.mpg" /outdir="<F>" /MarkOnly /auto => <A>/a.mpg|<F>||0|AM
"<V>" /outdir="<A>" => <V>|<A>||0|
"<V>" /outdir="<T>/clips=3" => <V>|<T>/clips=3||0|
"<V>" /chapters="/auto /markonly /clips= /crop= /outdir=" => <V>|po|/auto /markonly /clips= /crop= /outdir=|0|
"<V>" /crop="1,2,3,4/auto/markonly" /chapters="/clips=/outdir=" => |po|/clips=/outdir=|0|
"<T>/<I>/v.mpg" => <T>/<I>/v.mpg|po||0|
"<T>/Nope/v.mpg" /outdir="<F>" => |<F>||0|
"<V>" /auto => |po||0|A
"<V> => <V>|po||0|
"<A>/a.mpg /auto => |po||0|
"<V> /outdir="<F> => |po||0|
"<T>/Grüße/Ärger.mpg" /outdir="<T>/映画" /chapters="00:00:01.000" => <T>/Grüße/Ärger.mpg|<T>/映画|00:00:01.000|0|)")) {
        Global_var_module record = Preset();
        ReadCommandLine(Fill(row[0]), record);
        EXPECT_EQ(Fields(record), Fill(row[1])) << row[0].toStdString();
    }
}

// Arguments (" ; " between them) => the one text they make => the fields they give, read one by
// one: in any order, a value never running into the next argument, of two equal ones the first.
TEST_F(CommandLine, ReadsTheArguments) {
    for (const QStringList& row : Rows(R"(
 =>  => pv|po||0|
<T>/my film.mpg ; /outdir=<T>/clips=3 ; /chapters=1, 2 ; /CLIPS=7 => "<T>/my film.mpg" /outdir="<T>/clips=3" /chapters="1, 2" /CLIPS="7" => <T>/my film.mpg|<T>/clips=3|1, 2|7|
<V> ; /OutDir="<F>" ; /crop=16,8,-1,-8 ; /auto => "<V>" /OutDir="<F>" /crop="16,8,-1,-8" /auto => <V>|<F>||0|A|16,8,1,8!
<V> ; /outdir= ; other arg ; /markonly => "<V>" /outdir="" "other arg" /markonly => <V>|po||0|M
<V> ; /outdir=<A> /auto => "<V>" /outdir="<A> /auto" => <V>|||0|
<T>/nope.mpg ; /chapters=1,2 => "<T>/nope.mpg" /chapters="1,2" => |po|1,2|0|
<V> ; /outdir="<F> ; /chapters=1 ; /auto => "<V>" /outdir="<F> /chapters="1" /auto => <V>|po|1|0|A
<V> ; /clips=3 ; /CLIPS=4 => "<V>" /clips="3" /CLIPS="4" => <V>|po||3|
<V> ; /markonly ; /crop=1,2,-3,-4 ; /outdir=<A> => "<V>" /markonly /crop="1,2,-3,-4" /outdir="<A>" => <V>|<A>||0|M|1,2,3,4!)")) {
        const QStringList arguments = Fill(row[0]).split(" ; ", Qt::SkipEmptyParts);
        EXPECT_EQ(CommandLineText(arguments), Fill(row[1])) << row[0].toStdString();
        Global_var_module record = Preset();
        ReadArguments(arguments, record);
        EXPECT_EQ(Fields(record), Fill(row[2])) << row[0].toStdString();
    }
}

} // namespace
