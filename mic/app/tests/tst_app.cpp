// Start-up of mic: the "ZERIN" rule, the profile's defaults, the single-instance rule run with
// the real program, and the real program ended by a signal against px5r-sim.
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <cstring>

#include "CMicApp.h"
#include "InstanceChecker.h"
#include "ProfileSettings.h"
#include "mic/core/SerialPort.h"
#include "platform/registry.h"

namespace reg = platform::registry;
using namespace mic::app;

namespace {

uint32_t PublishedHandle() {
    reg::Key key;
    if (reg::Key::root(reg::Hive::CurrentUser).open(kCheckerKey, key) != reg::Status::Ok) {
        return 0;
    }
    reg::Value v;
    if (key.query("mic Handle", v) != reg::Status::Ok || v.data.size() != 4) {
        return 0;
    }
    uint32_t h;
    std::memcpy(&h, v.data.data(), 4);
    return h;
}

bool SettingStored(const char* name) {
    reg::Key key;
    reg::Value v;
    return reg::Key::root(reg::Hive::CurrentUser).open(kSettingsKey, key) == reg::Status::Ok &&
           key.query(name, v) == reg::Status::Ok;
}

// px5r-sim as a separate program, driven through its stdin like an operator would.
class SimulatorProgram {
  public:
    bool Start(int racks) {
        process_.start(QStringLiteral(PX5R_SIM_PROGRAM),
                       {QStringLiteral("--racks"), QString::number(racks)});
        if (!process_.waitForStarted() || !process_.waitForReadyRead(10000)) {
            return false;
        }
        device_ = QString::fromLocal8Bit(process_.readLine().trimmed());
        return device_.startsWith(QLatin1String("/dev/"));
    }
    ~SimulatorProgram() {
        process_.write("quit\n");
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    const QString& Device() const { return device_; }
    void Command(const char* line) { process_.write(line), process_.write("\n"); }
    // A counter of the line ("polls", "data", ...) as the simulator reports it now; -1 if none.
    long Count(const QString& name) {
        Command("stats");
        for (int i = 0; i < 50 && !process_.canReadLine(); ++i) {
            process_.waitForReadyRead(100);
        }
        const QString line = QString::fromLocal8Bit(process_.readLine());
        const auto match = QRegularExpression(QStringLiteral("\\b%1 (\\d+)").arg(name)).match(line);
        return match.hasMatch() ? match.captured(1).toLong() : -1;
    }

  private:
    QProcess process_;
    QString device_;
};

}  // namespace

class AppStart : public QObject {
    Q_OBJECT

    QTemporaryDir registryDir_;
    QTemporaryDir runtimeDir_;

