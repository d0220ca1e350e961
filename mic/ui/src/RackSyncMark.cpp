#include "mic/ui/RackSyncMark.h"

#include <QEvent>
#include <QPainter>

namespace mic::ui {

namespace {

constexpr int kDiameter = 7;
constexpr int kInset = 2;

QColor MarkColour(RackSync state) {
    switch (state) {
        case RackSync::InSync:
            return QColor(0x3C, 0xC8, 0x50);
        case RackSync::Verifying:
            return QColor(0xF0, 0xB4, 0x28);
        case RackSync::Differs:
            return QColor(0xE6, 0x32, 0x28);
        case RackSync::Unknown:
            break;
    }
    return {};
}

}  // namespace

RackSyncMark::RackSyncMark(QWidget* button) : QWidget(button) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    resize(kDiameter + 2, kDiameter + 2);
    button->installEventFilter(this);
    Place();
    hide();
}

void RackSyncMark::SetState(RackSync state) {
    if (state_ == state)
        return;
    state_ = state;
    setVisible(state != RackSync::Unknown);
    setToolTip(state == RackSync::Differs ? tr("The rack holds values the window does not show")
                                          : QString());
    update();
}

void RackSyncMark::Place() {
    if (QWidget* button = parentWidget())
        move(button->width() - width() - kInset, kInset);
}

bool RackSyncMark::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        Place();
    return QWidget::eventFilter(watched, event);
}

void RackSyncMark::paintEvent(QPaintEvent*) {
    if (state_ == RackSync::Unknown)
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0, 0, 0, 160), 1));
    p.setBrush(MarkColour(state_));
    p.drawEllipse(QRectF(1, 1, kDiameter, kDiameter));
}

}  // namespace mic::ui
