// The Journal window: the change journal as a table, newest first, filtered by rack, channel,
// source and time, and updated as rows arrive (handed over by the journal on the main thread,
// not read back from the database per change).
#pragma once

#include <QDialog>

#include "mic/journal/ChangeJournal.h"

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QTableView;

namespace mic::ui {

class JournalTableModel;

class CJournalWindow : public QDialog, public mic::journal::JournalListener {
    Q_OBJECT

  public:
    // Rows shown at most; older ones are left to `micctl journal`.
    static constexpr size_t kMaxRows = 5000;

    explicit CJournalWindow(mic::journal::ChangeJournal& journal, QWidget* parent = nullptr);
    ~CJournalWindow() override;

    // Main thread. Adds "Journal..." (Ctrl+J) to `mainWindow`'s actions, which opens this
    // window, or raises it when it is open already.
    static void AddEntryTo(QWidget& mainWindow, mic::journal::ChangeJournal& journal);

    // Main thread.
    mic::journal::JournalFilter Filter() const;
    JournalTableModel& Model() { return *model_; }
    QComboBox* RackBox() const { return rack_; }
    QComboBox* ChannelBox() const { return channel_; }
    QComboBox* SourceBox() const { return source_; }
    QCheckBox* SinceBox() const { return sinceOn_; }
    QDateTimeEdit* SinceEdit() const { return since_; }

    // JournalListener (main thread).
    void JournalRowAdded(const mic::journal::JournalRow& row) override;

  public slots:
    // Main thread. Reads the rows of the current filter from the database again.
    void Reload();

  private:
    void ShowCount();

    mic::journal::ChangeJournal& journal_;
    JournalTableModel* model_;
    QTableView* table_;
    QComboBox* rack_;
    QComboBox* channel_;
    QComboBox* source_;
    QCheckBox* sinceOn_;
    QDateTimeEdit* since_;
    QLabel* count_;
};

}  // namespace mic::ui
