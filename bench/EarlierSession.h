#pragma once

// Puts a receive log where a long session leaves it: the words of `count` earlier requests,
// with room for the next ones (the log's own growth is geometric, so an append that copies the
// whole log is rare and its amortised cost is a few characters). Called while the timing is
// paused; it leaves the caches equally cold whatever the count, so that the decoding timed next
// differs only by what the log's length costs it.

#include "controls/ReceiveLog.h"

#include <QString>

#include <cstring>
#include <vector>

inline void StartAfterEarlierSession(TReceiveLog &log, const QString &start, const QString &words,
                                     qsizetype count)
{
    {
        QString earlier;
        earlier.reserve(start.size() + words.size() * (count + 1) + 256);
        earlier += start;
        for (qsizetype i = 0; i < count; ++i)
            earlier += words;
        log.SetText(earlier);
    }
    static std::vector<char> scratch(4 << 20); // more than a core's second-level cache
    static char fill = 0;
    std::memset(scratch.data(), ++fill, scratch.size());
}
