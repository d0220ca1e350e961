// Start-up of mic: the "ZERIN" rule, the profile's defaults, and the single-instance rule run
// with the real program.
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>

#include "CMicApp.h"
#include "InstanceChecker.h"
#include "ProfileSettings.h"
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

        RegistryProfileWriter writer;
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
};

QTEST_MAIN(AppStart)
#include "tst_app.moc"
