// Phantom safety and the preset preview against simulated racks: a ribbon channel's phantom
// stays off at the rack whatever asks for it, the preview lists the channels that then change
// at the racks, and a gains-only load leaves phantom, pad and names alone.
#include <QCheckBox>
#include <QFileDialog>
#include <QMenu>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QTreeWidget>
#include <array>
#include <mutex>

#include "MicDlgFixture.h"
#include "mic/core/PresetFile.h"
#include "mic/ui/CBmpButton.h"
#include "mic/ui/CMicTypeTag.h"
#include "mic/ui/CPresetPreview.h"
#include "mic/ui/CRecallScopeBox.h"
#include "mic/ui/CRestoreScope.h"

using mic::ui::testing::SimulatedWindow;

namespace {

constexpr uint8_t kPhantom = 0x40;

struct Refusals : mic::ChangeObserver {
    void ChannelChanged(const mic::ChannelChange& c) override {
        if (c.refused && c.reason == mic::refusal::kPhantomUnsafe) {
            seen.push_back(c);
        }
    }
    int Count(mic::ChangeSource source) const {
        int n = 0;
        for (const auto& c : seen) {
            n += c.origin.source == source;
        }
        return n;
    }
    std::vector<mic::ChannelChange> seen;
};

// The console's mic-line image as the console link would hold it.
struct ConsoleImage : mic::ConsoleImageSource {
    ConsoleImage() {
        for (int l = 0; l < mic::kConsoleLines; ++l) {
            image[4 * l] = 1;  // phantom off
            image[4 * l + 2] = 3;
        }
    }
    void WithImage(const std::function<void(const uint8_t*)>& apply) override {
        std::lock_guard<std::mutex> lock(mutex);
        apply(image.data());
    }
    std::mutex mutex;
    std::array<uint8_t, mic::kMicLineImageSize> image{};
};

template <typename T>
T* WaitForVisible(QWidget* parent, const QString& name) {
    T* found = nullptr;
    (void)QTest::qWaitFor(
        [&] {
            for (T* c : parent->findChildren<T*>(name)) {
                if (c->isVisible()) {
                    found = c;
                }
            }
            return found != nullptr;
        },
        5000);
    return found;
}

// Load Preset through the file dialog; returns the preview dialog it opens.
mic::ui::CPresetPreview* OpenPreview(SimulatedWindow& s, const QString& path) {
    if (!QTest::qWaitFor([&] { return s.C().PresetButtonsUsable(); }, 15000)) {
        return nullptr;
    }
    QTest::mouseClick(s.window->LoadButton(), Qt::LeftButton);
    auto* files = WaitForVisible<QFileDialog>(s.window.get(), QStringLiteral("loadPresetDialog"));
    if (!files) {
        return nullptr;
    }
    files->selectFile(path);
    static_cast<QDialog*>(files)->accept();
    return WaitForVisible<mic::ui::CPresetPreview>(s.window.get(),
                                                   QStringLiteral("presetPreviewDialog"));
}

// Channels (rack × 12 + channel) whose rack-side state differs between two readings.
QSet<int> ChangedAtRacks(const std::array<px5r::RackState, px5r::kRacks>& before,
                         const std::array<px5r::RackState, px5r::kRacks>& after) {
    QSet<int> changed;
    for (int r = 0; r < px5r::kRacks; ++r) {
        for (int c = 0; c < px5r::kChannels; ++c) {
            if (!(before[r].channels[c] == after[r].channels[c])) {
                changed.insert(r * 12 + c);
            }
        }
    }
    return changed;
}

}  // namespace

class SafetyAgainstRacks : public QObject {
    Q_OBJECT

  private slots:
    void clicksRemoteSetsAndTheConsoleNeverPowerARibbon();
    void aPresetLoadAppliesTheChannelButNotItsPhantom();
    void theRestoreHoldsARibbonsPhantomOffAtStartAndOnReturn();
    void thePreviewListsTheChannelsThatThenChangeAtTheRacks();
    void aGainsOnlyLoadLeavesPhantomPadAndNames();
    void theStartUpScopeIsChosenInItsDialog();
};

