// The "Setup / Test" window: firmware versions of the 16 racks, test and reset buttons, the
// communication port, the debug log, console integration and the start-up options. It changes
// nothing itself: every action is posted to the main window (SetupAction), which applies it on
// its own thread while this window stays open.
#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <memory>

namespace Ui {
class CDiagnostics;
}

namespace mic::ui {

class CDiagnostics : public QDialog {
    Q_OBJECT

  public:
    explicit CDiagnostics(QWidget* parent = nullptr);
    ~CDiagnostics() override;

    // Main thread, before the window is shown.
    void SetPortIndex(int port);  // port 1-4, 5 = "Disabled"
    void SetIntegrate(bool on);
    void SetAutoOptions(bool autoLoad, bool autoRestore);
    void SetVersionText(int rack, const QString& text);  // other rack numbers are ignored

    int PortIndex() const { return portIndex_; }
    bool Integrate() const { return integrate_; }
    bool AutoLoad() const { return autoLoad_; }
    bool AutoRestore() const { return autoRestore_; }
    QString VersionText(int rack) const;

    // Values that outlive the window; the next window starts from the debug and auto flags.
    static bool processDebugLog;
    static bool processIntegrate;
    static bool processAutoLoad;
    static bool processAutoRestore;

    // Where the console program must exist for integration (tests point it elsewhere).
    static QString ConsoleProgramPath();

  signals:
    // Posted to the main window: value, action number.
    void SetupAction(int value, int action);

  private:
    void Exchange(bool toControls);
    void OnIntegrateClicked();
    void OnAutoLoadClicked();
    void OnAutoRestoreClicked();

    std::unique_ptr<Ui::CDiagnostics> ui_;
    std::array<QString, 16> versions_;
    bool debugLog_ = false;
    int portIndex_ = -1;
    bool integrate_ = false;
    bool autoLoad_ = false;
    bool autoRestore_ = false;
};

}  // namespace mic::ui
