#pragma once

// Messages in tests: built byte by byte, shown as readable hex, and what the instrument received.

#include "instrument/VirtualInstrument.h"
#include "midi/MidiError.h"
#include "midi/SysExText.h"

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

inline QString HexOf(std::span<const std::uint8_t> bytes)
{
    QStringList parts;
    for (std::uint8_t b : bytes)
        parts << QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
    return parts.join(QLatin1Char(' '));
}

inline std::vector<std::uint8_t> BytesOf(const QString &hex)
{
    std::vector<std::uint8_t> bytes;
    for (const QString &part : hex.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        bytes.push_back(static_cast<std::uint8_t>(part.toUInt(nullptr, 16)));
    return bytes;
}

// Byte values written as numbers, so that a test can list bytes without a cast for each.
inline std::vector<std::uint8_t> BytesOf(std::initializer_list<int> values)
{
    std::vector<std::uint8_t> bytes;
    for (int v : values)
        bytes.push_back(static_cast<std::uint8_t>(v));
    return bytes;
}

// What the program sends for a hex text: the bytes, its checksum and F7.
inline std::vector<std::uint8_t> SysExOfText(const std::string &text)
{
    std::vector<std::uint8_t> bytes;
    midi::HexTextToSysEx(text, bytes);
    return bytes;
}

// The instrument's log as hex texts, from entry `from` on.
inline QStringList LogSince(const instrument::TVirtualInstrument &instrument, std::size_t from = 0)
{
    QStringList out;
    const auto log = instrument.Log();
    for (std::size_t i = from; i < log.size(); ++i)
        out << HexOf(log[i]);
    return out;
}

// The data sets among hex texts of messages (command byte 12, for model 0B and model 3A alike),
// without their checksum and F7, in order.
inline QStringList DataSets(const QStringList &log)
{
    QStringList out;
    for (const QString &message : log)
        if (message.mid(15, 2) == QLatin1String("12"))
            out << message.left(message.size() - 6);
    return out;
}

// The Roland checksum of bytes[from, to). Worked out here rather than by the program, so that a
// test that checks the program's checksums does not check them against themselves.
inline std::uint8_t ChecksumOf(std::span<const std::uint8_t> bytes, std::size_t from,
                               std::size_t to)
{
    unsigned sum = 0;
    for (std::size_t i = from; i < to; ++i)
        sum += bytes[i];
    return static_cast<std::uint8_t>((128 - sum % 128) % 128);
}

// A message of the instrument's model: header with the device byte and the command, address,
// body, checksum, F7.
inline std::vector<std::uint8_t> RolandMessage(std::uint8_t deviceByte, std::uint8_t command,
                                               std::array<std::uint8_t, 4> address,
                                               std::span<const std::uint8_t> body)
{
    std::vector<std::uint8_t> m {0xF0, 0x41, deviceByte, 0x00, 0x0B, command};
    for (std::uint8_t b : address)
        m.push_back(b);
    for (std::uint8_t b : body)
        m.push_back(b);
    m.push_back(ChecksumOf(m, 6, m.size()));
    m.push_back(0xF7);
    return m;
}

// A data set. A test that needs a broken one builds a whole one and spoils a byte.
inline std::vector<std::uint8_t> DataSetMessage(std::array<std::uint8_t, 4> address,
                                                const std::vector<std::uint8_t> &data,
                                                std::uint8_t deviceByte = 0x10)
{
    return RolandMessage(deviceByte, 0x12, address, data);
}

// A data request for `size` bytes from `address`, both as four 7-bit bytes.
inline std::vector<std::uint8_t> RequestMessage(std::array<std::uint8_t, 4> address,
                                                std::array<std::uint8_t, 4> size,
                                                std::uint8_t deviceByte = 0x10)
{
    return RolandMessage(deviceByte, 0x11, address, size);
}

// A model-3A data set, the 00 ahead of its F0 as the program sends it: part byte, function
// byte (55 transposition, 56 MFX switch) and value.
inline std::vector<std::uint8_t> Model3AMessage(std::uint8_t part, std::uint8_t function,
                                                std::uint8_t value)
{
    std::vector<std::uint8_t> m {0x00, 0xF0, 0x41, 0x10, 0x3A, 0x12, part, function, value, 0x00};
    m.push_back(ChecksumOf(m, 6, m.size()));
    m.push_back(0xF7);
    return m;
}

// A System Exclusive message of `size` bytes: F0, `fill` bytes, F7.
inline std::vector<std::uint8_t> SysExOfSize(std::size_t size, std::uint8_t fill = 0x22)
{
    std::vector<std::uint8_t> bytes(size, fill);
    bytes.front() = 0xF0;
    bytes.back() = 0xF7;
    return bytes;
}

// The text of the MIDI error a call throws, or an empty text when it throws none.
inline QString ErrorOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const midi::EMidiError &e) {
        return QString::fromStdString(e.what());
    }
    return {};
}
