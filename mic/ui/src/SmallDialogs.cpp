#include "mic/ui/SmallDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QPalette>

#include "mic/ui/CPictureLabel.h"
#include "mic/ui/Pictures.h"
#include "ui_About.h"
#include "ui_ConfirmClose.h"
#include "ui_PortError.h"

namespace mic::ui {

void ApplyDialogColours(QApplication& app) {
    const QColor back(0x1D, 0x44, 0x6B);
    const QColor text(0xED, 0xFB, 0xFD);
    const QColor field(0x28, 0x5F, 0x95);
    QPalette p = app.palette();
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::Window, back);
        p.setColor(group, QPalette::WindowText, text);
        p.setColor(group, QPalette::Base, field);
        p.setColor(group, QPalette::AlternateBase, back.lighter(120));
        p.setColor(group, QPalette::Text, text);
        p.setColor(group, QPalette::Button, back.lighter(130));
        p.setColor(group, QPalette::ButtonText, text);
        p.setColor(group, QPalette::Highlight, QColor(0xFF, 0xB0, 0x00));
        p.setColor(group, QPalette::HighlightedText, Qt::black);
        p.setColor(group, QPalette::ToolTipBase, QColor(0x0F, 0x22, 0x36));
        p.setColor(group, QPalette::ToolTipText, text);
        p.setColor(group, QPalette::PlaceholderText, text.darker(160));
    }
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x7D, 0x8A, 0x97));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(0x7D, 0x8A, 0x97));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x7D, 0x8A, 0x97));
    app.setPalette(p);
}

CPortError::CPortError(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::CPortError>()) {
    ui_->setupUi(this);
    connect(ui_->okButton, &QPushButton::clicked, this, &QDialog::accept);
    setFixedSize(size());
}

CPortError::~CPortError() = default;

CConfirmClose::CConfirmClose(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::CConfirmClose>()) {
    ui_->setupUi(this);
    connect(ui_->yesButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->noButton, &QPushButton::clicked, this, &QDialog::reject);
    ui_->noButton->setFocus();
    setFixedSize(size());
}

CConfirmClose::~CConfirmClose() = default;

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::CAboutDlg>()) {
    ui_->setupUi(this);
    ui_->icon->SetPicture(kPicAppIcon);
    connect(ui_->okButton, &QPushButton::clicked, this, &QDialog::accept);
    setWindowIcon(QIcon(QStringLiteral(":/pictures/128")));
    setFixedSize(size());
}

CAboutDlg::~CAboutDlg() = default;

QFileDialog* MakePresetDialog(QWidget* parent, bool save, const QString& currentFile) {
    auto* dialog = new QFileDialog(parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setNameFilter(QString::fromLatin1(kPresetFilter));
    dialog->setDefaultSuffix(QStringLiteral("mic"));
    dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog->setWindowTitle(save ? QStringLiteral("Store Preset") : QStringLiteral("Load Preset"));
    if (!currentFile.isEmpty()) {
        const QFileInfo info(currentFile);
        dialog->setDirectory(info.absolutePath());
        dialog->selectFile(info.fileName());
    } else {
        dialog->selectFile(QStringLiteral(".mic"));
    }
    return dialog;
}

}  // namespace mic::ui
