#pragma once

// Patch files on disk: reading one, bounded, into the message layer's parser, and writing the
// received data sets of a patch, atomically.

#include "sysex/PatchFile.h"

#include <QString>

#include <optional>
#include <span>
#include <vector>

namespace settings {

// Reads the file at path with ParsePatchFile, bounded: a missing or unreadable file, a
// directory or a file over sysex::MaxPatchFileBytes is refused with a message naming it, unread.
struct TPatchFileLoad
{
    sysex::TPatchFile File;
    std::vector<sysex::TPatchFile> Parts; // every part's patch, by part
    QString Error; // empty when the file was taken
};
TPatchFileLoad LoadPatchFile(const QString &path);

// Writes the messages one after another, atomically (the whole new file, or the old one
// untouched). Returns a message naming the file when it cannot be written, else nothing.
std::optional<QString> SavePatchFile(const QString &path,
                                     std::span<const midi::TByteStream> messages);

} // namespace settings
