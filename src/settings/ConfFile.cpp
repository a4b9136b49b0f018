#include "ConfFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <algorithm>

namespace settings {

namespace {
const char *const GapKey = "Output/GapMs";
const char *const RecentKey = "PatchFiles/Recent";

std::string Shown(const QString &path)
{
    return "\"" + QDir::toNativeSeparators(path).toStdString() + "\"";
}
} // namespace

TReadOutcome ReadConfFile(const QString &path, TConfValues &values)
{
    TReadOutcome outcome;
    values = TConfValues {};
    const QFileInfo info(path);
    if (!info.exists())
        return outcome;
    outcome.Exists = true;
    // QSettings reads an unreadable file as an empty one and says nothing: asked first.
    QFile probe(path);
    if (info.isDir() || !probe.open(QIODevice::ReadOnly)) {
        outcome.Error = "The settings file " + Shown(path)
            + " cannot be read; the default settings are used.";
        return outcome;
    }
    probe.close();
    const QSettings file(path, QSettings::IniFormat);
    if (file.status() != QSettings::NoError) {
        outcome.Error = "The settings file " + Shown(path)
            + " is not in the INI format; the default settings are used.";
        return outcome;
    }
    bool number = false;
    const int gap = file.value(QLatin1String(GapKey)).toString().trimmed().toInt(&number, 10);
    if (number)
        values.GapMs = std::clamp(gap, MinGapMs, MaxGapMs);
    return outcome;
}

void WriteConfFile(const QString &path, const TConfValues &values)
{
    {
        QSettings file(path, QSettings::IniFormat);
        // Its own sync goes through a temporary file renamed over the old one.
        file.setAtomicSyncRequired(true);
        file.setValue(QLatin1String(GapKey), std::clamp(values.GapMs, MinGapMs, MaxGapMs));
        file.sync();
        if (file.status() == QSettings::NoError)
            return;
    }
    throw ESettingsError("The settings file " + Shown(path) + " cannot be written.");
}

QStringList ReadRecentPatchFiles(const QString &path)
{
    const QFileInfo info(path);
    QFile probe(path);
    if (!info.exists() || info.isDir() || !probe.open(QIODevice::ReadOnly))
        return {};
    probe.close();
    const QSettings file(path, QSettings::IniFormat);
    QStringList files;
    for (const QString &name : file.value(QLatin1String(RecentKey)).toStringList())
        if (!name.isEmpty() && !files.contains(name))
            files << name;
    return files.mid(0, RecentPatchFileCount);
}

void WriteRecentPatchFiles(const QString &path, const QStringList &files)
{
    {
        QSettings file(path, QSettings::IniFormat);
        file.setAtomicSyncRequired(true);
        file.setValue(QLatin1String(RecentKey), files.mid(0, RecentPatchFileCount));
        file.sync();
        if (file.status() == QSettings::NoError)
            return;
    }
    throw ESettingsError("The settings file " + Shown(path) + " cannot be written.");
}

QStringList WithRecentPatchFile(QStringList files, const QString &path)
{
    files.removeAll(path);
    files.prepend(path);
    return files.mid(0, RecentPatchFileCount);
}

} // namespace settings
