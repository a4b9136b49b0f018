#include "SettingsFile.h"

#include <QByteArrayView>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QString>
#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>

namespace settings {

namespace {

// What each of the first three values is, for the messages.
constexpr std::array<const char *, 3> ValueMeanings
    = {"the MIDI input device index", "the MIDI output device index", "the device ID"};

// A bad value is quoted in a message: enough of it to recognise, never a whole binary line.
constexpr std::size_t QuotedBytesKept = 160;
constexpr qsizetype QuotedCharsShown = 40;

constexpr std::size_t ReadChunkBytes = 64 * 1024;

std::string FileText(const QString &path)
{
    return "The settings file \""
        + QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()).toStdString() + "\"";
}

bool IsSeparator(int c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool ParseDecimal(const std::string &text, int &value)
{
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size())
        return false;
    std::int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return false;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > std::int64_t {std::numeric_limits<std::int32_t>::max()} + 1)
            return false;
    }
    const std::int64_t signedValue = negative ? -magnitude : magnitude;
    if (signedValue > std::numeric_limits<std::int32_t>::max())
        return false;
    value = static_cast<int>(signedValue);
    return true;
}

// A piece of the file made readable for a message: control characters spelt out, long texts cut.
std::string QuotedText(const std::string &bytes, std::size_t fullLength)
{
    QString shown = PatchNameForDisplay(bytes);
    bool cut = fullLength > bytes.size();
    if (shown.size() > QuotedCharsShown) {
        qsizetype keep = QuotedCharsShown;
        if (shown.at(keep - 1).isHighSurrogate())
            --keep;
        shown.truncate(keep);
        cut = true;
    }
    QString readable;
    for (const QChar ch : shown) {
        const char16_t u = ch.unicode();
        if (u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0))
            readable += QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
        else
            readable += ch;
    }
    std::string text = "\"" + readable.toStdString() + "\"";
    if (cut)
        text += "... (" + std::to_string(fullLength) + " bytes)";
    return text;
}

bool IsValidUtf8(const std::string &bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        std::size_t length;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            length = 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            length = 3;
            // No overlong forms, no surrogates.
            if (b == 0xE0)
                low = 0xA0;
            else if (b == 0xED)
                high = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4;
            // Nothing overlong and nothing beyond U+10FFFF.
            if (b == 0xF0)
                low = 0x90;
            else if (b == 0xF4)
                high = 0x8F;
        } else {
            return false;
        }
        if (n - i < length)
            return false;
        if (p[i + 1] < low || p[i + 1] > high)
            return false;
        for (std::size_t k = 2; k < length; ++k)
            if (p[i + k] < 0x80 || p[i + k] > 0xBF)
                return false;
        i += length;
    }
    return true;
}

// Windows-1252 differs from Latin-1 only in 0x80..0x9F. The five codes it leaves undefined keep
// their C1 code point, as Windows itself converts them.
constexpr std::array<char16_t, 32> Windows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Set once at start-up, before any window reads the settings.
QString &Directory()
{
    static QString directory;
    return directory;
}

QString PathIn(const char *fileName)
{
    const QString name = QString::fromLatin1(fileName);
    return Directory().isEmpty() ? name : QDir(Directory()).filePath(name);
}

} // namespace

void SetSettingsDirectory(const QString &directory)
{
    Directory() = directory;
}

QString SettingsDirectory()
{
    return Directory();
}

QString SettingsFilePath()
{
    return PathIn(SettingsFileName);
}

QString ConfFilePath()
{
    return PathIn(ConfFileName);
}

TReadOutcome ReadSettingsFile(const QString &path, TSettingsValues &values)
{
    TReadOutcome outcome;
    const QFileInfo info(path);
    if (!info.exists())
        return outcome;
    outcome.Exists = true;

    QFile file(path);
    if (info.isDir()) {
        outcome.Error = FileText(path) + " cannot be read: it is a directory.";
        return outcome;
    }
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        outcome.Error = FileText(path) + " cannot be read: " + file.errorString().toStdString();
        return outcome;
    }

    // The file may be anything, of any size: it is read in chunks, byte by byte.
    std::vector<char> chunk(ReadChunkBytes);
    qint64 chunkSize = 0;
    qint64 chunkPos = 0;
    bool readFailed = false;
    const auto next = [&]() -> int {
        if (chunkPos == chunkSize) {
            chunkPos = 0;
            chunkSize = readFailed ? 0 : file.read(chunk.data(), qint64(chunk.size()));
            if (chunkSize < 0) {
                readFailed = true;
                chunkSize = 0;
            }
            if (chunkSize == 0)
                return -1;
        }
        return static_cast<unsigned char>(chunk[static_cast<std::size_t>(chunkPos++)]);
    };

    // Lines 1 to 3 hold the three numbers, separated by any white space; whatever follows the
    // third number on these lines is ignored, and the names always start on line 4, so a file
    // with an odd layout of its numbers cannot shift the names.
    int line = 1; // the line of c
    int c = next();
    const std::array<int *, 3> targets
        = {&values.MidiInIndex, &values.MidiOutIndex, &values.DeviceId};
    for (std::size_t k = 0; k < targets.size() && outcome.Error.empty(); ++k) {
        bool areaEnded = false;
        while (c >= 0 && IsSeparator(c)) {
            if (c == '\n') {
                ++line;
                if (line > 3) {
                    c = next();
                    areaEnded = true;
                    break;
                }
            }
            c = next();
        }
        if (areaEnded || c < 0) {
            outcome.Error = FileText(path) + ", line " + std::to_string(std::min(line, 3)) + ": "
                + ValueMeanings[k]
                + " is missing. It and the settings after it keep their current values.";
            break;
        }
        const int tokenLine = line;
        std::string token;
        std::size_t tokenLength = 0;
        while (c >= 0 && !IsSeparator(c)) {
            if (token.size() < QuotedBytesKept)
                token.push_back(static_cast<char>(c));
            ++tokenLength;
            c = next();
        }
        int value = 0;
        if (tokenLength == token.size() && ParseDecimal(token, value)) {
            *targets[k] = value;
        } else {
            outcome.Error = FileText(path) + ", line " + std::to_string(tokenLine) + ": "
                + QuotedText(token, tokenLength) + " is not a number (" + ValueMeanings[k]
                + "). It and the settings after it keep their current values.";
        }
    }
    while (c >= 0 && line <= 3) {
        if (c == '\n')
            ++line;
        c = next();
    }

    // Each name is one whole line, its bytes as they stand; a line ends with LF or CR LF.
    std::vector<std::string> names(PatchNameCount);
    for (std::string &name : names) {
        if (c < 0)
            break;
        std::size_t lineLength = 0;
        while (c >= 0 && c != '\n') {
            if (name.size() < MaxNameBytes)
                name.push_back(static_cast<char>(c));
            ++lineLength;
            c = next();
        }
        if (c == '\n') {
            if (lineLength == name.size() && !name.empty() && name.back() == '\r')
                name.pop_back();
            c = next();
        }
    }

    if (readFailed) {
        // The names may be incomplete: the ones the program has are kept rather than blanked.
        if (!outcome.Error.empty())
            outcome.Error += "\n";
        outcome.Error += FileText(path) + " could not be read to its end: "
            + file.errorString().toStdString() + ". The patch names were not changed.";
    } else {
        values.PatchNames = std::move(names);
    }
    return outcome;
}

