#include "VirtualRig.h"

#include "session/ReceiveHandOver.h"

#include "midi/MidiDevices.h"
#include "midi/MidiHub.h"
#include "midi/MidiService.h"

TVirtualRig::TVirtualRig(std::chrono::microseconds byteTime, int deviceId)
    : SharedInstrument(std::make_shared<instrument::TVirtualInstrument>(deviceId))
    , SharedProvider(
          std::make_shared<instrument::TVirtualInstrumentProvider>(SharedInstrument, byteTime))
    , Hub(std::make_shared<midi::TMidiHub>(
          std::vector<std::shared_ptr<midi::IMidiPortProvider>> {SharedProvider}))
{
    // A device set left over from an earlier test would still list the old devices.
    midi::ShutdownMidi();
    midi::SetMidiService(Hub);
    // What the instrument answers reaches the window thread as it does in the program.
    session::TReceiveHandOver::Ensure();
}

TVirtualRig::~TVirtualRig()
{
    midi::ShutdownMidi();
    midi::SetMidiService(nullptr);
}
