// A stand-in for a deliverable that reads the console settings: built twice as two shared
// libraries, so that a test can load both into one process.
#include <console/ConsoleSettings.h>

extern "C" const ConsoleSettings* ReadSettingsFromThisLibrary() {
    ReadConsoleSettings();
    return &GetConsoleSettings();
}