namespace {

ESettingsError WriteError(const QString &path, const std::string &why)
{
    return ESettingsError(FileText(path) + " cannot be written: " + why
                          + " The file has not been changed.");
}

// head: the first three lines, each ended.
void WriteLines(const QString &path, const std::string &head, const std::vector<std::string> &names)
{
    for (std::size_t k = 0; k < names.size() && k < std::size_t(PatchNameCount); ++k)
        if (names[k].find('\n') != std::string::npos)
            throw WriteError(path, "patch name " + std::to_string(k) + " contains a line break.");

    // The new text goes to a file beside the old one, which it replaces only once it is whole:
    // a crash or a full disk halfway leaves the old file as it was.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw WriteError(path, file.errorString().toStdString() + ".");
    const auto write = [&](const char *data, std::size_t size) {
        if (file.write(data, qint64(size)) != qint64(size))
            throw WriteError(path, file.errorString().toStdString() + ".");
    };
    write(head.data(), head.size());
    for (int k = 0; k < PatchNameCount; ++k) {
        if (std::size_t(k) < names.size())
            write(names[std::size_t(k)].data(), names[std::size_t(k)].size());
        write("\r\n", 2);
    }
    if (!file.commit())
        throw WriteError(path, file.errorString().toStdString() + ".");
}

std::string Head(int midiInIndex, int midiOutIndex, const std::string &deviceIdText)
{
    return std::to_string(midiInIndex) + "\r\n" + std::to_string(midiOutIndex) + "\r\n"
        + deviceIdText + "\r\n";
}

} // namespace

void WriteSettingsFile(const QString &path, int midiInIndex, int midiOutIndex,
                       const std::string &deviceIdText, const std::vector<std::string> &names)
{
    // A line break inside an item would shift every line after it.
    if (deviceIdText.find_first_of("\r\n") != std::string::npos)
        throw WriteError(path, "the device ID contains a line break.");
    WriteLines(path, Head(midiInIndex, midiOutIndex, deviceIdText), names);
}

void WritePatchNames(const QString &path, int midiInIndex, int midiOutIndex,
                     const std::string &deviceIdText, const std::vector<std::string> &names)
{
    QFile file(path);
    if (!file.exists()) {
        WriteSettingsFile(path, midiInIndex, midiOutIndex, deviceIdText, names);
        return;
    }
    if (!file.open(QIODevice::ReadOnly))
        throw WriteError(path, file.errorString().toStdString() + ".");
    // Only the head is read: the names after it may be of any length.
    std::string head;
    for (int line = 0; line < 3 && !file.atEnd();) {
        char c = 0;
        if (!file.getChar(&c))
            throw WriteError(path, file.errorString().toStdString() + ".");
        head.push_back(c);
        if (c == '\n')
            ++line;
    }
    // A file of three lines or fewer may end without the last one's end, or lack lines: the
    // names still start on line 4.
    if (!head.empty() && head.back() != '\n')
        head += "\r\n";
    for (auto lines = std::count(head.begin(), head.end(), '\n'); lines < 3; ++lines)
        head += "\r\n";
    WriteLines(path, head, names);
}

QString PatchNameForDisplay(const std::string &name)
{
    if (IsValidUtf8(name))
        return QString::fromUtf8(QByteArrayView(name.data(), qsizetype(name.size())));
    QString text;
    text.reserve(qsizetype(name.size()));
    for (const char byte : name) {
        const auto b = static_cast<unsigned char>(byte);
        text += QChar(b >= 0x80 && b < 0xA0 ? Windows1252High[b - 0x80] : char16_t(b));
    }
    return text;
}

} // namespace settings
