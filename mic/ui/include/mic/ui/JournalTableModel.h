// The rows of the Journal window, newest first: time, source, rack, channel, field, old and
// new value, and the reason of a refusal.
#pragma once

#include <QAbstractTableModel>
#include <deque>

#include "mic/journal/JournalRow.h"

namespace mic::ui {

class JournalTableModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum Column { Time, Source, Rack, Channel, Field, Old, New, Refused, ColumnCount };

    // At most `maxRows` are kept; the oldest go first.
    explicit JournalTableModel(size_t maxRows, QObject* parent = nullptr);

    // Main thread. `rows` newest first.
    void Reset(std::vector<mic::journal::JournalRow> rows);
    // Main thread. A row newer than every row shown.
    void Prepend(const mic::journal::JournalRow& row);
    const mic::journal::JournalRow& RowAt(int row) const { return rows_[static_cast<size_t>(row)]; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    size_t maxRows_;
    std::deque<mic::journal::JournalRow> rows_;
};

}  // namespace mic::ui
