// "Start-up Recall Scope": the parts of the preset or snapshot that the automatic load and
// restore take (at start and when a rack comes on line). All checked is the plain restore.
#pragma once

#include <QDialog>
#include <cstdint>

namespace mic::ui {

class CRecallScopeBox;

class CRestoreScope : public QDialog {
    Q_OBJECT

  public:
    CRestoreScope(uint32_t scope, QWidget* parent = nullptr);
    uint32_t Scope() const;
    CRecallScopeBox* ScopeBox() const { return box_; }

  private:
    CRecallScopeBox* box_ = nullptr;
};

}  // namespace mic::ui
