#include "mic/ui/CMicTypeTag.h"

#include <QActionGroup>
#include <array>

namespace mic::ui {

namespace {

constexpr int kFlashMs = 3000;
constexpr int kTagHeight = 11;
constexpr int kTagWidth = 24;

struct TagLook {
    const char* text;
    bool unsafe;
};
constexpr std::array<TagLook, kMicTypeCount> kLooks{{
    {"", false},
    {"CND", false},
    {"DYN", false},
    {"RIB", true},
    {"LINE", true},
}};

const char* kQuiet = "QLabel { color: #c8d4df; background: rgba(0, 0, 0, 110); }";
const char* kAlarm = "QLabel { color: #ffffff; background: #c0141c; font-weight: bold; }";

}  // namespace

CMicTypeTag::CMicTypeTag(QWidget* parent) : QLabel(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAlignment(Qt::AlignCenter);
    QFont f = font();
    f.setPixelSize(8);
    setFont(f);
    flash_.setSingleShot(true);
    flash_.setInterval(kFlashMs);
    connect(&flash_, &QTimer::timeout, this, [this] { ShowType(); });
    hide();
}

void CMicTypeTag::Attach(const QRect& button) {
    button_ = button;
    ShowType();
}

void CMicTypeTag::SetType(MicType type) {
    if (type == type_)
        return;
    type_ = type;
    if (!flash_.isActive())
        ShowType();
}

void CMicTypeTag::FlashRefusal() {
    setGeometry(button_.x(), button_.y(), button_.width(), kTagHeight + 2);
    setText(QStringLiteral("NO 48V"));
    setStyleSheet(QString::fromLatin1(kAlarm));
    show();
    raise();
    flash_.start();
}

void CMicTypeTag::ShowType() {
    const TagLook& look = kLooks[static_cast<size_t>(type_) % kLooks.size()];
    setGeometry(button_.right() + 1 - kTagWidth, button_.y(), kTagWidth, kTagHeight);
    setText(QString::fromLatin1(look.text));
    setStyleSheet(QString::fromLatin1(look.unsafe ? kAlarm : kQuiet));
    setVisible(type_ != MicType::Unknown);
    raise();
}

QMenu* MakeMicTypeMenu(QWidget* parent, int channel, MicType current,
                       const std::function<void(MicType)>& chosen) {
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("micTypeMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addSection(QStringLiteral("Microphone on channel %1").arg(channel + 1));
    auto* group = new QActionGroup(menu);
    for (int t = 0; t < kMicTypeCount; ++t) {
        const auto type = static_cast<MicType>(t);
        QString name =
            QString::fromLatin1(MicTypeName(type).data(), qsizetype(MicTypeName(type).size()));
        name[0] = name[0].toUpper();
        QAction* a = menu->addAction(name);
        a->setObjectName(QStringLiteral("micType") + name);
        a->setCheckable(true);
        a->setChecked(type == current);
        a->setActionGroup(group);
        if (!PhantomAllowed(type))
            a->setToolTip(QStringLiteral("Phantom power is refused on this channel"));
        QObject::connect(a, &QAction::triggered, menu, [chosen, type] { chosen(type); });
    }
    return menu;
}

}  // namespace mic::ui
