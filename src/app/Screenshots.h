#pragma once

#include <QString>

class TProgramWindows;

// Takes the README's pictures from the running program: once the main window is on screen,
// grabs it, then opens the mixer and the setup dialog from the menu as a user would and grabs
// each once it has filled in, then starts File > Read Patch Names and grabs the main window with
// the progress over it before cancelling, and ends the program. The files main.png, mixer.png,
// setup.png and readnames.png are written into directory; the program ends with status 1 when
// one cannot be written.
//
// The pixels come from the screen (QScreen::grabWindow), so under Xvfb they are what the X
// server shows, at the screen's scale.
void TakeScreenshots(TProgramWindows &windows, const QString &directory);
