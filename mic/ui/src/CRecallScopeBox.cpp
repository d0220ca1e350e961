#include "mic/ui/CRecallScopeBox.h"

#include <QCheckBox>
#include <QGridLayout>

namespace mic::ui {

namespace {

struct Part {
    ChannelField field;
    const char* label;
    const char* name;
};
// In the order the operator thinks of a strip, top to bottom.
constexpr std::array<Part, 7> kParts{{
    {ChannelField::Gain, "&Gains", "scopeGain"},
    {ChannelField::Phantom, "&Phantom power", "scopePhantom"},
    {ChannelField::Phase, "P&hase reverse", "scopePhase"},
    {ChannelField::Pad, "P&ad", "scopePad"},
    {ChannelField::DirectOut, "&Direct outs", "scopeDirect"},
    {ChannelField::Name, "&Names", "scopeNames"},
    {ChannelField::ConsoleChannel, "&Console assignments", "scopeConsole"},
}};

}  // namespace

CRecallScopeBox::CRecallScopeBox(const QString& title, QWidget* parent) : QGroupBox(title, parent) {
    auto* grid = new QGridLayout(this);
    for (size_t k = 0; k < kParts.size(); ++k) {
        auto* box = new QCheckBox(QString::fromLatin1(kParts[k].label), this);
        box->setObjectName(QString::fromLatin1(kParts[k].name));
        box->setChecked(true);
        grid->addWidget(box, static_cast<int>(k % 4), static_cast<int>(k / 4));
        boxes_[static_cast<size_t>(kParts[k].field)] = box;
        connect(box, &QCheckBox::toggled, this, [this] { emit ScopeChanged(Scope()); });
    }
}

uint32_t CRecallScopeBox::Scope() const {
    uint32_t scope = 0;
    for (size_t f = 0; f < boxes_.size(); ++f) {
        if (boxes_[f]->isChecked())
            scope |= RecallPartOf(static_cast<ChannelField>(f));
    }
    return scope;
}

void CRecallScopeBox::SetScope(uint32_t scope) {
    for (size_t f = 0; f < boxes_.size(); ++f) {
        const QSignalBlocker quiet(boxes_[f]);
        boxes_[f]->setChecked((scope & RecallPartOf(static_cast<ChannelField>(f))) != 0);
    }
    emit ScopeChanged(Scope());
}

void CRecallScopeBox::SetCounts(const PreviewCounts& counts) {
    for (const Part& p : kParts) {
        const int n = counts.perField[static_cast<size_t>(p.field)];
        QString text = QString::fromLatin1(p.label);
        if (n > 0)
            text += QStringLiteral(" (%1)").arg(n);
        boxes_[static_cast<size_t>(p.field)]->setText(text);
    }
}

}  // namespace mic::ui
