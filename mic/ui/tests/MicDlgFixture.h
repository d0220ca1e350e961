// A main window wired to simulated racks on a pty, for the GUI tests.
#pragma once

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>

#include "mic/ui/CMicDlg.h"
#include "mic/ui/SmallDialogs.h"
#include "px5r/Simulator.h"

namespace mic::ui::testing {

struct SimulatedWindow {
    QTemporaryDir dir;
    std::unique_ptr<px5r::Simulator> sim;
    std::unique_ptr<CMicDlg> window;

    // Starts `racks` simulated racks and a window whose every port leads to them.
    // `adjust` may change the options (settings, console) before the window is built.
    bool Start(int racks, bool integration = false, int consoleType = 0,
               const std::function<void(CMicDlg::Options&)>& adjust = {}) {
        mic::ui::ApplyDialogColours(*qApp);
        sim = std::make_unique<px5r::Simulator>(px5r::SimOptions{.racks = racks});
        if (!sim->Start()) {
            return false;
        }
        const std::string device = sim->SlavePath();
        CMicDlg::Options options;
        options.config.settings.communicationPort = 1;
        options.config.settings.portWasStored = true;
        options.config.settings.autoRestore = false;
        options.config.consoleIntegration = integration;
        options.config.snapshotPath = dir.filePath(QStringLiteral("snapshot.mic")).toStdString();
        options.config.debugLogPath = dir.filePath(QStringLiteral("MicDebug.txt")).toStdString();
        options.consoleType = consoleType;
        options.deviceResolver = [device](uint32_t) { return device; };
        if (adjust) {
            adjust(options);
        }
        window = std::make_unique<CMicDlg>(options);
        window->show();
        window->Initialise();
        return true;
    }

    MicController& C() { return window->Controller(); }

    uint8_t RackSetting(int rack, int channel) const {
        return sim->Rack(rack).channels[channel].setting;
    }

    // Lets the window run until the transmit ring is empty and the line has been quiet a moment.
    void Settle(int ms = 15000) {
        QTRY_VERIFY_WITH_TIMEOUT(C().Engine().RingEmpty(), ms);
        QTest::qWait(150);
    }
};

}  // namespace mic::ui::testing
