#include "mic/ui/CBmpButton.h"

#include <qdrawutil.h>
#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOptionButton>

#include "mic/ui/Pictures.h"

namespace mic::ui {

CBmpButton::CBmpButton(QWidget* parent)
    : CBmpButton(QColor(192, 192, 192), QApplication::palette().color(QPalette::Button), parent) {}

CBmpButton::CBmpButton(QColor mask, QColor face, QWidget* parent)
    : QPushButton(parent), maskColour_(mask), faceColour_(face) {
    setAutoDefault(false);
    setAttribute(Qt::WA_Hover);
}

void CBmpButton::SetPicture(int number) {
    if (pictureId_ == number) {
        return;
    }
    pictureId_ = number;
    stretch_ = false;
    showFocus_ = true;
    const QSize size = PictureSize(number);
    pictureWidth_ = size.width();
    pictureHeight_ = size.height();
    repaint();
}

void CBmpButton::SetFramed(bool framed) {
    framed_ = framed;
    update();
}

void CBmpButton::SetStretch(bool stretch) {
    stretch_ = stretch;
    update();
}

void CBmpButton::SetDrawText(bool draw) {
    drawText_ = draw;
    update();
}

void CBmpButton::SetFaceColour(QColor colour) {
    faceColour_ = colour;
    update();
}

void CBmpButton::enterEvent(QEnterEvent* event) {
    if (!framed_) {
        hover_ = true;
        update();
    }
    QPushButton::enterEvent(event);
}

void CBmpButton::leaveEvent(QEvent* event) {
    if (hover_) {
        hover_ = false;
        update();
    }
    QPushButton::leaveEvent(event);
}

void CBmpButton::mouseReleaseEvent(QMouseEvent* event) {
    QPushButton::mouseReleaseEvent(event);
    if (hover_) {
        hover_ = false;
        update();
    }
}

void CBmpButton::paintEvent(QPaintEvent*) {
    if (pictureId_ == 0) {
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QRect item = rect();
    const QRect area = drawRect_.isEmpty() ? item : drawRect_;
    const bool pressed = isDown();

    if (framed_) {
        painter.fillRect(item, faceColour_);
    }
    if (framed_ && isDefault()) {
        painter.setPen(Qt::black);
        painter.drawRect(item.adjusted(0, 0, -1, -1));
        item.adjust(1, 1, -1, -1);
    }
    if (framed_) {
        qDrawShadePanel(&painter, item, palette(), pressed, 2);
    }

    // Centre the picture; one that is larger than the area is scaled down to fit.
    QSizeF size(pictureWidth_, pictureHeight_);
    const QRectF inner = framed_ ? QRectF(area).adjusted(2, 2, -2, -2) : QRectF(area);
    QRectF target;
    if (stretch_) {
        target = QRectF(area).adjusted(3, 3, -3, -3);
    } else {
        if (size.width() > inner.width() || size.height() > inner.height()) {
            size.scale(inner.size(), Qt::KeepAspectRatio);
        }
        target = QRectF(QPointF(0, 0), size);
        target.moveCenter(inner.center());
        if (pressed && shiftWhenPressed_) {
            target.translate(framed_ ? 2 : 1, framed_ ? 2 : 1);
        }
    }
    if (isEnabled()) {
        PaintPicture(painter, pictureId_, target);
    } else {
        // Disabled: the picture as the style draws a disabled icon.
        const qreal dpr = devicePixelRatioF();
        QPixmap pixmap((target.size() * dpr).toSize());
        pixmap.setDevicePixelRatio(dpr);
        pixmap.fill(Qt::transparent);
        {
            QPainter p(&pixmap);
            PaintPicture(p, pictureId_, QRectF(QPointF(0, 0), target.size()));
        }
        QStyleOption option;
        option.initFrom(this);
        painter.drawPixmap(target.topLeft(),
                           style()->generatedIconPixmap(QIcon::Disabled, pixmap, &option));
    }

    if (drawText_ && !text().isEmpty()) {
        QFont f = font();
        f.setBold(true);
        painter.setFont(f);
        painter.setPen(isEnabled() ? QColor(0xED, 0xFB, 0xFD) : QColor(0x70, 0x80, 0x90));
        painter.drawText(target.adjusted(target.height() * 0.7, 0, 0, 0), Qt::AlignCenter, text());
    }

    // Flat buttons show an edge while the pointer is over them.
    if (!framed_ && hover_) {
        painter.setPen(QPen(QColor(0xED, 0xFB, 0xFD, 150), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    }
    if (hasFocus() && showFocus_) {
        if (framed_) {
            QStyleOptionFocusRect focus;
            focus.initFrom(this);
            focus.rect = item.adjusted(4, 4, -4, -4);
            style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
        } else {
            // A corner mark at the bottom right, in a colour that shows on the dark artwork.
            QPen pen(QColor(0xFF, 0xD0, 0x40), 2);
            painter.setPen(pen);
            const QRect r = rect();
            const int mx = r.center().x();
            const int my = r.center().y();
            painter.drawLine(r.right() - 2, my, r.right() - 2, r.bottom() - 2);
            painter.drawLine(r.right() - 2, r.bottom() - 2, mx, r.bottom() - 2);
        }
    }
}

CBlackBmpButton::CBlackBmpButton(QWidget* parent)
    : CBmpButton(QColor(192, 192, 0), QColor(Qt::black), parent) {}

}  // namespace mic::ui