void SafetyAgainstRacks::clicksRemoteSetsAndTheConsoleNeverPowerARibbon() {
    ConsoleImage console;
    SimulatedWindow s;
    QVERIFY(s.Start(1, true, 0, [&](mic::ui::CMicDlg::Options& o) { o.console = &console; }));
    Refusals refusals;
    s.C().AddObserver(&refusals);
    QTRY_COMPARE_WITH_TIMEOUT(s.C().Engine().OnLineCount(), 1, 10000);
    s.Settle();

    // The type is declared from the phantom button's menu.
    s.window->OpenMicTypeMenu(3, s.window->mapToGlobal(QPoint(30, 160)));
    auto* menu = WaitForVisible<QMenu>(s.window.get(), QStringLiteral("micTypeMenu"));
    QVERIFY(menu);
    auto* ribbon = menu->findChild<QAction*>(QStringLiteral("micTypeRibbon"));
    QVERIFY(ribbon);
    ribbon->trigger();
    menu->close();
    QCOMPARE(s.C().MicrophoneType(0, 3), mic::MicType::Ribbon);
    QVERIFY(s.window->MicTypeTag(3)->isVisible());
    QCOMPARE(s.window->MicTypeTag(3)->text(), QStringLiteral("RIB"));
    QVERIFY(s.window->PhantomButton(3)->toolTip().contains(QStringLiteral("phantom refused")));

    QTest::mouseClick(s.window->PhantomButton(3), Qt::LeftButton);
    QCOMPARE(s.window->PhantomButton(3)->Picture(), int(mic::kPicPhantomOff));
    QVERIFY(s.window->MicTypeTag(3)->Flashing());
    QCOMPARE(s.window->MicTypeTag(3)->text(), QStringLiteral("NO 48V"));
    QCOMPARE(refusals.Count(mic::ChangeSource::Operator), 1);

    mic::ChangeOrigin peer;
    peer.source = mic::ChangeSource::Remote;
    peer.detail = "127.0.0.1:9000";
    QVERIFY(s.C().SetChannelField(0, 3, mic::ChannelField::Phantom, 1, peer).refused);
    QCOMPARE(refusals.Count(mic::ChangeSource::Remote), 1);

    // The console line that owns the channel asks for phantom: refused, reported once.
    QVERIFY(!s.C().AssignConsoleChannel(3, 5).refused);
    s.Settle();
    {
        std::lock_guard<std::mutex> lock(console.mutex);
        console.image[4 * 4] = 0;
        console.image[4 * 4 + 2] = 9;
    }
    s.window->OnButtonFromVantor(255, 255);
    s.window->OnButtonFromVantor(255, 255);
    QCOMPARE(refusals.Count(mic::ChangeSource::ConsoleLine), 1);
    // A condenser on the channel beside it gets the same line's phantom.
    QVERIFY(!s.C().AssignConsoleChannel(4, 5).refused);
    s.Settle();
    QTRY_COMPARE_WITH_TIMEOUT(s.RackSetting(0, 4), uint8_t(kPhantom | 9), 15000);
    QTRY_COMPARE_WITH_TIMEOUT(s.RackSetting(0, 3) & 0x0F, 9, 15000);
    QCOMPARE(s.RackSetting(0, 3) & kPhantom, 0);
    s.C().RemoveObserver(&refusals);
}

