#include "Handlers.h"

#include <cstdio>
#include <optional>
#include <stdexcept>

namespace protocol {

namespace {
// All of this belongs to the window thread.
TErrorReporter Reporter;
int ChangeDepth = 0;
std::optional<std::string> PendingError;
} // namespace

void SetErrorReporter(TErrorReporter reporter)
{
    Reporter = std::move(reporter);
}

void ReportError(const std::string &text)
{
    if (Reporter)
        Reporter(text);
    else
        std::fprintf(stderr, "Ombrix: %s\n", text.c_str());
}

namespace detail {

void Fail(const std::string &text)
{
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

} // namespace protocol
