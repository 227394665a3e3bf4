#pragma once

#include <QtGlobal>

// Sizes no export file reaches. Past them a file is refused with the line
// where it happens, rather than read into memory until the computer runs out:
// a CSV record (a line, or a quoted field over several), its number of values,
// and one item of a JSON export.
inline constexpr qint64 MaxRecordSize = 64 * 1024 * 1024;
inline constexpr const char* MaxRecordSizeText = "64 MB";
inline constexpr qsizetype MaxColumns = 1024 * 1024;
