#include "shell/LangStrings.h"

#include <array>
#include <span>

namespace {

constexpr qint32 GermanBase = 2000;

qint32 runLangBase = 1000;

constexpr int FirstOffset = 200;
constexpr int LastOffset = 269;

struct Entry {
    int offset;
    const char16_t* text;
};

// Offset 234 has two blanks after "Automatic" and 260 says "in not": the program has always
// shown them that way, so they stay.
constexpr Entry EnglishTexts[] = {
    {200, u"Only MPEG2 videos can be used"},
    {201, u"No sequence header found!"},
    {202, u"Only 1 to 99 Chapters possible!"},
    {203, u"Try one Chapter each 2 or 3 minutes..."},
    {204, u"ERROR: Cannot find time |1 !!!"},
    {205, u"GOP not found"},
    {206, u"Wrong Format!"},
    {207, u"File not found"},
    {208, u"No GOP Header found"},
    {209, u"About"},
    {210, u"Quit"},
    {211, u"Show / Edit Chapters"},
    {212, u"Videowidth="},
    {213, u"Videoheight="},
    {214, u"Frames per second="},
    {215, u"Aspect ratio="},
    {216, u"MPEG Type="},
    {217, u"Size in MB="},
    {218, u"Duration in seconds"},
    {219, u"Duration HH:MM:SS.hh"},
    {220, u"Muxed="},
    {221, u"MuxOK="},
    {222, u"No Mark"},
    {223, u"Use TimeOffset"},
    {224, u"Delete Chapter"},
    {225, u"Get File/Clipboard"},
    {226, u"Create a Chapter for"},
    {227, u"Create # Chapters"},
    {228, u"Create"},
    {229, u"Chapters"},
    {230, u"Save Current"},
    {231, u"sec"},
    {232, u"Images"},
    {233, u"File Chapters"},
    {234, u"Automatic  creation WARNING: Deletes old Chapter List"},
    {235, u"Chapterlist"},
    {236, u"each"},
    {237, u"minutes"},
    {238, u"Chapter Editor"},
    {239, u"Crop Settings"},
    {240, u"Black"},
    {241, u"White"},
    {242, u"Save these settings as Orvel AutoCrop value"},
    {243, u"Final image size:"},
    {244, u"Save image+chapter"},
    {245, u"Save clip+chapter"},
    {246, u"Save image"},
    {247, u"Save clip"},
    // Credit lines of the about box, shown as 248-250, 251-252, 253-257 and 258-259.
    {248, u"Cueboard"},
    {249, u"Viewer and chapter editor for MPEG-2 video,"},
    {250, u"written for the DVD-authoring front-end Orvel."},
    {251, u"Cueboard may also be used on its own"},
    {252, u"to view MPEG-2 files and set chapters."},
    {253, u"Pictures are decoded with"},
    {254, u"the FFmpeg libraries"},
    {255, u"libavformat, libavcodec and libswscale,"},
    {256, u"version 5.1 of July 2022,"},
    {257, u"by the FFmpeg developers."},
    {258, u"Many thanks to everyone who tested,"},
    {259, u"translated and sent in ideas!"},
    {260, u"Warning: No chapter '00:00:00' created.|1This chapter in not necessary, as it will be "
          u"created by Orvel itself|2but there will be no associated image/clip for it..."},
    {261, u"Save as |1"},
    {262, u"Mark only"},
    {263, u"Chaptermarks only, no images or clips"},
    {264, u"No chapter marks, only images or clips"},
    {265, u"Set chapter mark"},
    {268, u"Chapter already defined!"},
    {269, u"Could not write |1"},
};

constexpr Entry GermanTexts[] = {
    {200, u"Nur MPEG2 Videos können verarbeitet werden"},
    {201, u"Keinen Sequenz Header gefunden!"},
    {202, u"Nur 1 bis 99 Kapitel möglich!"},
    {203, u"Mit ein Kapitel alle 2 oder 3 Minuten versuchen..."},
    {204, u"Fehler: Zeitpunkt |1 konnte nicht gefunden werden!"},
    {205, u"GOP nicht gefunden"},
    {206, u"Falsches Format!"},
    {207, u"Datei nicht gefunden!"},
    {208, u"Keinen GOP Header gefunden"},
    {209, u"Über"},
    {210, u"Ende"},
    {211, u"Anzeigen/Bearbeiten"},
    {212, u"Videobreite="},
    {213, u"Videohöhe="},
    {214, u"Bilder pro Sekunde="},
    {215, u"Seitenverhältnis="},
    {216, u"MPEG Typ="},
    {217, u"Größe in MB="},
    {218, u"Dauer in Sekunden"},
    {219, u"Dauer HH:MM:SS:hh"},
    {220, u"Muxed="},
    {221, u"MuxOK="},
    {222, u"Keine Marke"},
    {223, u"Startzeit=0 setzen"},
    {224, u"Kapitel löschen"},
    {225, u"Aus Datei/Zw.Ablage"},
    {226, u"Erstelle ein Kapitel"},
    {227, u"Erstelle # Kapitel"},
    {228, u"Erstelle"},
    {229, u"Kapitel"},
    {230, u"Schreibe"},
    {231, u"Sek."},
    {232, u"Bilder"},
    {233, u"Kapitel aus Datei"},
    {234, u"Automatisch erstellen; Achtung: Löscht die bestehende Kapitelliste"},
    {235, u"Kapitelliste"},
    {236, u"alle"},
    {237, u"Minuten"},
    {238, u"Kapitel Editor"},
    {239, u"Crop Einstellungen"},
    {240, u"Schwarz"},
    {241, u"Weiss"},
    {242, u"Diese Einstellungen als Orvel AutoCrop Wert speichern"},
    {243, u"Ergeb. Bildgröße:"},
    {244, u"Bild+Kapitel speichern"},
    {245, u"Clip+Kapitel speichern"},
    {246, u"Bild speichern"},
    {247, u"Clip speichern"},
    {248, u"Cueboard"},
    {249, u"Betrachter und Kapitel-Editor für MPEG-2 Videos,"},
    {250, u"geschrieben für die DVD-Authoring-Oberfläche Orvel."},
    {251, u"Cueboard kann auch eigenständig benutzt werden,"},
    {252, u"um MPEG-2 Dateien anzusehen und Kapitel zu setzen."},
    {253, u"Die Bilder werden dekodiert mit"},
    {254, u"den FFmpeg-Bibliotheken"},
    {255, u"libavformat, libavcodec und libswscale,"},
    {256, u"Version 5.1 vom Juli 2022,"},
    {257, u"von den FFmpeg-Entwicklern."},
    {258, u"Vielen Dank an alle, die getestet, übersetzt"},
    {259, u"und Ideen beigesteuert haben!"},
    {260, u"Warnung: Kein '00:00:00' Kapitel erstellt.|1Ist nicht zwingend erforderlich (wird von "
          u"Orvel automatisch erstellt, falls nicht vorhanden)|2aber es gibt eben kein Bild/Clip "
          u"dazu..."},
    {261, u"Als |1 erstellen"},
    {262, u"Nur Marke"},
    {263, u"Nur Kapitelmarker, keine Bilder oder Clips"},
    {264, u"Keine Kapitelmarker, nur Bilder oder Clips"},
    {265, u"Kapitelmarke setzen"},
    {268, u"Kapitel bereits gesetzt!"},
    {269, u"Konnte |1 nicht schreiben!"},
};

// A slipped offset (a duplicate, a gap filled twice, an entry out of order) would silently show
// the wrong caption somewhere, so the tables are checked while compiling.
constexpr bool InStrictOrder(std::span<const Entry> entries) {
    int previous = FirstOffset - 1;
    for (const Entry& entry : entries) {
        if (entry.offset <= previous || entry.offset > LastOffset || entry.text == nullptr)
            return false;
        previous = entry.offset;
    }
    return true;
}
static_assert(InStrictOrder(EnglishTexts));
static_assert(InStrictOrder(GermanTexts));

// One slot per offset; a null QString marks an offset the block has no text for. Built once, so
// a lookup is an index and a reference-counted copy.
using Block = std::array<QString, LastOffset - FirstOffset + 1>;

Block MakeBlock(std::span<const Entry> entries) {
    Block block;
    for (const Entry& entry : entries)
        block[entry.offset - FirstOffset] = QString::fromUtf16(entry.text);
    return block;
}

QString FetchText(qint32 langBase, int offset) {
    static const Block english = MakeBlock(EnglishTexts);
    static const Block german = MakeBlock(GermanTexts);
    if (offset < FirstOffset || offset > LastOffset)
        return {};
    const auto slot = static_cast<std::size_t>(offset - FirstOffset);
    if (langBase == GermanBase && !german[slot].isNull())
        return german[slot];
    return english[slot];
}

} // namespace

QString LoadLangString(qint32 langBase, int offset, std::initializer_list<QString> pairs) {
    QString text = FetchText(langBase, offset);
    const QString* pair = pairs.begin();
    for (std::size_t left = pairs.size(); left >= 2; left -= 2, pair += 2) {
        // An empty search text would otherwise insert the replacement between every character.
        if (!pair[0].isEmpty())
            text.replace(pair[0], pair[1], Qt::CaseSensitive);
    }
    return text;
}

void SetLangBase(qint32 langBase) {
    runLangBase = langBase;
}

QString LoadLangString(int offset, std::initializer_list<QString> pairs) {
    return LoadLangString(runLangBase, offset, pairs);
}
