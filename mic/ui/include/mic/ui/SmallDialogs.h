// The small dialogs of mic: "Port Error", "Please Confirm Action", the about box, the preset
// file dialogs, and the dialog colours every window of the program uses.
#pragma once

#include <QDialog>
#include <QString>
#include <memory>

class QApplication;
class QWidget;
class QFileDialog;

namespace Ui {
class CPortError;
class CConfirmClose;
class CAboutDlg;
}  // namespace Ui

namespace mic::ui {

// Dialog background RGB(0x1D,0x44,0x6B) and text RGB(0xED,0xFB,0xFD) for the whole program.
void ApplyDialogColours(QApplication& app);

class CPortError : public QDialog {
    Q_OBJECT

  public:
    explicit CPortError(QWidget* parent = nullptr);
    ~CPortError() override;

  private:
    std::unique_ptr<Ui::CPortError> ui_;
};

// "&Yes" accepts (close the program), "&No" rejects. Escape answers "&No".
class CConfirmClose : public QDialog {
    Q_OBJECT

  public:
    explicit CConfirmClose(QWidget* parent = nullptr);
    ~CConfirmClose() override;

  private:
    std::unique_ptr<Ui::CConfirmClose> ui_;
};

class CAboutDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    ~CAboutDlg() override;

  private:
    std::unique_ptr<Ui::CAboutDlg> ui_;
};

// The filter of the preset file dialogs.
inline constexpr const char* kPresetFilter = "Mic pre-amp files (*.mic)";

// Builds the preset file dialog: opens on `currentFile` when there is one, otherwise on
// ".mic"; the save dialog asks before overwriting and adds the ".mic" extension. The caller
// runs it (open() or exec()).
QFileDialog* MakePresetDialog(QWidget* parent, bool save, const QString& currentFile);

}  // namespace mic::ui
