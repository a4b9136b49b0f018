#pragma once

// libjack's calls that RtMidi does not make for us, found at run time in the library RtMidi's
// JACK API has loaded into the process already. The programs do not link libjack themselves:
// JACK stays a suggestion of their package, never a need.

#include <jack/jack.h>
#include <jack/midiport.h>

#include <chrono>

namespace midi {

struct TJackLibrary
{
    decltype(&jack_client_open) ClientOpen = nullptr;
    decltype(&jack_client_close) ClientClose = nullptr;
    decltype(&jack_activate) Activate = nullptr;
    decltype(&jack_deactivate) Deactivate = nullptr;
    decltype(&jack_get_buffer_size) BufferSize = nullptr;
    decltype(&jack_get_sample_rate) SampleRate = nullptr;
    decltype(&jack_port_register) PortRegister = nullptr;
    decltype(&jack_port_get_buffer) PortBuffer = nullptr;
    decltype(&jack_set_process_callback) SetProcessCallback = nullptr;
    decltype(&jack_midi_get_event_count) MidiEventCount = nullptr;
    decltype(&jack_midi_event_get) MidiEventGet = nullptr;
    decltype(&jack_last_frame_time) LastFrameTime = nullptr;
    decltype(&jack_frames_to_time) FramesToTime = nullptr;
    decltype(&jack_get_time) Time = nullptr;
    decltype(&jack_set_error_function) SetErrorFunction = nullptr;
    decltype(&jack_set_info_function) SetInfoFunction = nullptr;
    decltype(&jack_get_uuid_for_client_name) UuidOfClient = nullptr;
    decltype(&jack_free) Free = nullptr;
    // libjack's current reporters, so that a silence can be undone.
    decltype(&jack_error_callback) ErrorCallback = nullptr;
    decltype(&jack_info_callback) InfoCallback = nullptr;
};

// Null when the process holds no libjack with all of these.
const TJackLibrary *JackLibrary();

// While it lives, libjack reports nothing: a failed question to a server is not the user's
// concern.
class TJackSilence
{
public:
    explicit TJackSilence(const TJackLibrary &jack);
    ~TJackSilence();
    TJackSilence(const TJackSilence &) = delete;
    TJackSilence &operator=(const TJackSilence &) = delete;

private:
    const TJackLibrary &Jack;
    void (*Error)(const char *);
    void (*Info)(const char *);
};

// The period of the running JACK server (its buffer's frames at its sample rate), asked through
// a client of our own that lives only for the question; zero without a server. Prints nothing.
std::chrono::microseconds JackServerPeriod();

} // namespace midi
