// The big-controls popup: a borderless window on top of other programs that shows three
// channel strips in large pictures, the changed or selected channel in the middle and its
// nearest neighbours by console path on the left and right. It cannot be operated: keys and
// left clicks on it are swallowed. The main window's popup driver decides what it shows.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QString>
#include <array>
#include <memory>

namespace Ui {
class CBigControls2;
}

namespace mic::ui {

class CPictureLabel;

struct StripInfo {
    int path = -1;            // console path 1-120; -1 no left neighbour, 1000 no right one
    QString name;             // empty when there is no neighbour
    int status = 0;           // 1 or 2 select the gain artwork
    int previousGainDb = -1;  // middle strip: gain before the change; -1 keeps what is shown
    int gainDb = 0;           // 5 x step + 5
    bool phantom = false;
    bool pad = false;
    bool direct = false;
    bool phase = false;
    bool operator==(const StripInfo&) const = default;
};

class CBigControls2 : public QDialog {
    Q_OBJECT

  public:
    // Main thread. `consoleType` 1 chooses the alternate gain pictures.
    explicit CBigControls2(int consoleType, QWidget* parent = nullptr);
    ~CBigControls2() override;

    // Main thread. Marks the items that differ from what is shown (all with `force`) and
    // keeps the new strips; Refresh() paints them.
    void SetStrips(bool force, const StripInfo& left, const StripInfo& middle,
                   const StripInfo& right);
    // Main thread. Paints the changed items and sets ready.
    void Refresh();
    // Main thread. Clears open, ready and previousShown, removes the name fields, empties the
    // names and hides the popup.
    void Close();
    // Main thread. Empties the three strips' names (the timer-3 close does so before Close).
    void EmptyNames();

    bool open = false;
    bool ready = false;
    bool previousShown = false;

    const StripInfo& Strip(int i) const { return strips_[i]; }
    // Picture shown by a named item, for tests ("gainPicture1", "pathTens0", ...).
    int ItemPicture(const QString& objectName) const;
    QLineEdit* NameField(int strip) const { return nameFields_[strip]; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    // Items per strip, in the order of the `changed` flags.
    enum Item { kPath, kName, kGain, kPhantom, kPad, kDirect, kPhase, kPrevious, kStatus };
    static constexpr int kItems = 9;

    int GainPicture(int status, int gainDb) const;
    void ShowDigits(CPictureLabel* tens, CPictureLabel* units, int value, int digitBase);
    void ShowPath(int strip, bool present);

    std::unique_ptr<Ui::CBigControls2> ui_;
    int consoleType_;
    std::array<StripInfo, 3> strips_;
    std::array<bool, 27> changed_{};
    std::array<QLineEdit*, 3> nameFields_{};
    QFont nameFont_;
};

}  // namespace mic::ui
