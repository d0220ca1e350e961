#include "mic/ui/CBigControls2.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "mic/ui/CPictureLabel.h"
#include "mic/ui/Pictures.h"
#include "ui_BigControls2.h"

namespace mic::ui {
namespace {

const QColor kBack(40, 96, 149);
const QColor kNameText(237, 253, 253);

// Alternate gain pictures (console type 1): index (gainDb - 20) / 5 -> offset in the set.
constexpr int kAlternateGain[11] = {0, 1, 3, 4, 5, 6, 8, -1, 10, -1, -1};

}  // namespace

CBigControls2::CBigControls2(int consoleType, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      ui_(std::make_unique<Ui::CBigControls2>()),
      consoleType_(consoleType) {
    ui_->setupUi(this);
    setFixedSize(size());
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_ShowWithoutActivating);
    QPalette p = palette();
    p.setColor(QPalette::Window, kBack);
    setPalette(p);
    setAutoFillBackground(true);
    nameFont_ = QFont(QStringLiteral("DejaVu Sans"));
    nameFont_.setPixelSize(22);
    nameFont_.setBold(true);
    strips_[0].path = -1;
    strips_[2].path = 1000;
    for (int s = 0; s < 3; ++s) {
        findChild<CPictureLabel*>(QStringLiteral("pathHundreds%1").arg(s))->hide();
    }
}

CBigControls2::~CBigControls2() = default;

void CBigControls2::SetStrips(bool force, const StripInfo& left, const StripInfo& middle,
                              const StripInfo& right) {
    const StripInfo* next[3] = {&left, &middle, &right};
    for (int s = 0; s < 3; ++s) {
        const StripInfo& a = strips_[s];
        const StripInfo& b = *next[s];
        bool* c = &changed_[s * kItems];
        c[kPath] = force || a.path != b.path;
        c[kName] = force || a.name != b.name;
        c[kGain] = force || a.gainDb != b.gainDb || a.status != b.status || c[kPath];
        c[kPhantom] = force || a.phantom != b.phantom || c[kPath];
        c[kPad] = force || a.pad != b.pad || c[kPath];
        c[kDirect] = force || a.direct != b.direct || c[kPath];
        c[kPhase] = force || a.phase != b.phase || c[kPath];
        c[kPrevious] = force || a.previousGainDb != b.previousGainDb;
        c[kStatus] = force || a.status != b.status;
        strips_[s] = b;
    }
}

int CBigControls2::GainPicture(int status, int gainDb) const {
    if (status != 1 && status != 2) {
        return 0;
    }
    int index = (gainDb - 20) / 5;
    if (index < 0 || index > 10) {
        return 0;
    }
    const int base = status == 1 ? kPicPopupGainStatus1 : kPicPopupGainStatus2;
    if (consoleType_ != 0) {
        index = kAlternateGain[index];
        if (index < 0) {
            return 0;
        }
    }
    return base + index;
}

void CBigControls2::ShowDigits(CPictureLabel* tens, CPictureLabel* units, int value,
                               int digitBase) {
    if (value < 0) {
        tens->SetPicture(kPicPopupBlankDigit);
        units->SetPicture(kPicPopupBlankDigit);
        return;
    }
    tens->SetPicture(digitBase + (value / 10) % 10);
    units->SetPicture(digitBase + value % 10);
}

void CBigControls2::ShowPath(int s, bool present) {
    auto* hundreds = findChild<CPictureLabel*>(QStringLiteral("pathHundreds%1").arg(s));
    auto* tens = findChild<CPictureLabel*>(QStringLiteral("pathTens%1").arg(s));
    auto* units = findChild<CPictureLabel*>(QStringLiteral("pathUnits%1").arg(s));
    const int path = strips_[s].path;
    if (!present) {
        ShowDigits(tens, units, -1, 0);
        hundreds->hide();
        return;
    }
    ShowDigits(tens, units, path, kPicPopupPathDigit);
    // Console paths run past 99: the hundreds digit appears only then.
    if (path >= 100) {
        hundreds->SetPicture(kPicPopupPathDigit + (path / 100) % 10);
        hundreds->show();
    } else {
        hundreds->hide();
    }
}

void CBigControls2::Refresh() {
    auto pic = [this](const char* name, int s) {
        return findChild<CPictureLabel*>(QString::fromLatin1(name) + QString::number(s));
    };
    for (int s = 0; s < 3; ++s) {
        const StripInfo& st = strips_[s];
        const bool* c = &changed_[s * kItems];
        if (c[kName]) {
            if (!nameFields_[s]) {
                auto* field = new QLineEdit(this);
                field->setObjectName(QStringLiteral("nameField%1").arg(s));
                field->setProperty("controlId", 1277 + s);
                field->setReadOnly(true);
                field->setFocusPolicy(Qt::NoFocus);
                field->setAttribute(Qt::WA_TransparentForMouseEvents);
                field->setFrame(false);
                field->setAlignment(Qt::AlignCenter);
                field->setFont(nameFont_);
                QPalette p = field->palette();
                p.setColor(QPalette::Base, kBack);
                p.setColor(QPalette::Text, kNameText);
                field->setPalette(p);
                field->setGeometry(QRect(QPoint(10 + 141 * s, 65), QPoint(144 + 141 * s, 94)));
                field->show();
                nameFields_[s] = field;
            }
            nameFields_[s]->setText(st.name);
        }
        const bool middle = s == 1;
        // A path below 0 or above 256 means no neighbour on that side.
        const bool present = middle || (st.path >= 0 && st.path <= 256);
        if (c[kPath]) {
            ShowPath(s, present);
        }
        if (c[kGain] || c[kStatus]) {
            if (present) {
                ShowDigits(pic("gainTens", s), pic("gainUnits", s), st.gainDb,
                           middle ? kPicPopupMiddleGainDigit : kPicPopupSideGainDigit);
                pic("gainPicture", s)->SetPicture(GainPicture(st.status, st.gainDb));
            } else {
                ShowDigits(pic("gainTens", s), pic("gainUnits", s), -1, 0);
                pic("gainPicture", s)->SetPicture(kPicPopupBlankGain);
            }
        }
        auto sw = [&](Item item, const char* name, bool on, int offPicture, int onPicture) {
            if (c[item]) {
                pic(name, s)->SetPicture(!present ? kPicPopupBlankSwitch
                                                  : (on ? onPicture : offPicture));
            }
        };
        sw(kPhantom, "phantom", st.phantom, kPicPopupPhantomOff, kPicPopupPhantomOn);
        sw(kPad, "pad", st.pad, kPicPopupPadOff, kPicPopupPadOn);
        sw(kDirect, "direct", st.direct, kPicPopupDirectOff, kPicPopupDirectOn);
        sw(kPhase, "phase", st.phase, kPicPopupPhaseOff, kPicPopupPhaseOn);
        if (middle && c[kPrevious]) {
            if (st.previousGainDb >= 0) {
                ShowDigits(ui_->prevGainTens1, ui_->prevGainUnits1, st.previousGainDb,
                           kPicPopupMiddleGainDigit);
                previousShown = true;
            } else if (!previousShown) {
                ShowDigits(ui_->prevGainTens1, ui_->prevGainUnits1, -1, 0);
            }
        }
    }
    changed_.fill(false);
    ready = true;
}

void CBigControls2::EmptyNames() {
    for (auto& s : strips_) {
        s.name.clear();
    }
}

void CBigControls2::Close() {
    open = false;
    ready = false;
    previousShown = false;
    for (auto*& field : nameFields_) {
        delete field;
        field = nullptr;
    }
    EmptyNames();
    hide();
}

int CBigControls2::ItemPicture(const QString& objectName) const {
    auto* label = findChild<CPictureLabel*>(objectName);
    return label && label->isVisibleTo(this) ? label->Picture() : 0;
}

void CBigControls2::keyPressEvent(QKeyEvent* event) {
    event->accept();
}

void CBigControls2::mousePressEvent(QMouseEvent* event) {
    event->accept();
}

void CBigControls2::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
}

void CBigControls2::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter p(this);
    p.setPen(QPen(QColor(0xED, 0xFB, 0xFD, 90), 1));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace mic::ui
