#include "mic/ui/CPresetPreview.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <array>

#include "mic/core/RecallScope.h"
#include "mic/ui/CRecallScopeBox.h"

namespace mic::ui {

namespace {

QString Latin1(std::string_view s) {
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

QString Changes(int n) {
    return n == 1 ? QStringLiteral("1 change") : QStringLiteral("%1 changes").arg(n);
}

// "3 changes", "3 changes, 1 refused".
QString Tally(int applied, int refused) {
    QString text = Changes(applied);
    if (refused > 0)
        text += QStringLiteral(", %1 refused").arg(refused);
    return text;
}

}  // namespace

CPresetPreview::CPresetPreview(const QString& fileTitle, PreviewFn preview, bool readable,
                               QWidget* parent)
    : QDialog(parent), preview_(std::move(preview)), readable_(readable) {
    setObjectName(QStringLiteral("presetPreviewDialog"));
    setWindowTitle(QStringLiteral("Load Preset - %1").arg(fileTitle));
    auto* layout = new QVBoxLayout(this);
    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("previewSummary"));
    summary_->setWordWrap(true);
    layout->addWidget(summary_);
    tree_ = new QTreeWidget(this);
    tree_->setObjectName(QStringLiteral("previewTree"));
    tree_->setHeaderHidden(true);
    tree_->setMinimumSize(420, 260);
    layout->addWidget(tree_);
    scope_ = new CRecallScopeBox(QStringLiteral("Take from the file"), this);
    layout->addWidget(scope_);
    auto* buttons = new QDialogButtonBox(this);
    load_ = buttons->addButton(QStringLiteral("&Load"), QDialogButtonBox::AcceptRole);
    load_->setObjectName(QStringLiteral("loadButton"));
    QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    // The counts beside the parts are those of the whole file, so that a part switched off
    // still says what it would bring.
    scope_->SetCounts(CountPreview(preview_(kRecallEverything)));
    connect(scope_, &CRecallScopeBox::ScopeChanged, this, [this](uint32_t s) { Fill(s); });
    Fill(kRecallEverything);
}

uint32_t CPresetPreview::Scope() const {
    return scope_->Scope();
}

QString CPresetPreview::ChangeText(const ChannelChange& c) {
    QString text = Latin1(FieldName(c.field)) + QStringLiteral(": ");
    if (c.field == ChannelField::Name) {
        text += QStringLiteral("\"%1\" → \"%2\"").arg(Latin1(c.oldText), Latin1(c.newText));
    } else {
        text += Latin1(ValueText(c.field, c.oldValue)) + QStringLiteral(" → ") +
                Latin1(ValueText(c.field, c.newValue));
    }
    if (c.refused)
        text += QStringLiteral("  (refused: %1)").arg(Latin1(c.reason));
    return text;
}

void CPresetPreview::Fill(uint32_t scope) {
    const std::vector<ChannelChange> changes = preview_(scope);
    const PreviewCounts n = CountPreview(changes);
    tree_->clear();
    QTreeWidgetItem* rackItem = nullptr;
    QTreeWidgetItem* channelItem = nullptr;
    int rack = -1;
    int channel = -1;
    std::array<int, 2> rackCount{};  // applied, refused
    std::array<int, 2> channelCount{};
    auto closeChannel = [&] {
        if (channelItem)
            channelItem->setText(0, QStringLiteral("Channel %1: %2")
                                        .arg(channel + 1)
                                        .arg(Tally(channelCount[0], channelCount[1])));
    };
    auto closeRack = [&] {
        closeChannel();
        if (rackItem)
            rackItem->setText(
                0,
                QStringLiteral("Rack %1: %2").arg(rack + 1).arg(Tally(rackCount[0], rackCount[1])));
    };
    for (const ChannelChange& c : changes) {
        if (c.rack != rack) {
            closeRack();
            rackItem = new QTreeWidgetItem(tree_);
            rackItem->setExpanded(true);
            rack = c.rack;
            channel = -1;
            channelItem = nullptr;
            rackCount = {};
        }
        if (c.channel != channel) {
            closeChannel();
            channelItem = new QTreeWidgetItem(rackItem);
            channelItem->setExpanded(true);
            channel = c.channel;
            channelCount = {};
        }
        auto* line = new QTreeWidgetItem(channelItem, {ChangeText(c)});
        if (c.refused)
            line->setForeground(0, QColor(0xff, 0x60, 0x60));
        ++rackCount[c.refused ? 1 : 0];
        ++channelCount[c.refused ? 1 : 0];
    }
    closeRack();
    tree_->expandAll();

    QString text;
    if (!readable_) {
        text = QStringLiteral(
            "The file cannot be read: the racks are sent their present state "
            "again and nothing changes.");
    } else if (changes.empty()) {
        text = QStringLiteral("Nothing changes: the racks already hold what the file has.");
    } else {
        text = QStringLiteral("%1 on %2 channel(s) of %3 rack(s).")
                   .arg(Tally(n.Applied(), n.refused))
                   .arg(n.channels)
                   .arg(n.racks);
        if (n.refused > 0)
            text += QStringLiteral(
                " Phantom power is refused where the microphone type forbids "
                "it; the rest of those channels is loaded.");
    }
    summary_->setText(text);
    load_->setEnabled(scope != 0);
}

}  // namespace mic::ui
