#pragma once

#include <QtGlobal>

// Program-wide on/off values are 16-bit integers: -1 for on, 0 for off, and every test compares
// with zero. Stored settings and the front-end's conventions follow this, so the type is kept.
using Flag = qint16;
inline constexpr Flag FlagTrue = -1;
inline constexpr Flag FlagFalse = 0;

inline constexpr Flag ToFlag(bool on) { return on ? FlagTrue : FlagFalse; }
