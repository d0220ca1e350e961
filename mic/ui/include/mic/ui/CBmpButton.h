// Push buttons that show one numbered picture: every per-channel switch, the rack buttons and
// (on a black face) the command buttons of the main window. The window changes the picture to
// show the switch state.
#pragma once

#include <QColor>
#include <QPushButton>
#include <QRect>

namespace mic::ui {

class CBmpButton : public QPushButton {
    Q_OBJECT
    Q_PROPERTY(int picture READ Picture WRITE SetPicture)
    Q_PROPERTY(bool framed READ Framed WRITE SetFramed)
    Q_PROPERTY(bool drawText READ DrawText WRITE SetDrawText)

  public:
    explicit CBmpButton(QWidget* parent = nullptr);

    // Main thread. Nothing happens when the picture already is `number`; otherwise the
    // picture changes, stretching is switched off, focus drawing on, and the button repaints.
    void SetPicture(int number);
    int Picture() const { return pictureId_; }

    // Framed buttons always draw a 3-D edge, the default frame and the focus rectangle; flat
    // ones draw an edge only while the pointer is over them.
    void SetFramed(bool framed);
    bool Framed() const { return framed_; }
    void SetShiftWhenPressed(bool shift) { shiftWhenPressed_ = shift; }
    void SetStretch(bool stretch);
    void SetShowFocus(bool show) { showFocus_ = show; }
    // Draws the button's text over the picture (the rack buttons carry their number).
    void SetDrawText(bool draw);
    bool DrawText() const { return drawText_; }
    void SetFaceColour(QColor colour);
    QColor FaceColour() const { return faceColour_; }
    // Kept for the bitmap rules; SVG pictures carry their own transparency.
    QColor MaskColour() const { return maskColour_; }
    // Area in which the picture is centred; empty = the whole button.
    void SetDrawRect(const QRect& rect) { drawRect_ = rect; }
    bool Hover() const { return hover_; }
    QSize PictureSizeHint() const { return QSize(pictureWidth_, pictureHeight_); }

  protected:
    CBmpButton(QColor mask, QColor face, QWidget* parent);
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    int pictureId_ = 0;
    bool framed_ = true;
    bool shiftWhenPressed_ = true;
    bool stretch_ = false;
    bool hover_ = false;
    bool showFocus_ = true;
    bool drawText_ = false;
    QColor maskColour_{192, 192, 192};
    QColor faceColour_;
    int pictureWidth_ = 0;
    int pictureHeight_ = 0;
    QRect drawRect_;
};

// The same button on a black face (the command buttons).
class CBlackBmpButton : public CBmpButton {
    Q_OBJECT

  public:
    explicit CBlackBmpButton(QWidget* parent = nullptr);
};

}  // namespace mic::ui

using mic::ui::CBlackBmpButton;
using mic::ui::CBmpButton;
