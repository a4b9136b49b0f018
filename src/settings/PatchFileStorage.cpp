#include "PatchFileStorage.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace settings {

TPatchFileLoad LoadPatchFile(const QString &path)
{
    TPatchFileLoad load;
    const QFileInfo info(path);
    if (!info.exists()) {
        load.Error = QStringLiteral("%1: no such file").arg(path);
        return load;
    }
    if (info.isDir()) {
        load.Error = QStringLiteral("%1 is a directory, not a patch file").arg(path);
        return load;
    }
    if (info.size() > qint64(sysex::MaxPatchFileBytes)) {
        load.Error = QStringLiteral("%1 is too large for a patch file (%2 bytes; at most %3)")
                         .arg(path)
                         .arg(info.size())
                         .arg(sysex::MaxPatchFileBytes);
        return load;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        load.Error = QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString());
        return load;
    }
    // The size may change between the look and the read: the read itself is bounded too.
    const QByteArray bytes = file.read(qint64(sysex::MaxPatchFileBytes) + 1);
    if (file.error() != QFileDevice::NoError) {
        load.Error = QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString());
        return load;
    }
    if (std::size_t(bytes.size()) > sysex::MaxPatchFileBytes) {
        load.Error = QStringLiteral("%1 is too large for a patch file (at most %2 bytes)")
                         .arg(path)
                         .arg(sysex::MaxPatchFileBytes);
        return load;
    }
    const auto read = sysex::ParsePatchFile(
        {reinterpret_cast<const std::uint8_t *>(bytes.constData()), std::size_t(bytes.size())});
    if (read.Error) {
        load.Error = QStringLiteral("%1 is refused: at byte %2, %3")
                         .arg(path)
                         .arg(read.Error->Offset)
                         .arg(QString::fromStdString(read.Error->Why));
        return load;
    }
    load.File = read.File;
    load.Parts = read.Parts;
    return load;
}

std::optional<QString> SavePatchFile(const QString &path,
                                     std::span<const midi::TByteStream> messages)
{
    QByteArray bytes;
    for (const midi::TByteStream &message : messages)
        bytes.append(reinterpret_cast<const char *>(message.data()), qsizetype(message.size()));
    // Unbuffered, so that a disk that fills part way shows in the write itself.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return QStringLiteral("%1 cannot be written: %2").arg(path, file.errorString());
    if (file.write(bytes) != bytes.size()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return QStringLiteral("%1 cannot be written: %2").arg(path, why);
    }
    if (!file.commit())
        return QStringLiteral("%1 cannot be written: %2").arg(path, file.errorString());
    return std::nullopt;
}

} // namespace settings
