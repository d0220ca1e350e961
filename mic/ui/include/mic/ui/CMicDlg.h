// The main window of mic, "Remote Microphone Amplifier Control": 12 channel strips of the
// displayed rack, 16 rack buttons, the info and status pictures and the Load, Store, Setup and
// Exit buttons. It draws and forwards: every rule lives in mic::MicController, which calls back
// through the MicView interface this window implements.
#pragma once

#include <QDialog>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "mic/core/MicController.h"
#include "mic/core/MicView.h"
#include "mic/ui/CBigControls2.h"
#include "mic/ui/StripPictures.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace Ui {
class CMicDlg;
}

namespace mic {
class CSerialPort;
class CSerialPortControl;
}  // namespace mic

namespace mic::ui {

class CBmpButton;
class CBigControls2;
class CMicTypeTag;
class CDiagnostics;
class CPictureLabel;
class RackSyncMark;
class QtMicTimers;
class QtMainThreadInvoker;

class CMicDlg : public QDialog, public MicView {
    Q_OBJECT

  public:
    struct Options {
        MicConfig config;
        int consoleType = 0;                    // profile "Console Type": 1 = alternate artwork
        ProfileWriter* profile = nullptr;       // where the settings are written
        ConsoleImageSource* console = nullptr;  // console link (integration only)
        bool serial = true;                     // open the serial line (false: no port at all)
        // Device path of COMn; empty = the machine hive's mapping.
        std::function<std::string(uint32_t)> deviceResolver;
    };

    explicit CMicDlg(Options options, QWidget* parent = nullptr);
    ~CMicDlg() override;

    // Main thread. Dialog initialisation: run-time controls, pictures, port, state, polling.
    // `publish` is called with the window once it may be woken (the single-instance record).
    void Initialise(const std::function<void()>& publish = {});

    MicController& Controller() { return *controller_; }
    CBigControls2* Popup() const { return popup_; }
    CDiagnostics* SetupWindow() const;
    QtMicTimers& Timers() { return *timers_; }
    const CSerialPort* SerialPort() const { return serial_.get(); }

    // Main thread. Shutdown request from the console: save and close without asking.
    void ShutdownRequest();
    // Main thread. The wake-up of a second instance.
    void Wake() { BringToForeground(); }
    // Main thread. The popup driver (also reached through DriveChannelPopup).
    void ShowChannelPopup(int rack, int channel, int previousGainStep, bool fromSelect);
    int ShownPopupPath() const { return shownPath_; }

    // Controls by strip, for the owner and the tests.
    CBmpButton* PhantomButton(int i) const { return phantom_[i]; }
    CBmpButton* PhaseButton(int i) const { return phase_[i]; }
    CBmpButton* PadButton(int i) const { return pad_[i]; }
    CBmpButton* DirectButton(int i) const { return direct_[i]; }
    CBmpButton* RackButton(int r) const { return rack_[r]; }
    QComboBox* GainBox(int i) const { return gainBox_[i]; }
    QLineEdit* NameBox(int i) const { return nameBox_[i]; }
    QComboBox* ConsoleBox(int i) const { return consoleBox_[i]; }
    CPictureLabel* GainDisplay(int i) const { return gainDisplay_[i]; }
    CPictureLabel* NumberTens(int i) const { return tens_[i]; }
    CPictureLabel* NumberUnits(int i) const { return units_[i]; }
    CPictureLabel* InfoPictureLabel() const { return info_; }
    CPictureLabel* StatusPictureLabel() const { return status_; }
    CPictureLabel* RackNumberLabel() const { return rackNumber_; }
    CBmpButton* LoadButton() const { return load_; }
    CBmpButton* StoreButton() const { return store_; }
    CBmpButton* SetupButton() const { return setup_; }
    CBmpButton* ExitButton() const { return exit_; }
    QPushButton* SequentialBox() const { return sequential_; }
    QPushButton* PopupOnSelBox() const { return popupOnSel_; }
    QPushButton* PopupControlsBox() const { return popupControls_; }
    CMicTypeTag* MicTypeTag(int i) const { return micTag_[i]; }

