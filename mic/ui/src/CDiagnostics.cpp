#include "mic/ui/CDiagnostics.h"

#include <QFileInfo>
#include <QMessageBox>

#include "console/ConsoleSettings.h"
#include "ui_Diagnostics.h"

namespace mic::ui {

bool CDiagnostics::processDebugLog = false;
bool CDiagnostics::processIntegrate = false;
bool CDiagnostics::processAutoLoad = false;
bool CDiagnostics::processAutoRestore = false;

QString CDiagnostics::ConsoleProgramPath() {
    const QByteArray env = qgetenv("KESTANE_CONSOLE_PROGRAM");
    return env.isEmpty() ? QStringLiteral("/opt/kestane/vantor/vantor")
                         : QString::fromLocal8Bit(env);
}

CDiagnostics::CDiagnostics(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::CDiagnostics>()) {
    ui_->setupUi(this);
    setFixedSize(size());
    debugLog_ = processDebugLog;
    autoLoad_ = processAutoLoad;
    autoRestore_ = processAutoRestore;

    for (int r = 0; r < 16; ++r) {
        auto* test = findChild<QPushButton*>(QStringLiteral("test%1").arg(r));
        connect(test, &QPushButton::clicked, this, [this, r] { emit SetupAction(r, 0); });
    }
    connect(ui_->resetAll, &QPushButton::clicked, this, [this] { emit SetupAction(-1, 2); });
    connect(ui_->resetCurrent, &QPushButton::clicked, this, [this] { emit SetupAction(0, 2); });
    connect(ui_->debugLog, &QCheckBox::clicked, this, [this](bool checked) {
        processDebugLog = checked;
        debugLog_ = checked;
        emit SetupAction(checked ? 1 : 0, 3);
    });
    connect(ui_->portList, &QComboBox::activated, this, [this] {
        Exchange(false);
        emit SetupAction(portIndex_, 4);
    });
    connect(ui_->integrate, &QCheckBox::clicked, this, &CDiagnostics::OnIntegrateClicked);
    connect(ui_->autoLoad, &QCheckBox::clicked, this, &CDiagnostics::OnAutoLoadClicked);
    connect(ui_->autoRestore, &QCheckBox::clicked, this, &CDiagnostics::OnAutoRestoreClicked);
    connect(ui_->okButton, &QPushButton::clicked, this, &QDialog::accept);
    Exchange(true);
}

CDiagnostics::~CDiagnostics() = default;

void CDiagnostics::SetPortIndex(int port) {
    portIndex_ = port - 1;
    Exchange(true);
}

void CDiagnostics::SetIntegrate(bool on) {
    integrate_ = on;
    processIntegrate = on;
    Exchange(true);
}

void CDiagnostics::SetAutoOptions(bool autoLoad, bool autoRestore) {
    autoLoad_ = processAutoLoad = autoLoad;
    autoRestore_ = processAutoRestore = autoRestore;
    Exchange(true);
}

void CDiagnostics::SetVersionText(int rack, const QString& text) {
    if (rack < 0 || rack >= 16) {
        return;
    }
    versions_[rack] = text;
    Exchange(true);
}

QString CDiagnostics::VersionText(int rack) const {
    return rack >= 0 && rack < 16 ? versions_[rack] : QString();
}

// The standard exchange between the fields and the controls.
void CDiagnostics::Exchange(bool toControls) {
    if (toControls) {
        for (int r = 0; r < 16; ++r) {
            findChild<QLabel*>(QStringLiteral("version%1").arg(r))->setText(versions_[r]);
        }
        ui_->debugLog->setChecked(debugLog_);
        ui_->portList->setCurrentIndex(portIndex_ >= 0 && portIndex_ <= 4 ? portIndex_ : -1);
        ui_->integrate->setChecked(integrate_);
        ui_->autoLoad->setChecked(autoLoad_);
        ui_->autoRestore->setChecked(autoRestore_);
    } else {
        debugLog_ = ui_->debugLog->isChecked();
        portIndex_ = ui_->portList->currentIndex();
        integrate_ = ui_->integrate->isChecked();
        autoLoad_ = ui_->autoLoad->isChecked();
        autoRestore_ = ui_->autoRestore->isChecked();
    }
}

void CDiagnostics::OnIntegrateClicked() {
    ReadConsoleSettings();
    if (!integrate_ && GetConsoleSettings().VantorConsoleType != kIntegratingConsoleType) {
        ui_->integrate->setChecked(false);
        integrate_ = false;
        processIntegrate = false;
        QMessageBox::information(
            this, QStringLiteral("mic"),
            QStringLiteral("This option is only available on Z9 Series Consoles"));
        return;
    }
    Exchange(false);
    if (integrate_ && !QFileInfo::exists(ConsoleProgramPath())) {
        integrate_ = false;
        ui_->integrate->setChecked(false);
    }
    processIntegrate = integrate_;
    emit SetupAction(integrate_ ? 1 : 0, 5);
}

void CDiagnostics::OnAutoLoadClicked() {
    Exchange(false);
    if (autoLoad_) {
        autoRestore_ = processAutoRestore = false;
        ui_->autoRestore->setChecked(false);
    }
    processAutoLoad = autoLoad_;
    emit SetupAction(autoLoad_ ? 1 : 0, 6);
}

void CDiagnostics::OnAutoRestoreClicked() {
    Exchange(false);
    if (autoRestore_) {
        autoLoad_ = processAutoLoad = false;
        ui_->autoLoad->setChecked(false);
    }
    processAutoRestore = autoRestore_;
    emit SetupAction(autoRestore_ ? 1 : 0, 7);
}

}  // namespace mic::ui
