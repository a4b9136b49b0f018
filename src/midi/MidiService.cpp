#include "MidiService.h"

#include "MidiError.h"

#include <mutex>

namespace midi {

namespace {
std::mutex ServiceLock;
std::shared_ptr<IMidiService> CurrentService;
} // namespace

void SetMidiService(std::shared_ptr<IMidiService> service)
{
    std::lock_guard lock(ServiceLock);
    CurrentService = std::move(service);
}

IMidiService &MidiService()
{
    std::lock_guard lock(ServiceLock);
    if (!CurrentService)
        throw EMidiError("No MIDI service is installed.");
    return *CurrentService;
}

std::shared_ptr<IMidiService> SharedMidiService()
{
    std::lock_guard lock(ServiceLock);
    if (!CurrentService)
        throw EMidiError("No MIDI service is installed.");
    return CurrentService;
}

bool HasMidiService()
{
    std::lock_guard lock(ServiceLock);
    return CurrentService != nullptr;
}

} // namespace midi
