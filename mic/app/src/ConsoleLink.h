// mic's part in the console system, made only when console integration is on: the mic-line
// receiver and the client-monitor receptacle, the object server's pushes delivered on the main
// thread, and the object-server library's message boxes shown as Qt boxes.
#pragma once

#include <QObject>
#include <QPointer>
#include <memory>

#include "mic/core/ConsoleNotices.h"

namespace mic {
class CMicLineInterface;
class CClientMonitorReceptacle;
class ConsoleImageSource;
namespace ui {
class CMicDlg;
}
}  // namespace mic

namespace platform::com {
class QtBusWatcher;
}

namespace mic::app {

class ConsoleLink : public QObject, public ConsoleNoticeTarget {
  public:
    // Main thread, before the main window: prepares the object-server calls of this thread,
    // watches its connection in the Qt loop and makes the mic-line receiver.
    ConsoleLink();
    // Deletes the mic-line receiver, then the receptacle.
    ~ConsoleLink() override;

    // The receiver's image, for the main window's options.
    ConsoleImageSource* ImageSource() const;
    // Main thread, once the main window exists: its notices go to `window`; MLAttach.
    void AttachMicLine(mic::ui::CMicDlg& window);
    // Main thread, once the dialog is initialised: the receptacle registers as "mic".
    void AttachClientMonitor();

    // ConsoleNoticeTarget: queued on the main thread; handled by the window while it lives.
    void Post(std::function<void()> notice) override;
    void OnButtonFromVantor(int wParam, int lParam) override;
    void OnCloseRequest() override;

  private:
    QPointer<mic::ui::CMicDlg> window_;
    std::unique_ptr<platform::com::QtBusWatcher> pump_;
    std::unique_ptr<CMicLineInterface> micLine_;
    std::unique_ptr<CClientMonitorReceptacle> monitor_;
};

// Main thread: message boxes of the libraries become Qt boxes. Where no one can press a
// button (offscreen) or off the main thread they are written to stderr and the event log.
void InstallQtMessageBoxes();

}  // namespace mic::app