    // MicView (main thread).
    void RedrawChannel(int channel) override;
    void RedrawRack() override;
    void SetRackButtonPicture(int rack, int picture) override;
    void SetRackSyncMark(int rack, RackSync state) override;
    void ShowStatusPicture(StatusPicture picture) override;
    void ShowInfoPicture(int gainStep) override;
    void SetSetupButtonPicture(int picture) override;
    void ShowNameBox(int channel, bool show, bool focus) override;
    void MessageBox(const std::string& text, const std::string& title) override;
    void SetWindowTitle(const std::string& title) override;
    void ShowPortError() override;
    void BringToForeground() override;
    void OpenSetupWindow(const SetupWindowArgs& args) override;
    void DriveChannelPopup(int rack, int channel, int previousGainStep, bool fromSelect) override;
    bool PopupOpeningNotReady() const override;
    bool PopupOpenAndReady() const override;
    void PopupTimerExpired() override;
    void ClearPopup() override;
    void ShowPhantomRefused(int rack, int channel) override;

  public slots:
    void OnLoadPreset();
    void OnStorePreset();
    void OnSetup();
    void OnExit();
    void OnAbout();
    // Main thread. The preview of a chosen preset file; Load applies it with its scope.
    void OpenPresetPreview(const QString& path);
    // Main thread. The strip's microphone menu at a global position.
    void OpenMicTypeMenu(int channel, const QPoint& globalPos);
    // Main thread. The scope of the automatic load and restore.
    void OnRestoreScope();
    // Main thread. "ButtonFromVantor" from the console link: apply the console data. The link
    // posts it (queued) after copying a new mic-line image.
    void OnButtonFromVantor(int wParam, int lParam);

  signals:
    // The window has been closed for good (Exit confirmed or shutdown request).
    void Closed();

  protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void CreateRunTimeControls();
    void Apply(const Redraw& redraw, int channel);
    void RedrawNumber(int channel);
    void RedrawGainDisplay(int channel);
    void FinishClose();
    StripInfo StripOf(int rack, int channel) const;

    Options options_;
    std::unique_ptr<Ui::CMicDlg> ui_;
    std::unique_ptr<QtMicTimers> timers_;
    std::unique_ptr<QtMainThreadInvoker> invoker_;
    // Forwarders through which the controller reaches the serial line built after it.
    class PortForwarder;
    std::unique_ptr<PortForwarder> portForwarder_;
    std::unique_ptr<MicController> controller_;
    std::unique_ptr<CSerialPort> serial_;
    std::unique_ptr<CSerialPortControl> serialControl_;

    std::array<CBmpButton*, 12> phantom_{}, phase_{}, pad_{}, direct_{};
    std::array<QComboBox*, 12> gainBox_{};
    std::array<QLineEdit*, 12> nameBox_{};
    std::array<QComboBox*, 12> consoleBox_{};
    std::array<CPictureLabel*, 12> gainDisplay_{}, tens_{}, units_{};
    std::array<CMicTypeTag*, 12> micTag_{};
    std::array<CBmpButton*, 16> rack_{};
    std::array<RackSyncMark*, 16> rackMark_{};  // created with the first mark shown
    CPictureLabel* info_ = nullptr;
    CPictureLabel* status_ = nullptr;
    CPictureLabel* rackNumber_ = nullptr;
    CBmpButton* load_ = nullptr;
    CBmpButton* store_ = nullptr;
    CBmpButton* setup_ = nullptr;
    CBmpButton* exit_ = nullptr;
    QPushButton* sequential_ = nullptr;
    QPushButton* popupOnSel_ = nullptr;
    QPushButton* popupControls_ = nullptr;

    CBigControls2* popup_ = nullptr;
    QPointer<CDiagnostics> setupWindow_;
    QPointer<QWidget> previousForeground_;
    int shownPath_ = -1;
    bool initialised_ = false;
    bool closing_ = false;
    bool asking_ = false;
    bool redrawing_ = false;  // programmatic control changes are not operator input
};

}  // namespace mic::ui
