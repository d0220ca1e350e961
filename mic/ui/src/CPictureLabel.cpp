#include "mic/ui/CPictureLabel.h"

#include <QPainter>

#include "mic/ui/Pictures.h"

namespace mic::ui {

CPictureLabel::CPictureLabel(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void CPictureLabel::SetPicture(int number) {
    if (picture_ == number) {
        return;
    }
    picture_ = number;
    update();
}

QSize CPictureLabel::sizeHint() const {
    const QSize s = PictureSize(picture_);
    return s.isValid() ? s : QSize(16, 16);
}

void CPictureLabel::paintEvent(QPaintEvent*) {
    if (picture_ == 0) {
        return;
    }
    QSizeF size = PictureSize(picture_);
    if (size.isEmpty()) {
        return;
    }
    const QRectF area = rect();
    if (size.width() > area.width() || size.height() > area.height()) {
        size.scale(area.size(), Qt::KeepAspectRatio);
    }
    QRectF target(QPointF(0, 0), size);
    target.moveCenter(area.center());
    QPainter painter(this);
    PaintPicture(painter, picture_, target);
}

}  // namespace mic::ui
