#include "CMicApp.h"

#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSocketNotifier>
#include <cstdio>
#include <cstring>
#include <memory>

#include "ConsoleLink.h"
#include "Demo.h"
#include "InstanceChecker.h"
#include "ProfileSettings.h"
#include "RemoteControl.h"
#include "console/ConsoleSettings.h"
#include "mic/core/PresetFile.h"
#include "mic/journal/ChangeJournal.h"
#include "mic/ui/CDiagnostics.h"
#include "mic/ui/CJournalWindow.h"
#include "mic/ui/CMicDlg.h"
#include "platform/TerminationSignals.h"
#include "px5r/Simulator.h"

namespace mic::app {

Arguments ParseArguments(const QStringList& arguments) {
    Arguments a;
    QStringList rest;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            a.help = true;
        } else if (arg == QLatin1String("--simulate")) {
            bool ok = false;
            const int n = i + 1 < arguments.size() ? arguments[i + 1].toInt(&ok) : 0;
            if (!ok || n < 1 || n > 16) {
                a.error = QStringLiteral("--simulate needs a number of racks from 1 to 16");
                return a;
            }
            a.simulate = n;
            ++i;
        } else if (arg == QLatin1String("--osc")) {
            bool ok = false;
            const int port = i + 1 < arguments.size() ? arguments[i + 1].toInt(&ok) : 0;
            if (!ok || port < 1 || port > 65535) {
                a.error = QStringLiteral("--osc needs a UDP port from 1 to 65535");
                return a;
            }
            a.oscPort = port;
            ++i;
        } else if (arg == QLatin1String("--demo")) {
            if (i + 1 >= arguments.size()) {
                a.error = QStringLiteral("--demo needs a directory");
                return a;
            }
            a.demoDir = arguments[++i];
        } else {
            rest << arg;
        }
    }
    a.raw = rest.join(QLatin1Char(' ')).toLocal8Bit().toStdString();
    return a;
}

QString UsageText() {
    return QStringLiteral(
        "Usage: mic [ZERIN] [--simulate N] [--osc PORT] [--demo DIR]\n"
        "Remote Microphone Amplifier Control: the controller of PX5R pre-amp racks.\n\n"
        "  ZERIN          the alternate gain artwork (the whole argument string must be ZERIN)\n"
        "  --simulate N   run N simulated racks (1-16) on an internal pseudo-terminal; every\n"
        "                 communication port leads to them\n"
        "  --osc PORT     turn the remote control (OSC over UDP) on for this run, on this port;\n"
        "                 it listens where the profile's \"OSC Address\" says (default\n"
        "                 127.0.0.1) and answers the peers its \"OSC Allow\" list names when\n"
        "                 that address is not a loopback address\n"
        "  --demo DIR     with --simulate: operate the program for a few seconds and write\n"
        "                 DIR/screenshot.png and DIR/report.txt (exit code 0 when every step\n"
        "                 reached the racks); runs offscreen unless QT_QPA_PLATFORM names a\n"
        "                 platform, and keeps its registry in DIR/registry unless\n"
        "                 KESTANE_REGISTRY_DIR is set\n"
        "  --help         this text\n");
}

std::unique_ptr<mic::journal::ChangeJournal> OpenJournal(const MicSettings& settings,
                                                         bool simulated) {
    mic::journal::JournalOptions options;
    // Simulated racks keep a journal of their own, as they keep a snapshot of their own.
    if (simulated) {
        options.path = StateDirectory() + "/journal-simulated.db";
    }
    options.limits.maxAgeUs = int64_t{settings.journalMaxAgeDays} * 24 * 3600 * 1000000;
    options.limits.maxRows = settings.journalMaxRows;
    std::string error;
    auto journal = mic::journal::ChangeJournal::Open(options, &error);
    if (!journal) {
        std::fprintf(stderr, "mic: changes are not journaled: %s\n", error.c_str());
    }
    return journal;
}

CMicApp::CMicApp(std::string baseName) : baseName_(std::move(baseName)) {}

