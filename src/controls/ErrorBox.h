#pragma once

// The standard error box: shows the text of an error raised by a handler, and the event loop
// goes on.
void InstallErrorBox();
