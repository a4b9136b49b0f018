#pragma once

// Messages as readable hex in tests, and what the instrument received.

#include "instrument/VirtualInstrument.h"

#include <QString>
#include <QStringList>
#include <span>
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

// The instrument's log as hex texts, from entry `from` on.
inline QStringList LogSince(const instrument::TVirtualInstrument &instrument, std::size_t from = 0)
{
    QStringList out;
    const auto log = instrument.Log();
    for (std::size_t i = from; i < log.size(); ++i)
        out << HexOf(log[i]);
    return out;
}
