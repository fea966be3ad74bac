#include "shell/FileNames.h"

#include <gtest/gtest.h>

namespace {

TEST(SplitFullPath, SplitsFolderStemAndExtension) {
    const struct {
        const char* path;
        const char* folder;
        const char* stem;
        const char* extension;
    } cases[] = {
        {"/films/movie_00_01_23.456.bmp", "/films", "/movie_00_01_23.456", "bmp"},
        {"/v/a.b.mpv", "/v", "/a.b", "mpv"},
        {"/TempFilm/Test/Chart_Tip.mpv", "/TempFilm/Test", "/Chart_Tip", "mpv"},
        {"movie.mpg", "", "movie", "mpg"},
        {"/v/movie.", "/v", "/movie.", ""},
        {"/v.d/movie", "/v.d", "/movie", ""},
        {"/v/movie", "/v", "/movie", ""},
        {"/v/.hidden", "/v", "/", "hidden"},
        {"", "", "", ""},
    };
    for (const auto& c : cases) {
        QString folder, stem, extension;
        SplitFullPath(QString::fromLatin1(c.path), folder, stem, extension);
        EXPECT_EQ(folder, QString::fromLatin1(c.folder)) << c.path;
        EXPECT_EQ(stem, QString::fromLatin1(c.stem)) << c.path;
        EXPECT_EQ(extension, QString::fromLatin1(c.extension)) << c.path;
        QString stem2, extension2;
        SplitFileName(QString::fromLatin1(c.path), stem2, extension2);
        EXPECT_EQ(stem2, stem);
        EXPECT_EQ(extension2, extension);
    }
}

} // namespace
