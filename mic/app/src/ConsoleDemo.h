// The console part of the demonstration run: with console integration on and an object
// server (`rookd`) serving, the console's mic lines are driven with `rookctl`, and the run
// checks that the assigned channels follow at the racks and that the big-controls popup opens,
// holds while its line is selected and closes after the select is released.
#pragma once

#include <QString>

namespace px5r {
class Simulator;
}

namespace mic {
class ConsoleImageSource;
namespace ui {
class CMicDlg;
}
}  // namespace mic

namespace mic::app {

class DemoReport;

// The `rookctl` the run drives the server with: $KESTANE_ROOKCTL, else `rookctl` on the
// PATH, else beside this program; empty when none is found.
QString FindRookctl();

// Main thread, after the racks came on line. Uses the displayed rack; writes the picture of
// the window with the popup held open to `picture`.
void RunConsoleDemo(mic::ui::CMicDlg& window, px5r::Simulator& simulator, ConsoleImageSource& image,
                    DemoReport& report, const QString& picture);

}  // namespace mic::app
