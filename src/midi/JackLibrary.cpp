#include "JackLibrary.h"

#include "System.h"

#include <cstdint>
#include <type_traits>

namespace midi {

namespace {

TJackLibrary Load()
{
    TJackLibrary jack;
    // Only a library that is there already: nothing is loaded for the question.
    void *library = LoadedJackLibrary();
    if (!library)
        return jack;
    const auto find = [library](auto &function, const char *name) {
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(
            LibraryFunction(library, name));
        return function != nullptr;
    };
    const bool all = find(jack.ClientOpen, "jack_client_open")
        && find(jack.ClientClose, "jack_client_close") && find(jack.Activate, "jack_activate")
        && find(jack.Deactivate, "jack_deactivate") && find(jack.BufferSize, "jack_get_buffer_size")
        && find(jack.SampleRate, "jack_get_sample_rate")
        && find(jack.PortRegister, "jack_port_register")
        && find(jack.PortBuffer, "jack_port_get_buffer")
        && find(jack.SetProcessCallback, "jack_set_process_callback")
        && find(jack.MidiEventCount, "jack_midi_get_event_count")
        && find(jack.MidiEventGet, "jack_midi_event_get")
        && find(jack.LastFrameTime, "jack_last_frame_time")
        && find(jack.FramesToTime, "jack_frames_to_time") && find(jack.Time, "jack_get_time")
        && find(jack.SetErrorFunction, "jack_set_error_function")
        && find(jack.SetInfoFunction, "jack_set_info_function")
        && find(jack.UuidOfClient, "jack_get_uuid_for_client_name") && find(jack.Free, "jack_free")
        && find(jack.ErrorCallback, "jack_error_callback")
        && find(jack.InfoCallback, "jack_info_callback");
    // The handle stays open: the functions are used for as long as the process runs.
    if (!all)
        jack = TJackLibrary {};
    return jack;
}

void Quiet(const char *) { }

} // namespace

const TJackLibrary *JackLibrary()
{
    static const TJackLibrary jack = Load();
    return jack.ClientOpen ? &jack : nullptr;
}

TJackSilence::TJackSilence(const TJackLibrary &jack)
    : Jack(jack)
    , Error(*jack.ErrorCallback)
    , Info(*jack.InfoCallback)
{
    Jack.SetErrorFunction(&Quiet);
    Jack.SetInfoFunction(&Quiet);
}

TJackSilence::~TJackSilence()
{
    Jack.SetErrorFunction(Error);
    Jack.SetInfoFunction(Info);
}

std::chrono::microseconds JackServerPeriod()
{
    const TJackLibrary *jack = JackLibrary();
    if (!jack)
        return {};
    const TJackSilence silence(*jack);
    jack_status_t status {};
    jack_client_t *client = jack->ClientOpen("Ombrix period", JackNoStartServer, &status);
    if (!client)
        return {};
    const jack_nframes_t frames = jack->BufferSize(client);
    const jack_nframes_t rate = jack->SampleRate(client);
    jack->ClientClose(client);
    if (rate == 0)
        return {};
    // Rounded up: a period a little too long costs a microsecond, one too short a drop.
    return std::chrono::microseconds((std::uint64_t(frames) * 1000000 + rate - 1) / rate);
}

} // namespace midi
