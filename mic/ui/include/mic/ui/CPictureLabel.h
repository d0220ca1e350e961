// A static picture control: shows one numbered picture, centred at its natural size, or
// scaled down to fit when the control is smaller. Picture 0 shows nothing.
#pragma once

#include <QWidget>

namespace mic::ui {

class CPictureLabel : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int picture READ Picture WRITE SetPicture)

  public:
    explicit CPictureLabel(QWidget* parent = nullptr);

    // Main thread.
    void SetPicture(int number);
    int Picture() const { return picture_; }
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int picture_ = 0;
};

}  // namespace mic::ui

using mic::ui::CPictureLabel;
