#pragma once

// What the program asks of the operating system, behind one small interface: the wake that a
// thread raises for the window thread, environment variables, the signals that stop a program
// without a window, and functions of libraries the process has loaded already. Each system has
// one file that implements it (System<CMAKE_SYSTEM_NAME>.cpp: SystemLinux.cpp here); a port to
// another system adds its file and changes nothing else. No other file of the program includes
// a system header.

#include <cstdint>
#include <functional>
#include <memory>

namespace midi {

// Stops watching when destroyed.
class IWatch
{
public:
    virtual ~IWatch() = default;
};

// The window thread's event loop, given from above (the toolkit's notifiers): told to call
// ready on the window thread whenever the system object is ready. A system file uses the kind
// its wake is.
class IEventLoop
{
public:
    virtual ~IEventLoop() = default;
    // A descriptor or a socket that is readable (Linux, macOS).
    virtual std::unique_ptr<IWatch> WatchReadable(std::intptr_t descriptor,
                                                  std::function<void()> ready)
        = 0;
    // An event object that is signalled (Windows).
    virtual std::unique_ptr<IWatch> WatchSignalled(void *event, std::function<void()> ready) = 0;
};

// A wake: raised on any thread, without a lock or an allocation, and seen on the window thread,
// which takes the raised wakes before it looks at what they announce, so that a raise after the
// look wakes it again.
class TWake
{
public:
    // Throws std::runtime_error when the system has no wake left.
    TWake(IEventLoop &loop, std::function<void()> ready);
    ~TWake();
    TWake(const TWake &) = delete;
    TWake &operator=(const TWake &) = delete;

    void Raise() noexcept;
    void Take() noexcept;

private:
    std::intptr_t Handle = -1;
    std::unique_ptr<IWatch> Watching;
};

// Sets an environment variable; an existing value stays unless replace.
void SetEnvironment(const char *name, const char *value, bool replace);

// The signals that ask a program without a window to end (SIGINT and SIGTERM; a console's
// Ctrl+C): made before any thread starts, so that every thread leaves them to Wait, which
// returns when one comes.
class TStopSignals
{
public:
    TStopSignals();
    ~TStopSignals();
    TStopSignals(const TStopSignals &) = delete;
    TStopSignals &operator=(const TStopSignals &) = delete;
    void Wait();

private:
    struct TState;
    std::unique_ptr<TState> State;
};

// The JACK client library, if the process has loaded it already (nothing is loaded for the
// question), or null.
void *LoadedJackLibrary();
// A function of a library found by LoadedJackLibrary, or null.
void *LibraryFunction(void *library, const char *name);
// The system's own MIDI library prints nothing of its own: its failures reach the user through
// RtMidi's texts.
void SilenceSystemMidiLibrary();

} // namespace midi
