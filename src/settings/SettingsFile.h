#pragma once

// The settings file "Ombrix.INI" in the settings directory: the MIDI input index, the output
// index and the device ID (lines 1 to 3), then the 1056 patch names, one per line, each line
// ended by CR LF. Names are kept as the file's bytes, so a file written on another system keeps
// them exactly.

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

class QString;

namespace settings {

inline constexpr const char *SettingsFileName = "Ombrix.INI";
inline constexpr const char *ConfFileName = "Ombrix.conf";
inline constexpr int PatchNameCount = 1056;
// A name longer than this is cut here.
inline constexpr std::size_t MaxNameBytes = 1024 * 1024;

class ESettingsError : public std::runtime_error
{
public:
    explicit ESettingsError(const std::string &text)
        : std::runtime_error(text)
    { }
};

struct TSettingsValues
{
    int MidiInIndex = 0;
    int MidiOutIndex = 0;
    int DeviceId = 0;
    std::vector<std::string> PatchNames = std::vector<std::string>(PatchNameCount);
};

struct TReadOutcome
{
    bool Exists = false;
    // Empty, or a clear message naming the file and the line of a value that is not a number
    // (or missing), or saying why the file could not be read.
    std::string Error;
};

// The directory that holds the program's files. Empty, the default, means the directory the
// program is started from, which paths then stay relative to.
void SetSettingsDirectory(const QString &directory);
QString SettingsDirectory();
// "Ombrix.INI" and "Ombrix.conf" in the settings directory.
QString SettingsFilePath();
QString ConfFilePath();

// Reads the file at path into values when it exists. The three numbers are read in order; a
// value that is not a number leaves it and the ones after it as they were, and is reported in
// the outcome; the names are read from line 4 on in every case. Missing lines give empty names.
// Lines end with LF or CR LF. A file that cannot be read to its end leaves the names unchanged.
TReadOutcome ReadSettingsFile(const QString &path, TSettingsValues &values);

// Writes the file atomically: either the whole new file or, on failure, the old file untouched.
// Throws ESettingsError with a clear message naming the file when it cannot be written, or when
// an item holds a line break (it would shift the lines after it). Exactly 1056 name lines are
// written: missing names as empty lines, names beyond them not at all.
void WriteSettingsFile(const QString &path, int midiInIndex, int midiOutIndex,
                       const std::string &deviceIdText, const std::vector<std::string> &names);

// Writes names into the file atomically as WriteSettingsFile does, keeping its first three lines
// byte for byte; a file that does not exist yet gets them from the three values. Throws as
// WriteSettingsFile does, also when the file cannot be read.
void WritePatchNames(const QString &path, int midiInIndex, int midiOutIndex,
                     const std::string &deviceIdText, const std::vector<std::string> &names);

// A name as shown: UTF-8 when it is valid UTF-8, else Windows-1252.
QString PatchNameForDisplay(const std::string &name);

} // namespace settings
