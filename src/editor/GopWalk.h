#pragma once

#include <QtGlobal>

// The search that moves the viewer to the GOP of a wanted time (a chapter visit, a creation run):
// a GOP is taken once it lies closer than GopTolerance seconds to the time; the guesses by file
// position are corrected at most MaxGopCorrections times; then the search walks GOP by GOP,
// GopWalkStep bytes off the header it stands on so that the next search passes it.
inline constexpr double GopTolerance = 2.0;
inline constexpr int MaxGopCorrections = 11;
inline constexpr qint64 GopWalkStep = 50;