int CMicApp::InitInstance(const Arguments& args) {
    const bool demo = !args.demoDir.isEmpty();

    // Log-off, shutdown, a service manager or Ctrl-C: taken over before the instance record
    // can exist and given back only after it is gone, so that no signal leaves it behind.
    // (A demo writes nothing that outlives it and keeps the default: it just ends.)
    std::unique_ptr<platform::TerminationSignals> termination;
    if (!demo) {
        termination = std::make_unique<platform::TerminationSignals>();
    }

    // A demo runs beside a real instance: it neither takes nor wakes the single instance.
    std::unique_ptr<CInstanceChecker> checker;
    if (!demo) {
        checker = std::make_unique<CInstanceChecker>(baseName_);
        if (!checker->IsFirstInstance()) {
            checker->WakePreviousInstance();
            return 0;
        }
    }

    WriteConsoleType(IsZerin(args.raw) ? 1 : 0);

    ReadConsoleSettings();
    const bool consoleType6 = GetConsoleSettings().VantorConsoleType == kIntegratingConsoleType;
    ProfileStart start = ReadProfile(consoleType6);
    RegistryProfileWriter writer;
    if (start.portReplaced) {
        SaveSettings(writer, start.settings);
    }
    // Console integration is decided once: console type 6, "Use With Vantor" = 1 and the
    // console program installed.
    const bool integration = consoleType6 && start.settings.useWithVantor == 1 &&
                             QFileInfo::exists(mic::ui::CDiagnostics::ConsoleProgramPath());
    if (integration) {
        ReadPopupOptions(start.settings);
    }

    std::unique_ptr<px5r::Simulator> simulator;
    std::string simulatedDevice;
    if (args.simulate > 0) {
        simulator = std::make_unique<px5r::Simulator>(px5r::SimOptions{.racks = args.simulate});
        if (!simulator->Start()) {
            std::fprintf(stderr, "mic: cannot start the simulated racks (no pseudo-terminal)\n");
            return 1;
        }
        simulatedDevice = simulator->SlavePath();
    }

    mic::ui::CMicDlg::Options options;
    options.config.settings = start.settings;
    options.config.consoleIntegration = integration;
    if (demo) {
        options.config.snapshotPath =
            QDir(args.demoDir).filePath(QString::fromLatin1(kSnapshotName)).toStdString();
        options.config.debugLogPath =
            QDir(args.demoDir).filePath(QStringLiteral("MicDebug.txt")).toStdString();
    } else if (simulator) {
        // Simulated racks must not overwrite the snapshot of the real ones.
        options.config.snapshotPath = StateDirectory() + "/RestoreSnapshot-simulated.mic";
    }
    options.consoleType = start.consoleType;
    options.profile = &writer;
    if (simulator) {
        options.deviceResolver = [simulatedDevice](uint32_t) { return simulatedDevice; };
    }

    // With integration the mic-line receiver exists before the window that reads its image.
    std::unique_ptr<ConsoleLink> link;
    if (integration) {
        InstallQtMessageBoxes();
        link = std::make_unique<ConsoleLink>();
        options.console = link->ImageSource();
    }

    // The change journal is opt-in ("Journal" = 1 in the profile): with default settings mic
    // writes no file it did not write before. Declared before the window, so that it outlives
    // the controller that reports to it and the Journal window that listens to it.
    std::unique_ptr<mic::journal::ChangeJournal> journal;
    if (!demo && start.settings.journal) {
        journal = OpenJournal(start.settings, simulator != nullptr);
    }

    mic::ui::CMicDlg window(options);
    if (link) {
        link->AttachMicLine(window);
    }
    if (journal) {
        window.Controller().AddObserver(journal.get());
        mic::ui::CJournalWindow::AddEntryTo(window, *journal);
    }

    // The wake-up channel that the published handle names.
    QLocalServer wakeServer;
    const uint32_t handle = static_cast<uint32_t>(::getpid());
    auto publish = [&] {
        if (!checker) {
            return;
        }
        const QString path = QString::fromStdString(WakeSocketPath(baseName_, handle));
        QLocalServer::removeServer(path);
        wakeServer.setSocketOptions(QLocalServer::UserAccessOption);
        if (!wakeServer.listen(path)) {
            return;
        }
        QObject::connect(&wakeServer, &QLocalServer::newConnection, &window, [&] {
            while (QLocalSocket* s = wakeServer.nextPendingConnection()) {
                QObject::connect(s, &QLocalSocket::readyRead, &window, [s, &window] {
                    if (s->readAll().startsWith(kWakeMessage)) {
                        std::fprintf(stderr, "mic: woken by a second start\n");
                        window.Wake();
                    }
                });
                QObject::connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
            }
        });
        checker->StoreWindowHandle(handle);
    };

    if (demo) {
        window.show();
        window.Initialise(publish);
        if (link) {
            link->AttachClientMonitor();
        }
        return RunDemo(window, simulator.get(), args.simulate, args.demoDir,
                       link ? link->ImageSource() : nullptr);
    }

    // A signal closes the program as a shutdown request from the console does: settings and
    // snapshot saved, nothing asked. Every event loop is left, so a dialog that happens to be
    // open (a message box, the port error) does not keep the program waiting for an operator
    // who has gone.
    std::unique_ptr<QSocketNotifier> signalNotifier;
    if (termination->Valid()) {
        signalNotifier =
            std::make_unique<QSocketNotifier>(termination->Fd(), QSocketNotifier::Read);
        QObject::connect(signalNotifier.get(), &QSocketNotifier::activated, &window, [&] {
            const int number = termination->Take();
            if (number == 0) {
                return;
            }
            std::fprintf(stderr, "mic: %s: saving and closing\n", ::strsignal(number));
            window.ShutdownRequest();
            QCoreApplication::exit(0);
        });
    }
    window.Initialise(publish);
    if (link) {
        link->AttachClientMonitor();
    }
    // The remote control, when the profile or the command line turns it on: polled from this
    // loop, so remote sets run on the main thread between the window's own events.
    std::unique_ptr<mic::osc::RemoteControl> remote;
    std::string oscProblem;
    mic::osc::OscSettings osc = ReadOscSettings(oscProblem);
    if (!oscProblem.empty()) {
        std::fprintf(stderr, "mic: remote control off: %s\n", oscProblem.c_str());
    }
    if (args.oscPort > 0) {
        osc.enabled = true;
        osc.port = static_cast<uint16_t>(args.oscPort);
    }
    if (osc.enabled) {
        remote = std::make_unique<mic::osc::RemoteControl>(window.Controller());
        std::string error;
        if (remote->Start(osc, "mic " KESTANE_VERSION, error)) {
            std::fprintf(stderr, "mic: remote control on %s port %u\n",
                         osc.address.empty() ? mic::osc::kDefaultAddress : osc.address.c_str(),
                         unsigned(remote->Port()));
        } else {
            std::fprintf(stderr, "mic: remote control off: %s\n", error.c_str());
            remote.reset();
        }
    }
    window.exec();
    return 0;
}

}  // namespace mic::app
