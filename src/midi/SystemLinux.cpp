// The system interface on Linux: an eventfd for the wake, POSIX signals and environment, the
// dynamic linker for JACK, and ALSA's error handler.

#include "System.h"

#include <alsa/asoundlib.h>
#include <dlfcn.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <utility>

namespace midi {

namespace {
void PrintNothing(const char *, int, const char *, int, const char *, ...) { }
} // namespace

TWake::TWake(IEventLoop &loop, std::function<void()> ready)
{
    const int descriptor = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (descriptor < 0)
        throw std::runtime_error("No event descriptor is left.");
    Handle = descriptor;
    try {
        Watching = loop.WatchReadable(Handle, std::move(ready));
    } catch (...) {
        close(descriptor);
        throw;
    }
}

TWake::~TWake()
{
    Watching.reset();
    close(static_cast<int>(Handle));
}

void TWake::Raise() noexcept
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(static_cast<int>(Handle), &one, sizeof one);
}

void TWake::Take() noexcept
{
    std::uint64_t wakes = 0;
    [[maybe_unused]] const ssize_t taken = read(static_cast<int>(Handle), &wakes, sizeof wakes);
}

void SetEnvironment(const char *name, const char *value, bool replace)
{
    setenv(name, value, replace ? 1 : 0);
}

struct TStopSignals::TState
{
    sigset_t Signals;
};

TStopSignals::TStopSignals()
    : State(std::make_unique<TState>())
{
    sigemptyset(&State->Signals);
    sigaddset(&State->Signals, SIGTERM);
    sigaddset(&State->Signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &State->Signals, nullptr);
}

TStopSignals::~TStopSignals() = default;

void TStopSignals::Wait()
{
    int signal = 0;
    sigwait(&State->Signals, &signal);
}

void *LoadedJackLibrary()
{
    return dlopen("libjack.so.0", RTLD_LAZY | RTLD_NOLOAD);
}

void *LibraryFunction(void *library, const char *name)
{
    return dlsym(library, name);
}

void SilenceSystemMidiLibrary()
{
    // Looked up in the process rather than linked: RtMidi brings the ALSA library it was built
    // with, and the program needs none of its own.
    if (auto *set = reinterpret_cast<decltype(&snd_lib_error_set_handler)>(
            dlsym(RTLD_DEFAULT, "snd_lib_error_set_handler")))
        set(&PrintNothing);
}

} // namespace midi