  private slots:
    void init() {
        QVERIFY(registryDir_.isValid() && runtimeDir_.isValid());
        reg::resetForTests();
        qputenv("KESTANE_REGISTRY_DIR", QFile::encodeName(registryDir_.path()));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir_.path()));
        reg::Key::root(reg::Hive::CurrentUser).deleteTree("Software\\KESTANE");
    }

    void zerinMustBeTheWholeArgumentString() {
        auto raw = [](QStringList args) {
            args.prepend(QStringLiteral("mic"));
            return ParseArguments(args).raw;
        };
        QVERIFY(IsZerin(raw({"ZERIN"})));
        QVERIFY(!IsZerin(raw({"zerin"})));
        QVERIFY(!IsZerin(raw({"ZERIN "})));
        QVERIFY(!IsZerin(raw({"ZERIN", "x"})));
        QVERIFY(!IsZerin(raw({})));
        // The Linux options are not part of the raw string.
        const Arguments a = ParseArguments({"mic", "--simulate", "4", "ZERIN", "--demo", "d"});
        QVERIFY(IsZerin(a.raw));
        QCOMPARE(a.simulate, 4);
        QCOMPARE(a.demoDir, QStringLiteral("d"));
        QVERIFY(!ParseArguments({"mic", "--simulate", "0"}).error.isEmpty());
        QVERIFY(!ParseArguments({"mic", "--simulate", "17"}).error.isEmpty());
        QVERIFY(!ParseArguments({"mic", "--demo"}).error.isEmpty());

        WriteConsoleType(1);
        QCOMPARE(ReadProfile(false).consoleType, 1);
        WriteConsoleType(0);
        QCOMPARE(ReadProfile(false).consoleType, 0);
    }

    void profileDefaultsAndOddValues() {
        ProfileStart start = ReadProfile(true);
        QVERIFY(start.settings.autoRestore);
        QVERIFY(!start.settings.autoLoad);
        QVERIFY(start.settings.fileName.empty());
        QVERIFY(!start.settings.portWasStored);
        QCOMPARE(start.settings.useWithVantor, 0u);
        QVERIFY(!start.portReplaced);
        start.settings.popupOnSel = start.settings.popupControls = false;
        ReadPopupOptions(start.settings);
        QVERIFY(start.settings.popupOnSel && start.settings.popupControls);
        QCOMPARE(start.settings.restoreScope, mic::kRecallEverything);
        for (mic::MicType t : start.settings.microphoneTypes) {
            QCOMPARE(t, mic::MicType::Unknown);
        }

        RegistryProfileWriter writer;
        writer.WriteString(mic::kMicTypesKey, "CuRl");
        writer.WriteInt(mic::kRestoreScopeKey, 0x1FF);
        start = ReadProfile(true);
        QCOMPARE(start.settings.microphoneTypes[2], mic::MicType::Ribbon);
        QCOMPARE(start.settings.microphoneTypes[3], mic::MicType::Line);
        QCOMPARE(start.settings.microphoneTypes[4], mic::MicType::Unknown);
        QCOMPARE(start.settings.restoreScope, mic::kRecallEverything);  // unknown bits dropped
        writer.WriteInt(mic::kRestoreScopeKey, 1);
        QCOMPARE(ReadProfile(true).settings.restoreScope, uint32_t{mic::kRecallGain});
        writer.WriteInt(mic::kRestoreScopeKey, static_cast<int32_t>(mic::kRecallEverything));
        writer.WriteString(mic::kMicTypesKey, "");

        writer.WriteInt("Communication Port", 9);
        writer.WriteInt("Auto Load", 5);
        writer.WriteInt("Auto Restore", 0);
        writer.WriteInt("Use With Vantor", 2);
        writer.WriteString("FileName", "/srv/presets/live.mic");
        start = ReadProfile(true);
        QVERIFY(start.portReplaced);
        QCOMPARE(start.settings.communicationPort, 1u);
        QVERIFY(start.settings.portWasStored);
        QVERIFY(start.settings.autoLoad);
        QVERIFY(!start.settings.autoRestore);
        QCOMPARE(start.settings.useWithVantor, 0u);  // on only when exactly 1
        QCOMPARE(start.settings.fileName, std::string("/srv/presets/live.mic"));
        writer.WriteInt("Use With Vantor", 1);
        QCOMPARE(ReadProfile(true).settings.useWithVantor, 1u);
        QCOMPARE(ReadProfile(false).settings.useWithVantor, 0u);  // other consoles: never read
        writer.WriteInt("Communication Port", 5);
        QVERIFY(!ReadProfile(true).portReplaced);
    }

    void rackReadBackKeysAreOffUnlessSetAndOddValuesFallBack() {
        mic::MicSettings s = ReadProfile(false).settings;
        QVERIFY(!s.verifyRacks);
        QVERIFY(s.rackMend == mic::RackMend::Adopt);
        QCOMPARE(s.verifyEverySeconds, 0u);

        RegistryProfileWriter writer;
        writer.WriteInt("Verify Racks", 1);
        writer.WriteInt("Rack Mend", 1);
        writer.WriteInt("Verify Every", 90);
        s = ReadProfile(false).settings;
        QVERIFY(s.verifyRacks);
        QVERIFY(s.rackMend == mic::RackMend::Resend);
        QCOMPARE(s.verifyEverySeconds, 90u);

        writer.WriteInt("Rack Mend", 7);
        writer.WriteInt("Verify Every", -5);
        s = ReadProfile(false).settings;
        QVERIFY(s.rackMend == mic::RackMend::Adopt);
        QCOMPARE(s.verifyEverySeconds, 0u);
        writer.WriteInt("Verify Every", 2000000000);
        QCOMPARE(ReadProfile(false).settings.verifyEverySeconds, 86400u);  // timer stays in range
    }

    void remoteControlIsOffUnlessTurnedOnAndABadPortKeepsItOff() {
        std::string problem;
        mic::osc::OscSettings osc = ReadOscSettings(problem);
        QVERIFY(!osc.enabled);
        QVERIFY(problem.empty());
        QCOMPARE(osc.port, mic::osc::kDefaultPort);
        QVERIFY(osc.address.empty() && osc.allow.empty());

        RegistryProfileWriter writer;
        writer.WriteInt("OSC Enabled", 1);
        writer.WriteInt("OSC Port", 9000);
        writer.WriteString("OSC Address", "0.0.0.0");
        writer.WriteString("OSC Allow", "10.0.0.0/8");
        osc = ReadOscSettings(problem);
        QVERIFY(osc.enabled);
        QCOMPARE(osc.port, uint16_t(9000));
        QCOMPARE(osc.address, std::string("0.0.0.0"));
        QCOMPARE(osc.allow, std::string("10.0.0.0/8"));
        writer.WriteInt("OSC Port", 70000);
        osc = ReadOscSettings(problem);
        QVERIFY(!osc.enabled);
        QVERIFY(problem.find("70000") != std::string::npos);

        QCOMPARE(ParseArguments({"mic", "--osc", "7771"}).oscPort, 7771);
        QVERIFY(!ParseArguments({"mic", "--osc", "0"}).error.isEmpty());
        QVERIFY(!ParseArguments({"mic", "--osc"}).error.isEmpty());
    }

    void aStaleRecordWakesNobody() {
        CInstanceChecker first("mictest");
        QVERIFY(first.IsFirstInstance());
        {
            CInstanceChecker second("mictest");
            QVERIFY(!second.IsFirstInstance());
        }
        QVERIFY(first.StoreWindowHandle(4242));
        CInstanceChecker other("mictest");
        QCOMPARE(other.PublishedHandle(), 4242u);
        QVERIFY(!other.WakePreviousInstance());  // nobody listens for handle 4242
    }

    void aSecondStartWakesTheFirstAndExits() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("KESTANE_STATE_DIR"), registryDir_.path());
        QProcess first;
        first.setProcessEnvironment(env);
        first.start(QStringLiteral(MIC_PROGRAM),
                    {QStringLiteral("--simulate"), QStringLiteral("1")});
        QVERIFY(first.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(PublishedHandle() == uint32_t(first.processId()), 20000);

        QProcess second;
        second.setProcessEnvironment(env);
        second.start(QStringLiteral(MIC_PROGRAM), {});
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitCode(), 0);
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT(
            (said += first.readAllStandardError()).contains("woken by a second start"), 5000);
        QCOMPARE(first.state(), QProcess::Running);
        QCOMPARE(PublishedHandle(), uint32_t(first.processId()));  // left in place

        first.kill();
        first.waitForFinished(5000);
    }

    void aTerminationSignalSavesTheSnapshotAndSettingsAndRemovesTheRecord() {
        SimulatorProgram sim;
        QVERIFY(sim.Start(1));
        reg::Key ports;
        QCOMPARE(reg::Key::root(reg::Hive::LocalMachine).create(mic::kSerialPortsKey, ports),
                 reg::Status::Ok);
        QCOMPARE(reg::setString(ports, "COM1", sim.Device().toStdString()), reg::Status::Ok);
        RegistryProfileWriter().WriteInt("Communication Port", 1);
        QVERIFY(!SettingStored("Auto Load"));

        QTemporaryDir stateDir;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("KESTANE_STATE_DIR"), stateDir.path());
        QProcess mic;
        mic.setProcessEnvironment(env);
        mic.start(QStringLiteral(MIC_PROGRAM), {});
        QVERIFY(mic.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(PublishedHandle() == uint32_t(mic.processId()), 20000);
        // On line: the rack gets its state and is asked for its data.
        QTRY_VERIFY_WITH_TIMEOUT(sim.Count(QStringLiteral("data")) >= 1, 30000);

        // Rack 0, channel 3 on the front panel: 45 dB with phantom power. The controller learns
        // it from the data block it asks for; the poll after that block shows it has.
        const long dataBefore = sim.Count(QStringLiteral("data"));
        sim.Command("panel 0 3 0x48");
        QTRY_VERIFY_WITH_TIMEOUT(sim.Count(QStringLiteral("data")) > dataBefore, 20000);
        const long polls = sim.Count(QStringLiteral("polls"));
        QTRY_VERIFY_WITH_TIMEOUT(sim.Count(QStringLiteral("polls")) >= polls + 2, 20000);

        QCOMPARE(::kill(static_cast<pid_t>(mic.processId()), SIGTERM), 0);
        QVERIFY(mic.waitForFinished(15000));
        QCOMPARE(mic.exitStatus(), QProcess::NormalExit);
        QCOMPARE(mic.exitCode(), 0);

        QFile snapshot(stateDir.filePath(QStringLiteral("RestoreSnapshot.mic")));
        QVERIFY(snapshot.open(QIODevice::ReadOnly));
        const QByteArray bytes = snapshot.readAll();
        QCOMPARE(bytes.size(), 5008);
        auto setting = [&](int rack, int channel) {
            uint32_t v;
            std::memcpy(&v, bytes.constData() + 768 + 4 * (12 * rack + channel), 4);
            return v;
        };
        QCOMPARE(setting(0, 3), 0x48u);
        QCOMPARE(setting(0, 2), 0x03u);
        QCOMPARE(setting(0, 4), 0x03u);

        QCOMPARE(PublishedHandle(), 0u);
        QVERIFY(SettingStored("Auto Load"));
        QVERIFY(SettingStored("Auto Restore"));
        QVERIFY(SettingStored("FileName"));
        // Keys of optional features are never written by a settings save.
        QVERIFY(!SettingStored("Verify Racks"));
        QVERIFY(!SettingStored("Rack Mend"));
        QVERIFY(!SettingStored("Verify Every"));
    }
};

QTEST_MAIN(AppStart)
#include "tst_app.moc"
