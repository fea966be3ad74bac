#include "shell/LangStrings.h"

#include <QSet>
#include <QStringList>
#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr qint32 English = 1000;
constexpr qint32 German = 2000;

bool HasText(int offset) {
    return (offset >= 200 && offset <= 265) || offset == 268 || offset == 269;
}

struct TextCase {
    qint32 base;
    int offset;
    std::vector<QString> pairs; // passed on as the further arguments (up to four)
    QString expected;
};

QString Load(const TextCase& c) {
    const auto& p = c.pairs;
    switch (p.size()) {
    case 0:
        return LoadLangString(c.base, c.offset);
    case 1:
        return LoadLangString(c.base, c.offset, {p[0]});
    case 2:
        return LoadLangString(c.base, c.offset, {p[0], p[1]});
    case 3:
        return LoadLangString(c.base, c.offset, {p[0], p[1], p[2]});
    default:
        return LoadLangString(c.base, c.offset, {p[0], p[1], p[2], p[3]});
    }
}

void ExpectAll(const std::vector<TextCase>& cases) {
    for (const TextCase& c : cases)
        EXPECT_EQ(Load(c), c.expected) << "base " << c.base << ", offset " << c.offset << ", "
                                       << c.pairs.size() << " further arguments";
}

} // namespace

// Full texts at both ends of the block, around the gap at 266/267 and where the wording is easy
// to "correct" by mistake. Non-ASCII letters are written as escapes so a wrongly encoded source
// file cannot make both sides of a comparison wrong in the same way.
TEST(LangStrings, ExactTexts) {
    ExpectAll({
        {English, 200, {}, u"Only MPEG2 videos can be used"_qs},
        {English, 211, {}, u"Show / Edit Chapters"_qs},
        {English, 219, {}, u"Duration HH:MM:SS.hh"_qs},
        {English, 234, {}, u"Automatic  creation WARNING: Deletes old Chapter List"_qs},
        {English, 247, {}, u"Save clip"_qs},
        {English,
         260,
         {},
         u"Warning: No chapter '00:00:00' created.|1This chapter in not necessary, as it will be "
         u"created by Orvel itself|2but there will be no associated image/clip for it..."_qs},
        {English, 265, {}, u"Set chapter mark"_qs},
        {English, 268, {}, u"Chapter already defined!"_qs},
        {German, 200, {}, u"Nur MPEG2 Videos k\u00F6nnen verarbeitet werden"_qs},
        {German, 209, {}, u"\u00DCber"_qs},
        {German, 211, {}, u"Anzeigen/Bearbeiten"_qs},
        {German, 215, {}, u"Seitenverh\u00E4ltnis="_qs},
        {German, 217, {}, u"Gr\u00F6\u00DFe in MB="_qs},
        {German, 219, {}, u"Dauer HH:MM:SS:hh"_qs},
        {German,
         234,
         {},
         u"Automatisch erstellen; Achtung: L\u00F6scht die bestehende Kapitelliste"_qs},
        {German, 247, {}, u"Clip speichern"_qs},
        {German,
         260,
         {},
         u"Warnung: Kein '00:00:00' Kapitel erstellt.|1Ist nicht zwingend erforderlich (wird von "
         u"Orvel automatisch erstellt, falls nicht vorhanden)|2aber es gibt eben kein Bild/Clip "
         u"dazu..."_qs},
        {German, 265, {}, u"Kapitelmarke setzen"_qs},
        {German, 268, {}, u"Kapitel bereits gesetzt!"_qs},
    });
}

// The placeholder uses of the program, and texts fetched without arguments keep their
// placeholders.
TEST(LangStrings, PlaceholdersAsCallersFillThem) {
    const QString time = u"01:02:03.040"_qs;
    ExpectAll({
        {English, 204, {u"|1"_qs, time}, u"ERROR: Cannot find time 01:02:03.040 !!!"_qs},
        {German,
         204,
         {u"|1"_qs, time},
         u"Fehler: Zeitpunkt 01:02:03.040 konnte nicht gefunden werden!"_qs},
        {English, 261, {u"|1"_qs, u"00:00:00.000"_qs}, u"Save as 00:00:00.000"_qs},
        {German, 261, {u"|1"_qs, u"00:00:00.000"_qs}, u"Als 00:00:00.000 erstellen"_qs},
        {English, 204, {}, u"ERROR: Cannot find time |1 !!!"_qs},
        {German, 261, {}, u"Als |1 erstellen"_qs},
    });
}

TEST(LangStrings, ClosingQuestionHasThreeLines) {
    const QString lineBreak = u"\r\n"_qs;
    const struct {
        qint32 base;
        QString first;
        QString last;
    } cases[] = {
        {English, u"Warning: No chapter '00:00:00' created."_qs,
         u"but there will be no associated image/clip for it..."_qs},
        {German, u"Warnung: Kein '00:00:00' Kapitel erstellt."_qs,
         u"aber es gibt eben kein Bild/Clip dazu..."_qs},
    };
    for (const auto& c : cases) {
        const QString text =
            LoadLangString(c.base, 260, {u"|1"_qs, lineBreak, u"|2"_qs, lineBreak});
        const QStringList lines = text.split(lineBreak);
        ASSERT_EQ(lines.size(), 3) << c.base;
        EXPECT_EQ(lines.first(), c.first);
        EXPECT_EQ(lines.last(), c.last);
        EXPECT_FALSE(text.contains(u'|')) << c.base;
        EXPECT_FALSE(text.contains(u"\n\r"_qs)) << c.base;
    }
}

