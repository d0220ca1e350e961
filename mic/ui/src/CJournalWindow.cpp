#include "mic/ui/CJournalWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QTableView>
#include <QVBoxLayout>

#include "mic/ui/JournalTableModel.h"

namespace mic::ui {

using mic::journal::JournalFilter;
using mic::journal::JournalRow;

CJournalWindow::CJournalWindow(mic::journal::ChangeJournal& journal, QWidget* parent)
    : QDialog(parent),
      journal_(journal),
      model_(new JournalTableModel(kMaxRows, this)),
      table_(new QTableView(this)),
      rack_(new QComboBox(this)),
      channel_(new QComboBox(this)),
      source_(new QComboBox(this)),
      sinceOn_(new QCheckBox(QStringLiteral("Since"), this)),
      since_(new QDateTimeEdit(QDateTime::currentDateTime().addSecs(-3600), this)),
      count_(new QLabel(this)) {
    setWindowTitle(QStringLiteral("Journal"));
    setAttribute(Qt::WA_DeleteOnClose);

    rack_->addItem(QStringLiteral("All racks"));
    for (int r = 1; r <= 16; ++r) {
        rack_->addItem(QStringLiteral("Rack %1").arg(r));
    }
    channel_->addItem(QStringLiteral("All channels"));
    for (int c = 1; c <= 12; ++c) {
        channel_->addItem(QStringLiteral("Channel %1").arg(c));
    }
    source_->addItem(QStringLiteral("All sources"), -1);
    for (int s = 0; s <= static_cast<int>(ChangeSource::Remote); ++s) {
        source_->addItem(QString::fromLatin1(SourceName(static_cast<ChangeSource>(s)).data(),
                                             static_cast<qsizetype>(
                                                 SourceName(static_cast<ChangeSource>(s)).size())),
                         s);
    }
    since_->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    since_->setCalendarPopup(true);
    since_->setEnabled(false);

    auto* filters = new QHBoxLayout;
    filters->addWidget(rack_);
    filters->addWidget(channel_);
    filters->addWidget(source_);
    filters->addWidget(sinceOn_);
    filters->addWidget(since_);
    filters->addStretch();
    filters->addWidget(count_);

    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setWordWrap(false);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(table_);
    resize(900, 480);

    auto reload = [this] { Reload(); };
    connect(rack_, &QComboBox::currentIndexChanged, this, reload);
    connect(channel_, &QComboBox::currentIndexChanged, this, reload);
    connect(source_, &QComboBox::currentIndexChanged, this, reload);
    connect(sinceOn_, &QCheckBox::toggled, this, [this](bool on) {
        since_->setEnabled(on);
        Reload();
    });
    connect(since_, &QDateTimeEdit::dateTimeChanged, this, [this] {
        if (sinceOn_->isChecked()) {
            Reload();
        }
    });

    journal_.AddListener(this);
    Reload();
}

CJournalWindow::~CJournalWindow() {
    journal_.RemoveListener(this);
}

void CJournalWindow::AddEntryTo(QWidget& mainWindow, mic::journal::ChangeJournal& journal) {
    auto* action = new QAction(QStringLiteral("&Journal..."), &mainWindow);
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_J));
    QWidget* owner = &mainWindow;
    auto open = std::make_shared<QPointer<CJournalWindow>>();
    QObject::connect(action, &QAction::triggered, owner, [owner, &journal, open] {
        if (!*open) {
            *open = new CJournalWindow(journal, owner);
        }
        (*open)->show();
        (*open)->raise();
        (*open)->activateWindow();
    });
    mainWindow.addAction(action);
}

JournalFilter CJournalWindow::Filter() const {
    JournalFilter f;
    if (rack_->currentIndex() > 0) {
        f.rack = rack_->currentIndex() - 1;
    }
    if (channel_->currentIndex() > 0) {
        f.channel = channel_->currentIndex() - 1;
    }
    const int source = source_->currentData().toInt();
    if (source >= 0) {
        f.source = static_cast<ChangeSource>(source);
    }
    if (sinceOn_->isChecked()) {
        f.sinceUs = since_->dateTime().toMSecsSinceEpoch() * 1000;
    }
    f.newestFirst = true;
    return f;
}

void CJournalWindow::Reload() {
    JournalFilter f = Filter();
    f.limit = static_cast<int64_t>(kMaxRows);
    model_->Reset(journal_.Read(f));
    ShowCount();
}

void CJournalWindow::JournalRowAdded(const JournalRow& row) {
    if (Matches(Filter(), row)) {
        model_->Prepend(row);
        ShowCount();
    }
}

void CJournalWindow::ShowCount() {
    count_->setText(QStringLiteral("%1 rows").arg(model_->rowCount()));
}

}  // namespace mic::ui
