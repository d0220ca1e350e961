#include "mic/ui/CRestoreScope.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

#include "mic/ui/CRecallScopeBox.h"

namespace mic::ui {

CRestoreScope::CRestoreScope(uint32_t scope, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("restoreScopeDialog"));
    setWindowTitle(QStringLiteral("Start-up Recall Scope"));
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(
        QStringLiteral("The automatic load and restore, at start and when a rack comes on "
                       "line, take these parts of the file. Parts left out are sent to the "
                       "rack as it reports them."),
        this);
    text->setWordWrap(true);
    layout->addWidget(text);
    box_ = new CRecallScopeBox(QStringLiteral("Take from the file"), this);
    box_->SetScope(scope);
    layout->addWidget(box_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

uint32_t CRestoreScope::Scope() const {
    return box_->Scope();
}

}  // namespace mic::ui
