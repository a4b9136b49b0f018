#pragma once

// The errors the handlers report, recorded in place of the error box: a fixture starts the
// recording when a case starts and stops it when the case ends.

#include "session/ErrorPolicy.h"

#include <string>
#include <vector>

class TErrorRecorder
{
public:
    std::vector<std::string> Errors;

    // From now on every reported error is added to Errors.
    void RecordErrors()
    {
        session::SetErrorReporter([this](const std::string &text) { Errors.push_back(text); });
    }
    // Errors go to the standard error again.
    static void StopRecordingErrors() { session::SetErrorReporter(nullptr); }
};