// The replacement rules, on "ERROR: Cannot find time |1 !!!".
TEST(LangStrings, ReplacementRules) {
    ExpectAll({
        // An odd last argument is ignored.
        {English, 204, {u"|1"_qs, u"X"_qs, u"!!!"_qs}, u"ERROR: Cannot find time X !!!"_qs},
        {English, 204, {u"|1"_qs}, u"ERROR: Cannot find time |1 !!!"_qs},
        // A replacement that contains its search text is not searched again.
        {English, 204, {u"|1"_qs, u"|1|1"_qs}, u"ERROR: Cannot find time |1|1 !!!"_qs},
        // Every occurrence, left to right, without overlap.
        {English, 204, {u"!"_qs, u"?"_qs}, u"ERROR: Cannot find time |1 ???"_qs},
        {English, 204, {u"!!"_qs, u"x"_qs}, u"ERROR: Cannot find time |1 x!"_qs},
        // Letter case counts.
        {English, 204, {u"error"_qs, u"x"_qs}, u"ERROR: Cannot find time |1 !!!"_qs},
        // Pairs apply in order: the second sees the result of the first.
        {English,
         204,
         {u"|1"_qs, u"|2"_qs, u"|2"_qs, u"Y"_qs},
         u"ERROR: Cannot find time Y !!!"_qs},
        {English,
         204,
         {u"|2"_qs, u"Y"_qs, u"|1"_qs, u"|2"_qs},
         u"ERROR: Cannot find time |2 !!!"_qs},
        // A search text that is absent or empty changes nothing.
        {English, 204, {u"|2"_qs, u"X"_qs}, u"ERROR: Cannot find time |1 !!!"_qs},
        {English, 204, {QString(), u"X"_qs}, u"ERROR: Cannot find time |1 !!!"_qs},
        {English, 204, {u""_qs, u"X"_qs, u"|1"_qs, u"ok"_qs}, u"ERROR: Cannot find time ok !!!"_qs},
        // An empty replacement removes the search text.
        {English, 204, {u" !!!"_qs, QString()}, u"ERROR: Cannot find time |1"_qs},
    });
}

TEST(LangStrings, EveryOffsetOfBothBlocks) {
    for (const qint32 base : {English, German}) {
        for (int offset = 195; offset <= 272; ++offset) {
            const QString text = LoadLangString(base, offset);
            if (HasText(offset))
                EXPECT_FALSE(text.isEmpty()) << base << " + " << offset;
            else
                EXPECT_TRUE(text.isEmpty())
                    << base << " + " << offset << ": " << text.toStdString();
        }
        // Full ids and offsets far outside the table name no text.
        for (const int offset : {-1000, 0, 1200, 1211, 2211, 1000000})
            EXPECT_TRUE(LoadLangString(base, offset).isEmpty()) << base << " + " << offset;
    }
}

// The German block is a translation: only the report labels "Muxed="/"MuxOK=" and the program
// name read the same. A German text left in English, or the blocks shifted against each other,
// shows up here.
TEST(LangStrings, GermanDiffersFromEnglishExceptSharedWords) {
    const QSet<int> shared = {220, 221, 248};
    for (int offset = 200; offset <= 269; ++offset) {
        if (!HasText(offset))
            continue;
        EXPECT_EQ(LoadLangString(English, offset) == LoadLangString(German, offset),
                  shared.contains(offset))
            << offset;
    }
}

TEST(LangStrings, UnknownBaseFallsBackToEnglish) {
    for (const qint32 base : {0, 3000, 1500, -1000, 1, 1999, 2001}) {
        for (int offset = 200; offset <= 269; ++offset)
            EXPECT_EQ(LoadLangString(base, offset), LoadLangString(English, offset))
                << base << " + " << offset;
        EXPECT_EQ(LoadLangString(base, 261, {u"|1"_qs, u"00:00:00.000"_qs}),
                  u"Save as 00:00:00.000"_qs)
            << base;
    }
}

TEST(LangStrings, CreditLines) {
    for (const qint32 base : {English, German}) {
        QStringList lines;
        for (int offset = 248; offset <= 259; ++offset)
            lines << LoadLangString(base, offset);
        const QString all = lines.join(u' ');
        EXPECT_EQ(QSet<QString>(lines.begin(), lines.end()).size(), 12) << base;
        for (const QString& line : lines) {
            EXPECT_FALSE(line.trimmed().isEmpty()) << base;
            // The about box shows each line on its own row.
            EXPECT_LE(line.size(), 60) << base << ": " << line.toStdString();
            EXPECT_FALSE(line.contains(u'\n') || line.contains(u'|')) << base;
        }
        for (const char16_t* needed : {u"Cueboard", u"Orvel", u"FFmpeg", u"5.1", u"2022"})
            EXPECT_TRUE(all.contains(QStringView(needed))) << base << ": " << all.toStdString();
    }
}

TEST(LangStrings, RunLanguageIsTheOneSetAtStartUp) {
    SetLangBase(German);
    EXPECT_EQ(LoadLangString(211), u"Anzeigen/Bearbeiten"_qs);
    EXPECT_EQ(LoadLangString(261, {u"|1"_qs, u"00:00:00.000"_qs}),
              u"Als 00:00:00.000 erstellen"_qs);
    SetLangBase(English);
    EXPECT_EQ(LoadLangString(211), u"Show / Edit Chapters"_qs);
    SetLangBase(3000);
    EXPECT_EQ(LoadLangString(210), u"Quit"_qs);
    SetLangBase(English);
}
