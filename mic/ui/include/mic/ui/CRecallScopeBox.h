// The parts of a preset a load takes: one check box per part (gains, phantom, phase, pad,
// direct outs, names, console assignments), each with the number of changes it brings when
// counts are given. All checked is the plain load.
#pragma once

#include <QGroupBox>
#include <array>
#include <cstdint>

#include "mic/core/RecallScope.h"

class QCheckBox;

namespace mic::ui {

class CRecallScopeBox : public QGroupBox {
    Q_OBJECT

  public:
    explicit CRecallScopeBox(const QString& title, QWidget* parent = nullptr);

    uint32_t Scope() const;
    void SetScope(uint32_t scope);
    // Main thread. Shows each part's count of changes beside its name.
    void SetCounts(const PreviewCounts& counts);
    QCheckBox* Box(ChannelField field) const { return boxes_[static_cast<size_t>(field)]; }

  signals:
    void ScopeChanged(uint32_t scope);

  private:
    std::array<QCheckBox*, 7> boxes_{};
};

}  // namespace mic::ui
