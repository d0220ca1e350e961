#include "mic/ui/JournalTableModel.h"

#include <QBrush>
#include <QColor>

#include "mic/journal/JournalText.h"

namespace mic::ui {

using mic::journal::JournalRow;
using mic::journal::RowKind;

JournalTableModel::JournalTableModel(size_t maxRows, QObject* parent)
    : QAbstractTableModel(parent), maxRows_(maxRows == 0 ? 1 : maxRows) {}

void JournalTableModel::Reset(std::vector<JournalRow> rows) {
    beginResetModel();
    if (rows.size() > maxRows_) {
        rows.resize(maxRows_);
    }
    rows_.assign(std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    endResetModel();
}

void JournalTableModel::Prepend(const JournalRow& row) {
    if (rows_.size() >= maxRows_) {
        const int last = static_cast<int>(rows_.size()) - 1;
        beginRemoveRows({}, last, last);
        rows_.pop_back();
        endRemoveRows();
    }
    beginInsertRows({}, 0, 0);
    rows_.push_front(row);
    endInsertRows();
}

int JournalTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int JournalTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant JournalTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const JournalRow& row = RowAt(index.row());
    const ChannelChange& c = row.change;
    const bool change = row.kind == RowKind::Change;
    if (role == Qt::ForegroundRole && change && c.refused) {
        return QBrush(QColor(0xb0, 0x20, 0x20));
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) {
        return {};
    }
    auto text = [](const std::string& s) { return QString::fromStdString(s); };
    switch (index.column()) {
        case Time:
            return text(mic::journal::FormatTime(row.timeUs));
        case Source:
            return text(mic::journal::SourceText(row));
        case Rack:
            return change ? QVariant(c.rack + 1) : QVariant();
        case Channel:
            return change ? QVariant(c.channel + 1) : QVariant();
        case Field:
            return change ? text(std::string(FieldName(c.field))) : QVariant();
        case Old:
            return change ? text(mic::journal::OldValueText(row)) : QVariant();
        case New:
            return change ? text(mic::journal::NewValueText(row)) : text(row.note);
        case Refused:
            return change && c.refused ? text(c.reason) : QVariant();
        default:
            return {};
    }
}

QVariant JournalTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    static const char* const kTitles[ColumnCount] = {"Time",  "Source", "Rack", "Channel",
                                                     "Field", "Old",    "New",  "Refused because"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(kTitles[section])
                                                 : QVariant();
}

}  // namespace mic::ui
