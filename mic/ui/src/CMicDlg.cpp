#include "mic/ui/CMicDlg.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "mic/core/PresetFile.h"
#include "mic/core/SerialPort.h"
#include "mic/ui/CBmpButton.h"
#include "mic/ui/CDiagnostics.h"
#include "mic/ui/CMicTypeTag.h"
#include "mic/ui/CPictureLabel.h"
#include "mic/ui/CPresetPreview.h"
#include "mic/ui/CRestoreScope.h"
#include "mic/ui/Pictures.h"
#include "mic/ui/QtServices.h"
#include "mic/ui/RackSyncMark.h"
#include "mic/ui/SmallDialogs.h"
#include "ui_MicDlg.h"

namespace mic::ui {
namespace {

constexpr int kStripX0 = 6;
constexpr int kStripPitch = 51;
constexpr int kNameBoxY = 49;
constexpr int kConsoleBoxY = 302;
constexpr int kCheckBoxY = 332;
constexpr int kPopupCloseMs = 2500;
const QColor kNameText(0xED, 0xFB, 0xFD);
const QColor kNameBack(0x28, 0x5F, 0x95);

bool IsEnterOrEscape(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
}

QString Latin1(const std::string& s) {
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

}  // namespace

// The controller is built before the serial line (the line needs the controller's reply record
// and engine), so it reaches the line through this forwarder.
class CMicDlg::PortForwarder : public CommandPort, public PortControl {
  public:
    CSerialPort* port = nullptr;
    CSerialPortControl* control = nullptr;
    void SendCommand(const uint8_t* message) override {
        if (port) {
            port->SendCommand(message);
        }
    }
    bool IsOpen() const override { return port && port->IsOpen(); }
    bool OpenAndStart(uint32_t portNumber) override {
        return control && control->OpenAndStart(portNumber);
    }
    void Stop() override {
        if (control) {
            control->Stop();
        }
    }
};

CMicDlg::CMicDlg(Options options, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      options_(std::move(options)),
      ui_(std::make_unique<Ui::CMicDlg>()) {
    ui_->setupUi(this);
    setFixedSize(size());
    setWindowIcon(QIcon(QStringLiteral(":/pictures/128")));
    setMouseTracking(true);

    for (int i = 0; i < 12; ++i) {
        phantom_[i] = findChild<CBmpButton*>(QStringLiteral("phantom%1").arg(i));
        phase_[i] = findChild<CBmpButton*>(QStringLiteral("phase%1").arg(i));
        pad_[i] = findChild<CBmpButton*>(QStringLiteral("pad%1").arg(i));
        direct_[i] = findChild<CBmpButton*>(QStringLiteral("direct%1").arg(i));
        gainBox_[i] = findChild<QComboBox*>(QStringLiteral("gainBox%1").arg(i));
        gainDisplay_[i] = findChild<CPictureLabel*>(QStringLiteral("gainDisplay%1").arg(i));
        tens_[i] = findChild<CPictureLabel*>(QStringLiteral("numberTens%1").arg(i));
        units_[i] = findChild<CPictureLabel*>(QStringLiteral("numberUnits%1").arg(i));
        for (CBmpButton* b : {phantom_[i], phase_[i], pad_[i], direct_[i]}) {
            b->SetFramed(false);
        }
    }
    for (int r = 0; r < 16; ++r) {
        rack_[r] = findChild<CBmpButton*>(QStringLiteral("rack%1").arg(r));
        rack_[r]->SetFramed(false);
        rack_[r]->SetDrawText(true);
    }
    info_ = ui_->infoPicture;
    status_ = ui_->statusPicture;
    rackNumber_ = ui_->rackNumber;
    load_ = ui_->loadPreset;
    store_ = ui_->storePreset;
    setup_ = ui_->setup;
    exit_ = ui_->exitButton;
    for (CBmpButton* b : {load_, store_, setup_, exit_}) {
        b->SetFramed(false);
    }

    timers_ = std::make_unique<QtMicTimers>([this](int id) {
        if (controller_) {
            controller_->OnTimer(id);
        }
    });
    invoker_ = std::make_unique<QtMainThreadInvoker>(this);
    portForwarder_ = std::make_unique<PortForwarder>();

    MicServices services;
    services.view = this;
    services.timers = timers_.get();
    services.profile = options_.profile;
    services.console = options_.console;
    if (options_.serial) {
        services.port = portForwarder_.get();
        services.portControl = portForwarder_.get();
    }
    controller_ = std::make_unique<MicController>(options_.config, services);
    controller_->Engine().SetInvoker(invoker_.get());

    if (options_.serial) {
        serial_ = std::make_unique<CSerialPort>(controller_->Reply());
        if (options_.deviceResolver) {
            serial_->SetDeviceResolver(options_.deviceResolver);
        }
        // Serial failures may be reported from the reader thread: show them from the GUI
        // thread without making the reader wait for the box.
        serial_->SetNotifier([this](const std::string& text, const std::string& title) {
            QMetaObject::invokeMethod(
                this, [this, text, title] { MessageBox(text, title); }, Qt::QueuedConnection);
        });
        serialControl_ = std::make_unique<CSerialPortControl>(*serial_, controller_->Engine());
        portForwarder_->port = serial_.get();
        portForwarder_->control = serialControl_.get();
    }

    popup_ = new CBigControls2(options_.consoleType, this);

    for (int i = 0; i < 12; ++i) {
        connect(phantom_[i], &QPushButton::clicked, this,
                [this, i] { Apply(controller_->ClickPhantom(i), i); });
        connect(phase_[i], &QPushButton::clicked, this,
                [this, i] { Apply(controller_->ClickPhase(i), i); });
        connect(pad_[i], &QPushButton::clicked, this,
                [this, i] { Apply(controller_->ClickPad(i), i); });
        connect(direct_[i], &QPushButton::clicked, this,
                [this, i] { Apply(controller_->ClickDirect(i), i); });
        // The microphone type is set from the phantom button's own menu, where it matters.
        micTag_[i] = new CMicTypeTag(this);
        micTag_[i]->Attach(phantom_[i]->geometry());
        phantom_[i]->setProperty("baseToolTip", phantom_[i]->toolTip());
        phantom_[i]->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(phantom_[i], &QWidget::customContextMenuRequested, this,
                [this, i](QPoint p) { OpenMicTypeMenu(i, phantom_[i]->mapToGlobal(p)); });
        QComboBox* box = gainBox_[i];
        box->setCompleter(nullptr);
        box->setInsertPolicy(QComboBox::NoInsert);
        connect(box, &QComboBox::activated, this, [this, i](int index) {
            if (!redrawing_) {
                Apply(controller_->SelectGain(i, index), i);
            }
        });
        connect(box->lineEdit(), &QLineEdit::textEdited, this, [this, i] {
            if (!redrawing_) {
                Apply(controller_->GainTextEdited(i), i);
            }
        });
    }
    for (int r = 0; r < 16; ++r) {
        connect(rack_[r], &QPushButton::clicked, this,
                [this, r] { Apply(controller_->SelectRack(r), -1); });
    }
    connect(load_, &QPushButton::clicked, this, &CMicDlg::OnLoadPreset);
    connect(store_, &QPushButton::clicked, this, &CMicDlg::OnStorePreset);
    connect(setup_, &QPushButton::clicked, this, &CMicDlg::OnSetup);
    connect(exit_, &QPushButton::clicked, this, &CMicDlg::OnExit);

    // Linux window managers offer no system menu to extend: the about box is on the window's
    // context menu and on F1.
    auto* about = new QAction(QStringLiteral("&About mic..."), this);
    about->setShortcut(QKeySequence::HelpContents);
    connect(about, &QAction::triggered, this, &CMicDlg::OnAbout);
    addAction(about);
    auto* restoreScope = new QAction(QStringLiteral("Start-up Recall &Scope..."), this);
    restoreScope->setObjectName(QStringLiteral("restoreScopeAction"));
    connect(restoreScope, &QAction::triggered, this, &CMicDlg::OnRestoreScope);
    addAction(restoreScope);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    // Key presses and focus changes of every control are seen here (the typed-gain rule counts
    // every key the window sees).
    qApp->installEventFilter(this);
}

CMicDlg::~CMicDlg() {
    qApp->removeEventFilter(this);
    // A reader handing over a reply must not wait for this thread while the port stops.
    invoker_->Shutdown();
    if (serialControl_) {
        serialControl_->Stop();
    }
}

void CMicDlg::CreateRunTimeControls() {
    for (int i = 0; i < 12; ++i) {
        auto* box = new QLineEdit(this);
        box->setObjectName(QStringLiteral("nameBox%1").arg(i));
        box->setProperty("controlId", 1212 + i);
        box->setGeometry(kStripX0 + kStripPitch * i, kNameBoxY, 48, 17);
        box->setAlignment(Qt::AlignCenter);
        box->setMaxLength(kNameSize - 1);
        box->setFrame(false);
        QPalette p = box->palette();
        p.setColor(QPalette::Base, kNameBack);
        p.setColor(QPalette::Text, kNameText);
        box->setPalette(p);
        QFont f = box->font();
        f.setPixelSize(11);
        box->setFont(f);
        box->hide();
        connect(box, &QLineEdit::textEdited, this, [this, i](const QString& text) {
            controller_->NameEdited(i, text.toLatin1().toStdString());
        });
        nameBox_[i] = box;
    }
    if (!controller_->ConsoleIntegration()) {
        return;
    }
    QStringList items{QStringLiteral("Off")};
    for (int v = 1; v <= 99; ++v) {
        items << QString::asprintf("%d", v);
    }
    for (int i = 0; i < 12; ++i) {
        auto* box = new QComboBox(this);
        box->setObjectName(QStringLiteral("consoleBox%1").arg(i));
        box->setProperty("controlId", 1076 + i);
        box->setGeometry(kStripX0 + kStripPitch * i, kConsoleBoxY, 48, 22);
        box->setEditable(true);
        box->setCompleter(nullptr);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->addItems(items);
        box->setToolTip(QStringLiteral("Console channel of channel %1").arg(i + 1));
        connect(box, &QComboBox::activated, this, [this, i](int index) {
            if (!redrawing_) {
                Apply(controller_->AssignConsoleChannel(i, index), i);
            }
        });
        connect(box->lineEdit(), &QLineEdit::editingFinished, this, [this, i, box] {
            if (redrawing_) {
                return;
            }
            const int value =
                MicController::ParseConsoleChannelText(box->currentText().toStdString());
            if (value < 0) {
                RedrawChannel(i);
            } else {
                Apply(controller_->AssignConsoleChannel(i, value), i);
            }
        });
        box->show();
        consoleBox_[i] = box;
        setTabOrder(direct_[i], box);
        if (i < 11) {
            setTabOrder(box, gainBox_[i + 1]);
        }
    }
    auto makeCheck = [this](const char* name, int id, const QString& text, int x) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setProperty("controlId", id);
        b->setCheckable(true);
        b->setAutoDefault(false);
        // On must read at a glance: a lit amber key, like the strip's switches.
        b->setStyleSheet(QStringLiteral(
            "QPushButton { background: #20262d; color: #7d8a97; border: 1px solid #4a5562;"
            " border-radius: 4px; font-weight: bold; }"
            "QPushButton:checked { background: #ffb000; color: #111111; border-color: #ffe08a; }"
            "QPushButton:focus { border-color: #ffd040; }"));
        b->setGeometry(x, kCheckBoxY, 150, 26);
        b->show();
        return b;
    };
    sequential_ = makeCheck("sequential", 1037, QStringLiteral("Sequential Assign"), kStripX0);
    popupOnSel_ = makeCheck("popupOnSel", 1050, QStringLiteral("Pop Up On Selection"), 162);
    popupControls_ = makeCheck("popupControls", 1051, QStringLiteral("Popup Controls"), 318);
    setTabOrder(consoleBox_[11], sequential_);
    setTabOrder(sequential_, popupOnSel_);
    setTabOrder(popupOnSel_, popupControls_);
    setTabOrder(popupControls_, rack_[0]);
    popupOnSel_->setChecked(controller_->State().popupOnSel != 0);
    popupControls_->setChecked(controller_->State().popupControls != 0);
    connect(sequential_, &QPushButton::clicked, this,
            [this](bool on) { Apply(controller_->SetSequential(on), -1); });
    connect(popupOnSel_, &QPushButton::clicked, this,
            [this](bool on) { controller_->SetPopupOnSel(on); });
    connect(popupControls_, &QPushButton::clicked, this,
            [this](bool on) { controller_->SetPopupControls(on); });
}

void CMicDlg::Initialise(const std::function<void()>& publish) {
    if (initialised_) {
        return;
    }
    initialised_ = true;
    CreateRunTimeControls();
    ui_->label1297->SetPicture(kPicLabelRackSelect);
    ui_->label1298->SetPicture(kPicLabelBrand);
    ui_->label1299->SetPicture(kPicLabelCommands);
    load_->SetPicture(kPicLoadNormal);
    store_->SetPicture(kPicStoreNormal);
    setup_->SetPicture(kPicSetupNormal);
    exit_->SetPicture(kPicExitNormal);
    info_->SetPicture(kPicInfoDefault);
    status_->SetPicture(kPicStatusNoRacks);
    for (int r = 0; r < 16; ++r) {
        rack_[r]->SetPicture(RackButtonPicture(false, r == 0));
    }
    // The first drawing of the artwork (SVG files, fonts, glyphs) takes the main thread for
    // a long moment, and from the first poll on every reply and time-out waits for the main
    // thread. So the window is drawn once now, before the port opens; its first paint on the
    // screen then copies pictures already drawn.
    RedrawRack();
    grab();
    controller_->Initialise();
    if (publish) {
        publish();
    }
    RedrawRack();
}

// --- operator input ----------------------------------------------------------------------------

void CMicDlg::Apply(const Redraw& redraw, int channel) {
    if (redraw.refused) {
        // The control snaps back to the stored value.
        if (channel >= 0) {
            RedrawChannel(channel);
        } else {
            RedrawRack();
        }
        return;
    }
    if (redraw.wholeRack) {
        RedrawRack();
        return;
    }
    for (int i = 0; i < 12; ++i) {
        if (redraw.Channel(i)) {
            RedrawChannel(i);
        }
    }
}

bool CMicDlg::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::KeyPress) {
        // A key reaches the focus widget first; later deliveries to its parents are the same
        // key propagating and are not counted again.
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || widget != QApplication::focusWidget() || widget->window() != this) {
            return QDialog::eventFilter(watched, event);
        }
        auto* key = static_cast<QKeyEvent*>(event);
        const int k = key->key();
        if (k >= Qt::Key_0 && k <= Qt::Key_9 && !(key->modifiers() & Qt::KeypadModifier)) {
            controller_->KeyPressed(KeyKind::Digit, k - Qt::Key_0);
        } else if (k == Qt::Key_Tab || k == Qt::Key_Backtab) {
            controller_->KeyPressed(KeyKind::Tab);
        } else {
            controller_->KeyPressed(KeyKind::Other);
        }
        if (IsEnterOrEscape(k)) {
            return true;  // the window never closes on Enter or Escape
        }
        if (k == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier)) {
            for (int i = 0; i < 11; ++i) {
                if (watched == nameBox_[i]) {
                    controller_->NameBoxTab(i, nameBox_[i]->text().toLatin1().toStdString());
                    return true;
                }
            }
        }
        return QDialog::eventFilter(watched, event);
    }
    if (type == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        // The drop-down list of a gain box takes the focus for a moment: that is not leaving.
        if (reason == Qt::PopupFocusReason) {
            return QDialog::eventFilter(watched, event);
        }
        for (int i = 0; i < 12; ++i) {
            if (watched == gainBox_[i]) {
                Apply(controller_->GainBoxLeft(i), i);
            } else if (watched == nameBox_[i]) {
                controller_->NameBoxLeft(i, nameBox_[i]->text().toLatin1().toStdString());
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CMicDlg::keyPressEvent(QKeyEvent* event) {
    if (IsEnterOrEscape(event->key())) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CMicDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const QPoint p = event->position().toPoint();
        Apply(controller_->MousePress(p.x(), p.y()), -1);
    }
    QDialog::mousePressEvent(event);
}

void CMicDlg::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    const bool held = event->buttons() != Qt::NoButton || event->modifiers() != Qt::NoModifier;
    Apply(controller_->MouseMove(p.x(), p.y(), held), -1);
    QDialog::mouseMoveEvent(event);
}

void CMicDlg::mouseReleaseEvent(QMouseEvent* event) {
    QDialog::mouseReleaseEvent(event);
}

// --- drawing -----------------------------------------------------------------------------------

void CMicDlg::RedrawNumber(int c) {
    const PreampState& s = controller_->State();
    const int i = ChannelIndex(controller_->DisplayedRack(), c);
    const DigitPair d =
        ChannelNumberPictures(c, s.status[i], s.assignment[i], controller_->AnyRackOnLine());
    tens_[c]->SetPicture(d.tens);
    units_[c]->SetPicture(d.units);
}

void CMicDlg::RedrawGainDisplay(int c) {
    const PreampState& s = controller_->State();
    const int i = ChannelIndex(controller_->DisplayedRack(), c);
    gainDisplay_[c]->SetPicture(GainDisplayPicture(s.status[i], s.setting[i], s.assignment[i] != 0,
                                                   controller_->AnyRackOnLine(),
                                                   options_.consoleType));
}

void CMicDlg::RedrawChannel(int c) {
    if (c < 0 || c >= 12) {
        return;
    }
    const bool was = redrawing_;
    redrawing_ = true;
    const PreampState& s = controller_->State();
    const int i = ChannelIndex(controller_->DisplayedRack(), c);
    const uint32_t setting = s.setting[i] & 0x7F;
    phantom_[c]->SetPicture(setting & kPhantomBit ? kPicPhantomOn : kPicPhantomOff);
    phase_[c]->SetPicture(setting & kPhaseBit ? kPicPhaseOn : kPicPhaseOff);
    pad_[c]->SetPicture(setting & kPadBit ? kPicPadOn : kPicPadOff);
    direct_[c]->SetPicture(s.directSwitch[i] ? kPicDirectOn : kPicDirectOff);
    const int index = static_cast<int>(ClampGainStep(setting & kGainMask) - kMinGainStep);
    gainBox_[c]->setCurrentIndex(index);
    gainBox_[c]->setEditText(gainBox_[c]->itemText(index));
    RedrawGainDisplay(c);
    RedrawNumber(c);
    const MicType type = controller_->MicrophoneType(controller_->DisplayedRack(), c);
    micTag_[c]->SetType(type);
    QString tip = phantom_[c]->property("baseToolTip").toString();
    if (type != MicType::Unknown) {
        const std::string_view name = MicTypeName(type);
        tip += QStringLiteral(" (%1 microphone%2)")
                   .arg(QString::fromLatin1(name.data(), qsizetype(name.size())),
                        PhantomAllowed(type) ? QString() : QStringLiteral(": phantom refused"));
    }
    phantom_[c]->setToolTip(tip);
    if (nameBox_[c] && !nameBox_[c]->hasFocus()) {
        nameBox_[c]->setText(Latin1(s.Name(i)));
    }
    if (consoleBox_[c]) {
        const uint32_t a = s.assignment[i];
        if (a < static_cast<uint32_t>(consoleBox_[c]->count())) {
            consoleBox_[c]->setCurrentIndex(static_cast<int>(a));
            consoleBox_[c]->setEditText(consoleBox_[c]->itemText(static_cast<int>(a)));
        } else {
            consoleBox_[c]->setEditText(QString::number(a));
        }
    }
    redrawing_ = was;
}

void CMicDlg::RedrawRack() {
    const PreampState& s = controller_->State();
    const int rack = controller_->DisplayedRack();
    rackNumber_->SetPicture(kPicRackNumber + rack);
    for (int c = 0; c < 12; ++c) {
        RedrawChannel(c);
        if (nameBox_[c]) {
            const int i = ChannelIndex(rack, c);
            if (!nameBox_[c]->hasFocus()) {
                nameBox_[c]->setText(Latin1(s.Name(i)));
            }
            nameBox_[c]->setVisible(s.nameShown[i] != 0);
        }
    }
    if (sequential_) {
        sequential_->setChecked(s.sequential[rack] != 0);
    }
}

void CMicDlg::SetRackButtonPicture(int rack, int picture) {
    if (rack >= 0 && rack < 16) {
        rack_[rack]->SetPicture(picture);
    }
}

void CMicDlg::SetRackSyncMark(int rack, RackSync state) {
    if (rack < 0 || rack >= 16) {
        return;
    }
    if (!rackMark_[rack]) {
        rackMark_[rack] = new RackSyncMark(rack_[rack]);
    }
    rackMark_[rack]->SetState(state);
}

void CMicDlg::ShowStatusPicture(StatusPicture picture) {
    switch (picture) {
        case StatusPicture::Busy:
            status_->SetPicture(kPicStatusBusy);
            break;
        case StatusPicture::RacksPresent:
            status_->SetPicture(kPicStatusRacksPresent);
            break;
        case StatusPicture::NoRacks:
            status_->SetPicture(kPicStatusNoRacks);
            break;
    }
}

void CMicDlg::ShowInfoPicture(int gainStep) {
    info_->SetPicture(InfoPicture(gainStep));
}

void CMicDlg::SetSetupButtonPicture(int picture) {
    setup_->SetPicture(picture);
}

void CMicDlg::ShowNameBox(int channel, bool show, bool focus) {
    if (channel < 0 || channel >= 12 || !nameBox_[channel]) {
        return;
    }
    QLineEdit* box = nameBox_[channel];
    if (show) {
        box->setText(
            Latin1(controller_->State().Name(ChannelIndex(controller_->DisplayedRack(), channel))));
    }
    box->setVisible(show);
    if (show && focus) {
        box->setFocus(Qt::OtherFocusReason);
    }
}

void CMicDlg::MessageBox(const std::string& text, const std::string& title) {
    QMessageBox::information(this, QString::fromStdString(title), QString::fromStdString(text));
}

void CMicDlg::SetWindowTitle(const std::string& title) {
    setWindowTitle(QString::fromLocal8Bit(title.data(), qsizetype(title.size())));
}

void CMicDlg::ShowPortError() {
    CPortError dialog(this);
    dialog.exec();
}

void CMicDlg::BringToForeground() {
    if (isMinimized()) {
        showNormal();
    }
    raise();
    activateWindow();
}

// --- commands ----------------------------------------------------------------------------------

void CMicDlg::OnLoadPreset() {
    if (!controller_->PresetButtonsUsable()) {
        return;
    }
    load_->SetPicture(kPicLoadActive);
    QFileDialog* dialog =
        MakePresetDialog(this, false, QString::fromLocal8Bit(controller_->Settings().fileName));
    dialog->setObjectName(QStringLiteral("loadPresetDialog"));
    connect(dialog, &QFileDialog::fileSelected, this, &CMicDlg::OpenPresetPreview);
    connect(dialog, &QDialog::finished, this, [this] { load_->SetPicture(kPicLoadNormal); });
    dialog->open();
}

void CMicDlg::OpenPresetPreview(const QString& path) {
    const std::string file = path.toLocal8Bit().toStdString();
    bool readable = false;
    controller_->PreviewPreset(file, kRecallEverything, &readable);
    auto* preview = new CPresetPreview(
        QString::fromStdString(FileTitle(file)),
        [this, file](uint32_t scope) { return controller_->PreviewPreset(file, scope); }, readable,
        this);
    preview->setAttribute(Qt::WA_DeleteOnClose);
    connect(preview, &QDialog::accepted, this,
            [this, preview, file] { controller_->LoadPreset(file, preview->Scope()); });
    preview->open();
}

void CMicDlg::OpenMicTypeMenu(int channel, const QPoint& globalPos) {
    if (channel < 0 || channel >= 12) {
        return;
    }
    const int rack = controller_->DisplayedRack();
    QMenu* menu = MakeMicTypeMenu(this, channel, controller_->MicrophoneType(rack, channel),
                                  [this, rack, channel](MicType type) {
                                      controller_->SetMicrophoneType(rack, channel, type);
                                  });
    menu->popup(globalPos);
}

void CMicDlg::OnRestoreScope() {
    auto* dialog = new CRestoreScope(controller_->Settings().restoreScope, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this,
            [this, dialog] { controller_->SetRestoreScope(dialog->Scope()); });
    dialog->open();
}

void CMicDlg::ShowPhantomRefused(int rack, int channel) {
    if (rack == controller_->DisplayedRack() && channel >= 0 && channel < 12) {
        micTag_[channel]->FlashRefusal();
    }
}

void CMicDlg::OnStorePreset() {
    if (!controller_->PresetButtonsUsable()) {
        return;
    }
    store_->SetPicture(kPicStoreActive);
    QFileDialog* dialog =
        MakePresetDialog(this, true, QString::fromLocal8Bit(controller_->Settings().fileName));
    dialog->setObjectName(QStringLiteral("storePresetDialog"));
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString& path) {
        controller_->StorePreset(path.toLocal8Bit().toStdString());
    });
    connect(dialog, &QDialog::finished, this, [this] { store_->SetPicture(kPicStoreNormal); });
    dialog->open();
}

