// What Load Preset will change, shown before it is done: the changes grouped by rack and
// channel (old → new, with counts), the parts to take from the file, and Load or Cancel. With
// every part checked the load is the plain one.
#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>
#include <vector>

#include "mic/core/ChannelChange.h"

class QLabel;
class QTreeWidget;
class QPushButton;

namespace mic::ui {

class CRecallScopeBox;

class CPresetPreview : public QDialog {
    Q_OBJECT

  public:
    // `preview` gives the changes of a load with a scope (the file is read each time, as the
    // load will read it). `readable` false: the file cannot be read, the load changes nothing.
    using PreviewFn = std::function<std::vector<ChannelChange>(uint32_t scope)>;
    CPresetPreview(const QString& fileTitle, PreviewFn preview, bool readable,
                   QWidget* parent = nullptr);

    uint32_t Scope() const;
    QTreeWidget* Tree() const { return tree_; }
    QLabel* Summary() const { return summary_; }
    CRecallScopeBox* ScopeBox() const { return scope_; }
    QPushButton* LoadButton() const { return load_; }

    // One line of the list: "gain: 20 dB → 45 dB", "name: "" → "Vox"",
    // "phantom: off → on (refused: ...)".
    static QString ChangeText(const ChannelChange& change);

  private:
    void Fill(uint32_t scope);

    PreviewFn preview_;
    bool readable_;
    QLabel* summary_ = nullptr;
    QTreeWidget* tree_ = nullptr;
    CRecallScopeBox* scope_ = nullptr;
    QPushButton* load_ = nullptr;
};

}  // namespace mic::ui
