#pragma once

// How handlers fail. Every handler runs through RunHandler: an error it raises is shown in the
// standard error box, and the event loop goes on; no exception ever reaches the toolkit. Code
// that changes a control whose handler may send (a decoder step, a nested change) wraps the
// change in ChangeControl, so that an error of that handler comes back to it as an exception
// and ends it at that step, as it would if the handler had been called directly.

#include <cstdint>
#include <functional>
#include <string>

namespace session {

using TErrorReporter = std::function<void(const std::string &text)>;

// The application installs the standard error box; tests install a recorder. Without one the
// text goes to standard error.
void SetErrorReporter(TErrorReporter reporter);
void ReportError(const std::string &text);

// How many handlers have failed so far.
std::uint64_t HandlerFailures();

// Runs a step and tells whether every handler it ran succeeded: a control that repeats a step by
// itself stops once its step has failed.
template<class F>
bool StepSucceeds(F &&step)
{
    const std::uint64_t failures = HandlerFailures();
    step();
    return HandlerFailures() == failures;
}

// A request procedure or a burst of sends shows one error box, however many of its messages
// fail: the first error, and a count of the others. While a burst is open, reported errors are
// collected; the outermost burst shows them when it ends. Bursts belong to the window thread.
class TErrorBurst
{
public:
    TErrorBurst();
    ~TErrorBurst();
    TErrorBurst(const TErrorBurst &) = delete;
    TErrorBurst &operator=(const TErrorBurst &) = delete;
};

namespace detail {
void Fail(const std::string &text); // hands the error to an enclosing ChangeControl or reports it
void EnterChange();
void LeaveChangeAndRethrow();
void LeaveChange() noexcept;

// While a handler waits and the event loop runs other handlers, their errors are theirs: they
// go to the error box, not to the change that is waiting.
class TSuspendedChanges
{
public:
    TSuspendedChanges();
    ~TSuspendedChanges();
    TSuspendedChanges(const TSuspendedChanges &) = delete;
    TSuspendedChanges &operator=(const TSuspendedChanges &) = delete;

private:
    int SavedDepth;
};
} // namespace detail

template<class F>
void RunHandler(F &&handler) noexcept
{
    try {
        handler();
    } catch (const std::exception &e) {
        detail::Fail(e.what());
    } catch (...) {
        detail::Fail("Unknown error");
    }
}

// RunHandler for a handler whose sends, and the deliveries decoded while it waits, form one burst.
template<class F>
void RunBurstHandler(F &&handler) noexcept
{
    const TErrorBurst burst;
    RunHandler(std::forward<F>(handler));
}

template<class F>
void ChangeControl(F &&change)
{
    detail::EnterChange();
    try {
        change();
    } catch (...) {
        detail::LeaveChange();
        throw;
    }
    detail::LeaveChangeAndRethrow();
}

} // namespace session
