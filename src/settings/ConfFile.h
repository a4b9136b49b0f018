#pragma once

// "Ombrix.conf", the second settings file, in Qt's INI format beside "Ombrix.INI" (whose
// format other copies of the program and users' scripts rely on, and which therefore takes
// nothing new). It holds the settings that came later: the gap between two data sets.

#include "SettingsFile.h"

#include <QStringList>

namespace settings {

struct TConfValues
{
    // Milliseconds between the end of one data set and the start of the next, 0..100.
    int GapMs = 20;
};

inline constexpr int MinGapMs = 0;
inline constexpr int MaxGapMs = 100;
inline constexpr int DefaultGapMs = 20;

// Reads the file at path. A missing file gives the defaults and no error; a file that cannot be
// read, or is not in the INI format, gives the defaults and a clear message naming it. A gap
// that is not a number gives the default; one out of range is clamped.
TReadOutcome ReadConfFile(const QString &path, TConfValues &values);

// Writes the file atomically (the whole new file, or the old one untouched). Throws
// ESettingsError with a clear message naming the file when it cannot be written.
void WriteConfFile(const QString &path, const TConfValues &values);

// The patch files opened or saved last, newest first, kept in the same file. Reading never fails:
// a missing or unreadable file has none. Writing changes that list alone, atomically, and throws
// ESettingsError naming the file when it cannot be written.
inline constexpr int RecentPatchFileCount = 5;
QStringList ReadRecentPatchFiles(const QString &path);
void WriteRecentPatchFiles(const QString &path, const QStringList &files);
// The list with path first, once, and at most RecentPatchFileCount entries.
QStringList WithRecentPatchFile(QStringList files, const QString &path);

} // namespace settings
