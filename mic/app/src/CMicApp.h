// The application object of mic: single instance, the artwork choice from the command line,
// the profile, the serial line (real or simulated) and the main window for the whole life of
// the program.
#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <string>

#include "mic/core/MicSettings.h"

namespace mic::journal {
class ChangeJournal;
}

namespace mic::app {

struct Arguments {
    std::string raw;   // the argument string without the Linux options below
    int simulate = 0;  // --simulate N: N racks of px5r-sim on an internal pty
    QString demoDir;   // --demo DIR: offscreen run that writes screenshot.png and report.txt
    int oscPort = 0;   // --osc PORT: the remote control on for this run
    bool help = false;
    QString error;  // a malformed option
};

// Options are taken out of the arguments; what remains, joined by single blanks, is the raw
// argument string that the "ZERIN" rule compares.
Arguments ParseArguments(const QStringList& arguments);
QString UsageText();

// The change journal with the profile's bounds; nullptr (and a line on stderr) when it cannot
// be opened: mic then runs without it.
std::unique_ptr<mic::journal::ChangeJournal> OpenJournal(const MicSettings& settings,
                                                         bool simulated);

class CMicApp {
  public:
    explicit CMicApp(std::string baseName = "mic");
    // Returns the process exit code. Never enters a message loop of its own beyond the window.
    int InitInstance(const Arguments& args);

  private:
    std::string baseName_;
};

}  // namespace mic::app