void SafetyAgainstRacks::aPresetLoadAppliesTheChannelButNotItsPhantom() {
    SimulatedWindow s;
    QVERIFY(s.Start(1, false, 0, [](mic::ui::CMicDlg::Options& o) {
        o.config.settings.microphoneTypes[2] = mic::MicType::Line;
    }));
    Refusals refusals;
    s.C().AddObserver(&refusals);
    QTRY_COMPARE_WITH_TIMEOUT(s.C().Engine().OnLineCount(), 1, 10000);
    s.Settle();
    mic::PreampState preset;
    preset.setting[2] = kPhantom | 0x10 | 9;
    preset.setting[5] = kPhantom | 4;
    preset.SetName(2, "DI bass");
    preset.nameShown[2] = 1;
    const QString path = s.dir.filePath(QStringLiteral("line.mic"));
    QVERIFY(mic::SavePresetFile(path.toStdString(), preset));

    auto* preview = OpenPreview(s, path);
    QVERIFY(preview);
    const auto refused = preview->Tree()->findItems(QStringLiteral("(refused:"),
                                                    Qt::MatchContains | Qt::MatchRecursive);
    QCOMPARE(refused.size(), 1);
    QCOMPARE(refused[0]->parent()->text(0), QStringLiteral("Channel 3: 3 changes, 1 refused"));
    QVERIFY(preview->Summary()->text().startsWith(
        QStringLiteral("5 changes, 1 refused on 2 channel(s) of 1 rack(s).")));
    QTest::mouseClick(preview->LoadButton(), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(s.RackSetting(0, 5), uint8_t(kPhantom | 4), 15000);
    QTRY_COMPARE_WITH_TIMEOUT(s.RackSetting(0, 2), uint8_t(0x10 | 9), 15000);
    QCOMPARE(s.window->NameBox(2)->text(), QStringLiteral("DI bass"));
    QCOMPARE(refusals.Count(mic::ChangeSource::PresetFile), 1);
    s.C().RemoveObserver(&refusals);
}

void SafetyAgainstRacks::theRestoreHoldsARibbonsPhantomOffAtStartAndOnReturn() {
    QTemporaryDir files;
    const std::string snapshot = files.filePath(QStringLiteral("restore.mic")).toStdString();
    mic::PreampState saved;
    saved.setting[0] = kPhantom | 8;
    saved.setting[1] = kPhantom | 8;
    QVERIFY(mic::SavePresetFile(snapshot, saved));
    SimulatedWindow s;
    QVERIFY(s.Start(1, false, 0, [&](mic::ui::CMicDlg::Options& o) {
        o.config.settings.autoRestore = true;
        o.config.settings.microphoneTypes[0] = mic::MicType::Ribbon;
        o.config.snapshotPath = snapshot;
    }));
    QTRY_COMPARE_WITH_TIMEOUT(s.C().Engine().OnLineCount(), 1, 10000);
    s.Settle();
    QTRY_COMPARE_WITH_TIMEOUT(s.RackSetting(0, 1), uint8_t(kPhantom | 8), 15000);
    QCOMPARE(s.RackSetting(0, 0), uint8_t(8));

    // Switched on at the rack's own panel, then the rack drops out and returns: the state it
    // is sent back has the ribbon's phantom off.
    Refusals refusals;
    s.C().AddObserver(&refusals);
    s.sim->FrontPanel(0, 0, px5r::ChannelState{.setting = kPhantom | 8, .assignment = 0x7F});
    QTRY_VERIFY_WITH_TIMEOUT(s.C().State().setting[0] & kPhantom, 15000);
    s.sim->SetPresent(0, false);
    QTRY_COMPARE_WITH_TIMEOUT(s.C().Engine().OnLineCount(), 0, 15000);
    s.sim->SetPresent(0, true);
    QTRY_COMPARE_WITH_TIMEOUT(s.C().Engine().OnLineCount(), 1, 15000);
    QTRY_COMPARE_WITH_TIMEOUT(s.RackSetting(0, 0), uint8_t(8), 15000);
    QCOMPARE(s.RackSetting(0, 1), uint8_t(kPhantom | 8));
    QCOMPARE(refusals.Count(mic::ChangeSource::AutoRestore), 1);
    s.C().RemoveObserver(&refusals);
}

void SafetyAgainstRacks::thePreviewListsTheChannelsThatThenChangeAtTheRacks() {
    SimulatedWindow s;
    QVERIFY(s.Start(2));
    QTRY_COMPARE_WITH_TIMEOUT(s.C().Engine().OnLineCount(), 2, 10000);
    s.Settle();
    QTest::mouseClick(s.window->PhantomButton(1), Qt::LeftButton);
    QTest::mouseClick(s.window->PadButton(6), Qt::LeftButton);
    s.Settle();

    mic::PreampState preset = s.C().State();
    preset.setting[1] &= ~uint32_t{kPhantom};  // rack 1 channel 2
    preset.setting[9] = 0x20 | 7;              // rack 1 channel 10
    preset.directSwitch[12 + 4] = 1;           // rack 2 channel 5
    preset.setting[12 + 11] = kPhantom | 13;   // rack 2 channel 12
    preset.SetName(12 + 8, "Room L");          // a name only
    const QString path = s.dir.filePath(QStringLiteral("diff.mic"));
    QVERIFY(mic::SavePresetFile(path.toStdString(), preset));
    const auto before = s.sim->Racks();

    auto* preview = OpenPreview(s, path);
    QVERIFY(preview);
    QSet<int> listed;
    QSet<int> named;
    for (int r = 0; r < preview->Tree()->topLevelItemCount(); ++r) {
        QTreeWidgetItem* rack = preview->Tree()->topLevelItem(r);
        const int rackNumber = rack->text(0).section(QLatin1Char(' '), 1, 1).chopped(1).toInt();
        for (int c = 0; c < rack->childCount(); ++c) {
            QTreeWidgetItem* channel = rack->child(c);
            const int index = (rackNumber - 1) * 12 +
                              channel->text(0).section(QLatin1Char(' '), 1, 1).chopped(1).toInt() -
                              1;
            for (int k = 0; k < channel->childCount(); ++k) {
                (channel->child(k)->text(0).startsWith(QStringLiteral("name:")) ? named : listed)
                    .insert(index);
            }
        }
    }
    QCOMPARE(listed, (QSet<int>{1, 9, 16, 23}));
    QCOMPARE(named, QSet<int>{20});
    QVERIFY(
        preview->Summary()->text().startsWith(QStringLiteral("7 changes on 5 channel(s) of 2")));
    QTest::mouseClick(preview->LoadButton(), Qt::LeftButton);
    s.Settle();
    QTRY_COMPARE_WITH_TIMEOUT(ChangedAtRacks(before, s.sim->Racks()), listed, 15000);
}

void SafetyAgainstRacks::aGainsOnlyLoadLeavesPhantomPadAndNames() {
    SimulatedWindow s;
    QVERIFY(s.Start(1));
    QTRY_COMPARE_WITH_TIMEOUT(s.C().Engine().OnLineCount(), 1, 10000);
    s.Settle();
    QTest::mouseClick(s.window->PhantomButton(0), Qt::LeftButton);
    QTest::mouseClick(s.window->PadButton(0), Qt::LeftButton);
    s.C().SetChannelName(0, 0, "Vox", {});
    s.Settle();
    mic::PreampState preset;
    preset.setting[0] = 11;
    preset.setting[1] = kPhantom | 0x10 | 6;
    preset.SetName(0, "Other");
    const QString path = s.dir.filePath(QStringLiteral("gains.mic"));
    QVERIFY(mic::SavePresetFile(path.toStdString(), preset));

    auto* preview = OpenPreview(s, path);
    QVERIFY(preview);
    QCOMPARE(preview->ScopeBox()->Box(mic::ChannelField::Gain)->text(),
             QStringLiteral("&Gains (2)"));
    for (auto f : {mic::ChannelField::Phantom, mic::ChannelField::Phase, mic::ChannelField::Pad,
                   mic::ChannelField::DirectOut, mic::ChannelField::Name,
                   mic::ChannelField::ConsoleChannel}) {
        preview->ScopeBox()->Box(f)->click();
    }
    QCOMPARE(preview->Scope(), uint32_t{mic::kRecallGain});
    // The list now holds the two gain changes only.
    QCOMPARE(preview->Tree()
                 ->findItems(QStringLiteral(":"), Qt::MatchContains | Qt::MatchRecursive)
                 .size(),
             2 + 2 + 1);  // two lines, two channels, one rack
    QTest::mouseClick(preview->LoadButton(), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(s.RackSetting(0, 1), uint8_t(6), 15000);
    QTRY_COMPARE_WITH_TIMEOUT(s.RackSetting(0, 0), uint8_t(kPhantom | 0x10 | 11), 15000);
    QCOMPARE(s.window->PhantomButton(0)->Picture(), int(mic::kPicPhantomOn));
    QCOMPARE(s.window->NameBox(0)->text(), QStringLiteral("Vox"));
    QCOMPARE(QString::fromStdString(s.C().Settings().fileName), path);

    // Cancelled, nothing changes and the file name stays.
    preset.setting[0] = 3;
    const QString other = s.dir.filePath(QStringLiteral("other.mic"));
    QVERIFY(mic::SavePresetFile(other.toStdString(), preset));
    s.Settle();
    preview = OpenPreview(s, other);
    QVERIFY(preview);
    preview->reject();
    QTest::qWait(300);
    QCOMPARE(s.RackSetting(0, 0), uint8_t(kPhantom | 0x10 | 11));
    QCOMPARE(QString::fromStdString(s.C().Settings().fileName), path);
}

void SafetyAgainstRacks::theStartUpScopeIsChosenInItsDialog() {
    SimulatedWindow s;
    QVERIFY(s.Start(1));
    QAction* action = s.window->findChild<QAction*>(QStringLiteral("restoreScopeAction"));
    QVERIFY(action);
    action->trigger();
    auto* dialog = WaitForVisible<mic::ui::CRestoreScope>(s.window.get(),
                                                          QStringLiteral("restoreScopeDialog"));
    QVERIFY(dialog);
    QCOMPARE(dialog->Scope(), mic::kRecallEverything);
    dialog->ScopeBox()->Box(mic::ChannelField::Phantom)->click();
    dialog->accept();
    QCOMPARE(s.C().Settings().restoreScope,
             mic::kRecallEverything & ~uint32_t{mic::kRecallPhantom});
}

QTEST_MAIN(SafetyAgainstRacks)
#include "tst_safety_sim.moc"
