// The Journal window: what it reads when it opens, what its filters select, and the rows it
// shows as they happen, even before the journal could write them.
#include <sqlite3.h>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QTemporaryDir>
#include <QTest>

#include "mic/journal/ChangeJournal.h"
#include "mic/ui/CJournalWindow.h"
#include "mic/ui/JournalTableModel.h"

using namespace mic;
using namespace mic::ui;

namespace {

ChannelChange Gain(int rack, int channel, int step, ChangeSource source) {
    ChannelChange c;
    c.rack = rack;
    c.channel = channel;
    c.field = ChannelField::Gain;
    c.oldValue = 3;
    c.newValue = step;
    c.origin.source = source;
    return c;
}

QString Cell(JournalTableModel& model, int row, int column) {
    return model.data(model.index(row, column), Qt::DisplayRole).toString();
}

}  // namespace

class JournalWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    std::unique_ptr<journal::ChangeJournal> journal_;
    int64_t now_ = 0;

    QString Path() const { return dir_.filePath(QStringLiteral("journal.db")); }

  private slots:
    void init() {
        QVERIFY(dir_.isValid());
        QFile::remove(Path());
        journal::JournalOptions options;
        options.path = Path().toStdString();
        now_ = QDateTime::currentMSecsSinceEpoch() * 1000;
        options.clock = [this] { return now_; };
        journal_ = journal::ChangeJournal::Open(options);
        QVERIFY(journal_);
        journal_->ChannelChanged(Gain(0, 0, 5, ChangeSource::Operator));
        journal_->ChannelChanged(Gain(1, 3, 6, ChangeSource::FrontPanel));
        journal_->ChannelChanged(Gain(1, 4, 7, ChangeSource::Operator));
    }
    void cleanup() { journal_.reset(); }

    void opensWithTheJournalNewestFirstAndFiltersByRackChannelAndSource() {
        CJournalWindow window(*journal_);
        JournalTableModel& model = window.Model();
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(Cell(model, 0, JournalTableModel::New), QStringLiteral("40 dB"));
        QCOMPARE(Cell(model, 0, JournalTableModel::Rack), QStringLiteral("2"));
        QCOMPARE(Cell(model, 0, JournalTableModel::Channel), QStringLiteral("5"));
        QCOMPARE(Cell(model, 1, JournalTableModel::Source), QStringLiteral("rack front panel"));

        window.RackBox()->setCurrentIndex(2);  // rack 2
        QCOMPARE(model.rowCount(), 2);
        window.SourceBox()->setCurrentIndex(window.SourceBox()->findText("operator"));
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(Cell(model, 0, JournalTableModel::New), QStringLiteral("40 dB"));
        window.RackBox()->setCurrentIndex(0);
        QCOMPARE(model.rowCount(), 2);
        window.ChannelBox()->setCurrentIndex(1);  // channel 1
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(Cell(model, 0, JournalTableModel::Rack), QStringLiteral("1"));

        // A time after every row shows none of them.
        window.ChannelBox()->setCurrentIndex(0);
        window.SinceEdit()->setDateTime(QDateTime::currentDateTime().addSecs(60));
        window.SinceBox()->setChecked(true);
        QCOMPARE(model.rowCount(), 0);
        window.SinceBox()->setChecked(false);
        QCOMPARE(model.rowCount(), 2);
    }

    void showsNewRowsThatMatchItsFilterAtOnceEvenWhileTheDatabaseIsLocked() {
        CJournalWindow window(*journal_);
        window.RackBox()->setCurrentIndex(4);  // rack 4
        QCOMPARE(window.Model().rowCount(), 0);

        // Another program holds the database: the journal cannot write, the window still
        // shows what happens.
        sqlite3* other = nullptr;
        QCOMPARE(sqlite3_open(Path().toUtf8().constData(), &other), SQLITE_OK);
        QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        ChannelChange refused = Gain(3, 11, 9, ChangeSource::Remote);
        refused.origin.detail = "10.0.0.9:8000";
        refused.refused = true;
        refused.reason = std::string(refusal::kRackOffLine);
        journal_->ChannelChanged(refused);
        journal_->ChannelChanged(Gain(2, 0, 9, ChangeSource::Operator));  // another rack
        JournalTableModel& model = window.Model();
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(Cell(model, 0, JournalTableModel::Source), QStringLiteral("remote 10.0.0.9:8000"));
        QCOMPARE(Cell(model, 0, JournalTableModel::Refused), QStringLiteral("rack is off line"));
        QCOMPARE(Cell(model, 0, JournalTableModel::Channel), QStringLiteral("12"));
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);

        // Read again from the database, the row is the same one.
        window.Reload();
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(Cell(model, 0, JournalTableModel::Refused), QStringLiteral("rack is off line"));
    }

    void theMainWindowsEntryOpensOneJournalWindow() {
        QWidget main;
        CJournalWindow::AddEntryTo(main, *journal_);
        QAction* entry = nullptr;
        for (QAction* a : main.actions())
            if (a->text() == QStringLiteral("&Journal..."))
                entry = a;
        QVERIFY(entry);
        QCOMPARE(entry->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_J));
        entry->trigger();
        entry->trigger();
        const auto windows = main.findChildren<CJournalWindow*>();
        QCOMPARE(windows.size(), 1);
        QVERIFY(windows[0]->isVisible());
        QCOMPARE(windows[0]->Model().rowCount(), 3);
        windows[0]->close();  // deleted on close
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(main.findChildren<CJournalWindow*>().isEmpty());
        // After the window has gone the journal no longer delivers to it.
        journal_->ChannelChanged(Gain(0, 0, 4, ChangeSource::Operator));
        entry->trigger();
        QCOMPARE(main.findChildren<CJournalWindow*>().size(), 1);
    }
};

QTEST_MAIN(JournalWindowTest)
#include "tst_journal_window.moc"
