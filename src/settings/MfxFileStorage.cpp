#include "MfxFileStorage.h"

#include "PatchFileStorage.h"

#include <QFile>
#include <QFileInfo>

namespace settings {

TMfxFileLoad LoadMfxFile(const QString &path)
{
    TMfxFileLoad load;
    const QFileInfo info(path);
    if (!info.exists() || info.isDir()) {
        load.Error = QStringLiteral("%1: no such MFX file").arg(path);
        return load;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        load.Error = QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString());
        return load;
    }
    // One byte more than allowed tells an oversized file without reading it all.
    const QByteArray bytes = file.read(qint64(sysex::mfx::MaxMfxFileBytes) + 1);
    if (file.error() != QFileDevice::NoError) {
        load.Error = QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString());
        return load;
    }
    if (std::size_t(bytes.size()) > sysex::mfx::MaxMfxFileBytes) {
        load.Error = QStringLiteral("%1 is too large for an MFX file (at most %2 bytes)")
                         .arg(path)
                         .arg(sysex::mfx::MaxMfxFileBytes);
        return load;
    }
    const sysex::mfx::TMfxFileRead read = sysex::mfx::ReadMfxFile(
        {reinterpret_cast<const std::uint8_t *>(bytes.constData()), std::size_t(bytes.size())});
    if (read.Error) {
        load.Error = QStringLiteral("%1 is refused: at byte %2, %3")
                         .arg(path)
                         .arg(read.Error->Offset)
                         .arg(QString::fromStdString(read.Error->Why));
        return load;
    }
    if (!read.Values) {
        load.Error = QStringLiteral("%1 holds no MFX setting").arg(path);
        return load;
    }
    load.Values = read.Values;
    return load;
}

std::optional<QString> SaveMfxFile(const QString &path, const sysex::mfx::TValues &values,
                                   int deviceId)
{
    const midi::TByteStream message = sysex::mfx::MfxFileBytes(values, deviceId);
    return SavePatchFile(path, std::span<const midi::TByteStream>(&message, 1));
}

} // namespace settings
