// mic with its journal on, against px5r-sim, killed with SIGKILL in the middle of a burst of
// front-panel changes: every row another reader saw committed before the kill is still there,
// unchanged, when the journal is opened again.
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <map>

#include "ProfileSettings.h"
#include "mic/core/SerialPort.h"
#include "mic/journal/JournalStore.h"
#include "platform/registry.h"

namespace reg = platform::registry;
using namespace mic::journal;

namespace {

// The identity of a row as a reader saw it.
QString Describe(const JournalRow& r) {
    return QStringLiteral("%1 %2 %3/%4 %5 %6->%7")
        .arg(r.id)
        .arg(r.timeUs)
        .arg(r.change.rack)
        .arg(r.change.channel)
        .arg(static_cast<int>(r.change.field))
        .arg(r.change.oldValue)
        .arg(r.change.newValue);
}

}  // namespace

class JournalKill : public QObject {
    Q_OBJECT

    QTemporaryDir registryDir_;
    QTemporaryDir runtimeDir_;
    QTemporaryDir stateDir_;

  private slots:
    void init() {
        QVERIFY(registryDir_.isValid() && runtimeDir_.isValid() && stateDir_.isValid());
        qputenv("KESTANE_REGISTRY_DIR", registryDir_.path().toLocal8Bit());
        qputenv("XDG_RUNTIME_DIR", runtimeDir_.path().toLocal8Bit());
        reg::resetForTests();
        reg::Key::root(reg::Hive::CurrentUser).deleteTree("Software\\KESTANE");
    }

    void theJournalIsOffUnlessTheProfileTurnsItOn() {
        mic::MicSettings s = mic::app::ReadProfile(false).settings;
        QVERIFY(!s.journal);
        QCOMPARE(s.journalMaxAgeDays, 90u);
        QCOMPARE(s.journalMaxRows, 100000u);
        mic::app::RegistryProfileWriter profile;
        profile.WriteInt("Journal", 1);
        profile.WriteInt("Journal Max Age Days", 0);
        profile.WriteInt("Journal Max Rows", 500);
        s = mic::app::ReadProfile(false).settings;
        QVERIFY(s.journal);
        QCOMPARE(s.journalMaxAgeDays, 0u);
        QCOMPARE(s.journalMaxRows, 500u);
        // A bound that makes no sense keeps the default.
        profile.WriteInt("Journal Max Rows", -5);
        QCOMPARE(mic::app::ReadProfile(false).settings.journalMaxRows, 100000u);
        profile.WriteInt("Journal", 0);
        QVERIFY(!mic::app::ReadProfile(false).settings.journal);
    }

    void rowsCommittedBeforeAKillSurviveIt() {
        QProcess sim;
        sim.start(QStringLiteral(PX5R_SIM_PROGRAM),
                  {QStringLiteral("--racks"), QStringLiteral("4")});
        QVERIFY(sim.waitForStarted() && sim.waitForReadyRead(10000));
        const QString device = QString::fromLocal8Bit(sim.readLine().trimmed());
        QVERIFY(device.startsWith(QLatin1String("/dev/")));
        reg::Key ports;
        QCOMPARE(reg::Key::root(reg::Hive::LocalMachine).create(mic::kSerialPortsKey, ports),
                 reg::Status::Ok);
        QCOMPARE(reg::setString(ports, "COM1", device.toStdString()), reg::Status::Ok);
        mic::app::RegistryProfileWriter profile;
        profile.WriteInt("Communication Port", 1);
        profile.WriteInt("Journal", 1);

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("KESTANE_STATE_DIR"), stateDir_.path());
        QProcess mic;
        mic.setProcessEnvironment(env);
        mic.start(QStringLiteral(MIC_PROGRAM), {});
        QVERIFY(mic.waitForStarted());
        const std::string db = stateDir_.filePath(QStringLiteral("journal.db")).toStdString();
        std::unique_ptr<JournalStore> reader;
        QTRY_VERIFY_WITH_TIMEOUT((reader = JournalStore::Open(db, JournalStore::Mode::ReadOnly)),
                                 30000);

        // The burst: the racks' front panels keep changing gains; mic journals each change it
        // reads back. A reader on its own connection notes every row it finds committed.
        std::map<int64_t, QString> seen;
        int step = 0;
        QElapsedTimer clock;
        clock.start();
        while (seen.size() < 60 && clock.elapsed() < 120000 && mic.state() == QProcess::Running) {
            for (int i = 0; i < 8; ++i, ++step) {
                const int gain = 3 + step % 11;
                sim.write(QStringLiteral("panel %1 %2 %3\n")
                              .arg(step % 4)
                              .arg(step / 4 % 12)
                              .arg(gain)
                              .toLatin1());
            }
            QTest::qWait(20);
            for (const JournalRow& r : reader->Query({}))
                seen.emplace(r.id, Describe(r));
        }
        QCOMPARE(mic.state(), QProcess::Running);
        QVERIFY2(seen.size() >= 60, "mic journaled too few front-panel changes");
        // Still in the burst: more changes are on their way when the process dies.
        for (int i = 0; i < 8; ++i, ++step)
            sim.write(
                QStringLiteral("panel %1 %2 5\n").arg(step % 4).arg(step / 4 % 12).toLatin1());
        for (const JournalRow& r : reader->Query({}))
            seen.emplace(r.id, Describe(r));
        ::kill(static_cast<pid_t>(mic.processId()), SIGKILL);
        QVERIFY(mic.waitForFinished(15000));
        QCOMPARE(mic.exitStatus(), QProcess::CrashExit);
        reader.reset();

        auto after = JournalStore::Open(db, JournalStore::Mode::ReadOnly);
        QVERIFY(after);
        std::map<int64_t, JournalRow> rows;
        for (JournalRow& r : after->Query({}))
            rows.emplace(r.id, std::move(r));
        for (const auto& [id, text] : seen) {
            QVERIFY2(rows.count(id), qPrintable(QStringLiteral("row %1 lost").arg(id)));
            QCOMPARE(Describe(rows.at(id)), text);
            QCOMPARE(rows.at(id).change.origin.source, mic::ChangeSource::FrontPanel);
        }
        sim.write("quit\n");
        sim.waitForFinished(5000);
    }
};

QTEST_MAIN(JournalKill)
#include "tst_journal_kill.moc"
