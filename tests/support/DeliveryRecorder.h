#pragma once

// What the input device set hands to its handler, recorded: the device index, the bytes and
// the thread the handler ran on. The device tests attach it instead of each writing its own.

#include "midi/MidiDevices.h"

#include <QThread>

#include <cstdint>
#include <span>
#include <vector>

struct TDelivery
{
    int Index;
    std::vector<std::uint8_t> Bytes;
    QThread *Thread;
};

class TDeliveryRecorder
{
public:
    // Becomes the input device set's handler.
    void Attach()
    {
        midi::MidiIn().SetOnSysEx([this](std::int32_t index, std::span<const std::uint8_t> bytes) {
            Deliveries.push_back({index, {bytes.begin(), bytes.end()}, QThread::currentThread()});
        });
    }

    std::vector<TDelivery> Deliveries;
};
