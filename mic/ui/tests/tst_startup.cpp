// Start-up of the main window: the slow first drawing of the artwork is over before the serial
// port opens, so it never holds up the first poll's answer or time-out. A program of its own, so
// that no earlier test has drawn any picture yet.
#include <QTemporaryDir>
#include <QTest>

#include "mic/ui/CMicDlg.h"
#include "mic/ui/Pictures.h"
#include "mic/ui/SmallDialogs.h"
#include "px5r/Simulator.h"

class WindowStartUp : public QObject {
    Q_OBJECT

  private slots:
    void theArtworkIsDrawnBeforeThePortOpensAndTheFirstPaintDrawsNothingAnew() {
        mic::ui::ApplyDialogColours(*qApp);
        // No rack on the line: nothing that arrives can change a picture.
        px5r::Simulator sim(px5r::SimOptions{.racks = 0});
        QVERIFY(sim.Start());
        const std::string device = sim.SlavePath();
        QTemporaryDir dir;
        mic::ui::CMicDlg::Options options;
        options.config.settings.communicationPort = 1;
        options.config.settings.portWasStored = true;
        options.config.settings.autoRestore = false;
        options.config.snapshotPath = dir.filePath(QStringLiteral("snapshot.mic")).toStdString();
        int drawnWhenThePortOpened = -1;
        options.deviceResolver = [&](uint32_t) {
            drawnWhenThePortOpened = mic::ui::RenderedPictureCount();
            return device;
        };
        QCOMPARE(mic::ui::RenderedPictureCount(), 0);

        mic::ui::CMicDlg window(options);
        window.Initialise();
        QVERIFY(window.Controller().Engine().PollInFlight());
        // Every kind of picture the window shows: strip switches, gain boxes and numbers, rack
        // buttons, labels, command buttons, status and info.
        QVERIFY2(drawnWhenThePortOpened >= 20, qPrintable(QString::number(drawnWhenThePortOpened)));

        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.repaint();
        QCOMPARE(mic::ui::RenderedPictureCount(), drawnWhenThePortOpened);
    }
};

QTEST_MAIN(WindowStartUp)
#include "tst_startup.moc"
