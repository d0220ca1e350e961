// The offscreen demonstration run of `mic --simulate N --demo DIR`.
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

// Operates the initialised window for a few seconds against the simulated racks (racks come
// on line, switches and a gain are changed, a preset is stored, changed state is replaced by
// loading the preset) and writes DIR/screenshot.png and DIR/report.txt. With `console` (console
// integration on) it then drives the console's mic lines through the object server and checks
// that the assigned channels and the popup follow. Returns 0 when every step reached the racks,
// 1 otherwise.
int RunDemo(mic::ui::CMicDlg& window, px5r::Simulator* simulator, int racks, const QString& dir,
            ConsoleImageSource* console = nullptr);

}  // namespace mic::app
