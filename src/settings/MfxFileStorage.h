#pragma once

// MFX files on disk: one read, bounded, into the message layer's reader, which checks it whole;
// written atomically as patch files are.

#include "sysex/MfxFile.h"

#include <QString>

#include <optional>

namespace settings {

struct TMfxFileLoad
{
    std::optional<sysex::mfx::TValues> Values;
    QString Error; // empty when the file was taken
};
// A missing, unreadable, oversized or refused file gives a message naming it, and no values.
TMfxFileLoad LoadMfxFile(const QString &path);

// The file of these values for the device ID; a message naming the file when it cannot be
// written, the old file then untouched.
std::optional<QString> SaveMfxFile(const QString &path, const sysex::mfx::TValues &values,
                                   int deviceId);

} // namespace settings
