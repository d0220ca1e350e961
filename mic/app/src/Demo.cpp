#include "Demo.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include "ConsoleDemo.h"
#include "DemoSupport.h"
#include "mic/core/MicController.h"
#include "mic/core/PresetFile.h"
#include "mic/ui/CBmpButton.h"
#include "mic/ui/CMicDlg.h"
#include "px5r/Simulator.h"

namespace mic::app {

int RunDemo(mic::ui::CMicDlg& window, px5r::Simulator* sim, int racks, const QString& dir,
            ConsoleImageSource* console) {
    QDir().mkpath(dir);
    DemoReport report;
    auto note = [&](bool ok, const QString& what) { report.Note(ok, what); };
    MicController& c = window.Controller();
    auto rackSetting = [&](int rack, int channel) {
        return sim->Rack(rack).channels[channel].setting;
    };
    auto quiet = [&](int ms) {
        RunUntil([&] { return c.Engine().RingEmpty(); }, ms);
        RunFor(300);
    };

    report.Line(QStringLiteral("mic demonstration run against %1 simulated rack(s) on %2%3")
                    .arg(racks)
                    .arg(QString::fromStdString(sim->SlavePath()))
                    .arg(console ? QStringLiteral(", following the console") : QString()));
    note(sim->Running(), QStringLiteral("simulated racks started"));

    const bool online = RunUntil([&] { return c.Engine().OnLineCount() >= racks; }, 15000);
    note(online, QStringLiteral("%1 of %2 rack(s) came on line; rack %3 is displayed")
                     .arg(c.Engine().OnLineCount())
                     .arg(racks)
                     .arg(c.DisplayedRack() + 1));
    quiet(5000);

    // Start from a known state whatever the restored snapshot held: reset the displayed rack
    // (as "Reset Current Rack" of the Setup / Test window does).
    c.SetupAction(0, 2);
    const bool reset = RunUntil(
        [&] {
            for (int ch = 0; ch < 12; ++ch) {
                if (rackSetting(c.DisplayedRack(), ch) != 0x03) {
                    return false;
                }
            }
            return c.Engine().RingEmpty();
        },
        5000);
    note(reset,
         QStringLiteral("rack %1 reset: 20 dB, all switches off").arg(c.DisplayedRack() + 1));
    quiet(3000);

    // Phantom power on channel 1 and phase on channel 3, by clicking the buttons.
    const int rack = c.DisplayedRack();
    window.PhantomButton(0)->click();
    window.PhaseButton(2)->click();
    // Gain of channel 2 to 45 dB through its gain box, as a selection from the list.
    window.GainBox(1)->setCurrentIndex(5);
    emit window.GainBox(1)->activated(5);
    const bool sent = RunUntil(
        [&] {
            return (rackSetting(rack, 0) & 0x40) && (rackSetting(rack, 2) & 0x20) &&
                   (rackSetting(rack, 1) & 0x0F) == 8;
        },
        5000);
    note(sent, QStringLiteral("phantom on ch 1, phase on ch 3 and 45 dB on ch 2 reached rack %1 "
                              "(settings 0x%2 0x%3 0x%4)")
                   .arg(rack + 1)
                   .arg(rackSetting(rack, 0), 2, 16, QLatin1Char('0'))
                   .arg(rackSetting(rack, 1), 2, 16, QLatin1Char('0'))
                   .arg(rackSetting(rack, 2), 2, 16, QLatin1Char('0')));
    quiet(3000);

    // Store the preset.
    const QString preset = QDir(dir).filePath(QStringLiteral("demo-preset.mic"));
    c.StorePreset(preset.toStdString());
    note(QFileInfo(preset).size() == static_cast<qint64>(kPresetFileSize),
         QStringLiteral("preset stored: %1 (%2 bytes)").arg(preset).arg(QFileInfo(preset).size()));

    // Change the rack away from the preset.
    window.PhantomButton(0)->click();
    window.PhaseButton(2)->click();
    window.GainBox(1)->setCurrentIndex(0);
    emit window.GainBox(1)->activated(0);
    const bool changed = RunUntil(
        [&] {
            return !(rackSetting(rack, 0) & 0x40) && !(rackSetting(rack, 2) & 0x20) &&
                   (rackSetting(rack, 1) & 0x0F) == 3;
        },
        5000);
    note(changed, QStringLiteral("changes undone by hand reached the rack"));
    quiet(3000);

    // Load the preset: the stored state returns and is sent to every rack on line.
    c.LoadPreset(preset.toStdString());
    const bool restored = RunUntil(
        [&] {
            return (rackSetting(rack, 0) & 0x40) && (rackSetting(rack, 2) & 0x20) &&
                   (rackSetting(rack, 1) & 0x0F) == 8 && c.Engine().RingEmpty();
        },
        8000);
    const uint32_t shown = c.State().setting[ChannelIndex(rack, 0)];
    note(restored && (shown & 0x40),
         QStringLiteral("preset loaded: window and rack show phantom on ch 1, phase on ch 3, "
                        "45 dB on ch 2 again"));
    quiet(3000);

    // Show another rack when there is one, then come back for the picture.
    if (racks > 1) {
        window.RackButton(1)->click();
        const bool other = RunUntil([&] { return c.DisplayedRack() == 1; }, 2000);
        note(other, QStringLiteral("rack 2 displayed"));
        RunFor(400);
        window.RackButton(rack)->click();
        RunUntil([&] { return c.DisplayedRack() == rack; }, 2000);
    }
    RunFor(600);

    // With the console followed, the picture shows the popup its lines opened.
    const QString shot = QDir(dir).filePath(QStringLiteral("screenshot.png"));
    if (console) {
        RunConsoleDemo(window, *sim, *console, report, shot);
    } else {
        note(SaveWindowPicture(window, shot), QStringLiteral("screenshot written: %1").arg(shot));
    }

    const px5r::SimStats stats = sim->Stats();
    report.Line(QStringLiteral("line: %1 frames (%2 polls, %3 set channel, %4 set direct, "
                               "%5 data requests), %6 answers")
                    .arg(stats.framesReceived)
                    .arg(stats.polls)
                    .arg(stats.setChannels)
                    .arg(stats.setDirects)
                    .arg(stats.dataRequests)
                    .arg(stats.answersSent));
    report.Line(report.AllGood() ? QStringLiteral("RESULT: every step reached the racks")
                                 : QStringLiteral("RESULT: some steps failed"));

    QFile file(QDir(dir).filePath(QStringLiteral("report.txt")));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        QTextStream(&file) << report.Text();
    }
    QTextStream(stdout) << report.Text();
    window.ShutdownRequest();
    return report.AllGood() ? 0 : 1;
}

}  // namespace mic::app
