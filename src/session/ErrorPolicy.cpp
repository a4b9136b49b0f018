#include "ErrorPolicy.h"

#include <cstdio>
#include <optional>
#include <stdexcept>
#include <utility>

namespace session {

namespace {
// All of this belongs to the window thread.
TErrorReporter Reporter;
int ChangeDepth = 0;
std::optional<std::string> PendingError;
std::uint64_t Failures = 0;

int BurstDepth = 0;
std::optional<std::string> BurstFirstError;
int BurstMoreErrors = 0;

void Show(const std::string &text)
{
    if (Reporter)
        Reporter(text);
    else
        std::fprintf(stderr, "Ombrix: %s\n", text.c_str());
}
} // namespace

void SetErrorReporter(TErrorReporter reporter)
{
    Reporter = std::move(reporter);
}

void ReportError(const std::string &text)
{
    if (BurstDepth == 0) {
        Show(text);
    } else if (!BurstFirstError) {
        BurstFirstError = text;
    } else {
        ++BurstMoreErrors;
    }
}

std::uint64_t HandlerFailures()
{
    return Failures;
}

TErrorBurst::TErrorBurst()
{
    ++BurstDepth;
}

TErrorBurst::~TErrorBurst()
{
    if (--BurstDepth > 0 || !BurstFirstError)
        return;
    std::string text = std::move(*BurstFirstError);
    BurstFirstError.reset();
    const int more = std::exchange(BurstMoreErrors, 0);
    if (more > 0)
        text += "\nand " + std::to_string(more) + (more == 1 ? " more message" : " more messages")
            + " could not be sent";
    Show(text);
}

namespace detail {

void Fail(const std::string &text)
{
    ++Failures;
    if (ChangeDepth > 0) {
        if (!PendingError)
            PendingError = text;
    } else {
        ReportError(text);
    }
}

void EnterChange()
{
    ++ChangeDepth;
}

void LeaveChange() noexcept
{
    --ChangeDepth;
}

void LeaveChangeAndRethrow()
{
    --ChangeDepth;
    if (PendingError) {
        std::string text = std::move(*PendingError);
        PendingError.reset();
        throw std::runtime_error(text);
    }
}

TSuspendedChanges::TSuspendedChanges()
    : SavedDepth(ChangeDepth)
{
    ChangeDepth = 0;
}

TSuspendedChanges::~TSuspendedChanges()
{
    ChangeDepth = SavedDepth;
}

} // namespace detail

} // namespace session