void CMicDlg::OnSetup() {
    controller_->SetupClicked();
}

CDiagnostics* CMicDlg::SetupWindow() const {
    return setupWindow_.data();
}

void CMicDlg::OpenSetupWindow(const SetupWindowArgs& args) {
    auto* window = new CDiagnostics(this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->SetPortIndex(static_cast<int>(args.portNumber));
    window->SetIntegrate(args.useWithVantor);
    window->SetAutoOptions(args.autoLoad, args.autoRestore);
    for (int r = 0; r < 16 && r < static_cast<int>(args.versions.size()); ++r) {
        window->SetVersionText(r, Latin1(args.versions[r]));
    }
    // Actions are posted: they run after the window's own handler has returned.
    connect(
        window, &CDiagnostics::SetupAction, this,
        [this](int value, int action) { controller_->SetupAction(value, action); },
        Qt::QueuedConnection);
    connect(window, &QDialog::finished, this, [this] { controller_->SetupWindowClosed(); });
    setupWindow_ = window;
    window->open();
}

void CMicDlg::OnExit() {
    if (asking_ || closing_) {
        return;
    }
    asking_ = true;
    exit_->SetPicture(kPicExitAsking);
    auto* confirm = new CConfirmClose(this);
    confirm->setAttribute(Qt::WA_DeleteOnClose);
    connect(confirm, &QDialog::finished, this, [this](int result) {
        asking_ = false;
        if (result == QDialog::Accepted) {
            FinishClose();
        } else {
            exit_->SetPicture(kPicExitNormal);
        }
    });
    confirm->open();
}

void CMicDlg::OnAbout() {
    CAboutDlg about(this);
    about.exec();
}

void CMicDlg::OnButtonFromVantor(int wParam, int lParam) {
    if (!closing_) {
        controller_->ApplyConsoleData(wParam, lParam);
    }
}

void CMicDlg::ShutdownRequest() {
    if (!closing_) {
        FinishClose();
    }
}

void CMicDlg::FinishClose() {
    closing_ = true;
    timers_->KillTimer(kTimerPopup);
    if (popup_->open) {
        popup_->Close();
    }
    controller_->Close();
    done(QDialog::Accepted);
    emit Closed();
}

void CMicDlg::reject() {
    OnExit();
}

void CMicDlg::closeEvent(QCloseEvent* event) {
    if (closing_) {
        event->accept();
        return;
    }
    event->ignore();
    OnExit();
}

// --- big-controls popup ------------------------------------------------------------------------

StripInfo CMicDlg::StripOf(int rack, int channel) const {
    const PreampState& s = controller_->State();
    const int i = ChannelIndex(rack, channel);
    const uint32_t setting = s.setting[i] & 0x7F;
    StripInfo st;
    st.path = static_cast<int>(s.assignment[i]);
    st.name = Latin1(s.Name(i));
    st.status = static_cast<int>(s.status[i]);
    st.gainDb = GainDb(setting & kGainMask);
    st.phantom = (setting & kPhantomBit) != 0;
    st.pad = (setting & kPadBit) != 0;
    st.direct = s.directSwitch[i] != 0;
    st.phase = (setting & kPhaseBit) != 0;
    return st;
}

void CMicDlg::DriveChannelPopup(int rack, int channel, int previousGainStep, bool fromSelect) {
    ShowChannelPopup(rack, channel, previousGainStep, fromSelect);
}

void CMicDlg::ShowChannelPopup(int rack, int channel, int previousGainStep, bool fromSelect) {
    if (rack < 0 || rack >= kRacks || channel < 0 || channel >= kChannelsPerRack) {
        return;
    }
    QWidget* front = QApplication::activeWindow();
    if (front && front != this && front != popup_) {
        previousForeground_ = front;
    }
    BringToForeground();
    if (controller_->SequentialLock() || !controller_->AnyRackOnLine()) {
        return;
    }
    if (popup_->open && !popup_->ready) {
        return;
    }
    timers_->KillTimer(kTimerPopup);

    const PreampState& s = controller_->State();
    StripInfo middle = StripOf(rack, channel);
    if (popup_->open && popup_->previousShown && middle.path == shownPath_) {
        middle.previousGainDb = -1;
    } else {
        middle.previousGainDb = GainDb(static_cast<uint32_t>(std::max(previousGainStep, 0)));
    }
    StripInfo left;
    StripInfo right;
    left.path = -1;
    right.path = 1000;
    for (int line = 1; line <= 120; ++line) {
        for (const ChannelMapping& m : controller_->Lists().List(line - 1)) {
            if (m.rack < 0 || m.rack >= kRacks || m.channel < 0 || m.channel >= kChannelsPerRack) {
                continue;
            }
            if (s.assignment[ChannelIndex(m.rack, m.channel)] != static_cast<uint32_t>(line)) {
                continue;
            }
            if (line < middle.path && line > left.path) {
                left = StripOf(m.rack, m.channel);
            } else if (line > middle.path && line < right.path) {
                right = StripOf(m.rack, m.channel);
            }
        }
    }
    const bool force = !(popup_->open && shownPath_ == middle.path);
    popup_->SetStrips(force, left, middle, right);

    const bool selected = controller_->SelectedRack() >= 0 && controller_->SelectedChannel() >= 0;
    auto refresh = [&] {
        popup_->ready = false;
        shownPath_ = middle.path;
        popup_->Refresh();
    };
    auto open = [&] {
        popup_->open = true;
        popup_->ready = false;
        shownPath_ = middle.path;
        popup_->Refresh();
        QRect area = geometry();
        QRect frame = popup_->frameGeometry();
        frame.moveCenter(area.center());
        popup_->move(frame.topLeft());
        popup_->show();
        popup_->raise();
    };
    if (fromSelect) {
        if (!selected) {
            if (popup_->ready) {
                timers_->SetTimer(kTimerPopup, kPopupCloseMs);
            }
            return;
        }
        if (popup_->open) {
            if (popup_->ready) {
                refresh();
            }
        } else {
            open();
        }
        return;
    }
    if (selected &&
        (controller_->SelectedRack() != rack || controller_->SelectedChannel() != channel)) {
        return;
    }
    if (!selected) {
        timers_->SetTimer(kTimerPopup, kPopupCloseMs);
    }
    if (!popup_->open) {
        open();
    } else if (popup_->ready) {
        refresh();
    }
}

bool CMicDlg::PopupOpeningNotReady() const {
    return popup_->open && !popup_->ready;
}

bool CMicDlg::PopupOpenAndReady() const {
    return popup_->open && popup_->ready && popup_->isVisible();
}

void CMicDlg::PopupTimerExpired() {
    const bool selected = controller_->SelectedRack() >= 0 && controller_->SelectedChannel() >= 0;
    if (popup_->open && popup_->ready && !selected) {
        shownPath_ = -1;
        popup_->EmptyNames();
        popup_->Close();
    }
    if (previousForeground_) {
        previousForeground_->raise();
        previousForeground_->activateWindow();
    }
    previousForeground_.clear();
}

void CMicDlg::ClearPopup() {
    timers_->KillTimer(kTimerPopup);
    // Without the pop-up-on-selection option nothing keeps the popup up: an open popup goes.
    if (popup_->open && popup_->ready) {
        shownPath_ = -1;
        popup_->Close();
    }
}

}  // namespace mic::ui
