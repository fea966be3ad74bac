#pragma once

#include <QString>
#include <initializer_list>

// The text table: English texts at ids 1200-1269, German at 2200-2269. Code names a text by its
// offset (200-269); the run's language base is added to it.

// Text of `offset` in the block of `langBase`, with every occurrence of each search text replaced
// by the text that follows it in `pairs` (search, replacement, search, replacement, ...; an odd
// last entry is ignored). A base without a block, or an id the block lacks, falls back to the
// English text; an offset neither block has gives empty text.
QString LoadLangString(qint32 langBase, int offset, std::initializer_list<QString> pairs = {});

// The language base of this run's texts, set once at start-up; 1000 (English) until then.
void SetLangBase(qint32 langBase);

// The same with the language base of this run.
QString LoadLangString(int offset, std::initializer_list<QString> pairs = {});
