#include "Application.h"

#include "midi/RtMidiPorts.h"

int main(int argc, char **argv)
{
    // Before any thread exists.
    midi::PrepareProcessEnvironment();
    return RunOmbrix(argc, argv);
}
