// mic's console link against an object server inside the test process: pushes reach the window
// through the Qt loop, and the console's close request and a server that never gets ready both
// close the window with its snapshot saved.
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "ConsoleLink.h"
#include "FakeRookServer.h"
#include "RookProcess.h"
#include "mic/core/MicTimers.h"
#include "mic/ui/CBigControls2.h"
#include "mic/ui/CMicDlg.h"
#include "mic/ui/QtServices.h"
#include "px5r/Simulator.h"
#include "rookclient/RookServer.h"

using namespace rooktest;

class ConsoleLinkTest : public QObject {
    Q_OBJECT

  private slots:
    void pushedImagesMoveChannelsAndACloseRequestClosesWithTheSnapshotSaved();
    void aServerThatNeverGetsReadyClosesTheWindow();
    void theConsoleDrivesTheRackAndThePopupAndASelectHoldsIt();

  private:
    mic::ui::CMicDlg::Options Options(mic::app::ConsoleLink& link) {
        mic::ui::CMicDlg::Options options;
        options.serial = false;
        options.config.consoleIntegration = true;
        options.config.settings.autoRestore = true;
        options.config.snapshotPath = dir.filePath(QStringLiteral("snapshot.mic")).toStdString();
        options.console = link.ImageSource();
        return options;
    }
    QTemporaryDir dir;
};

void ConsoleLinkTest::pushedImagesMoveChannelsAndACloseRequestClosesWithTheSnapshotSaved() {
    World world;
    FakeFactory factory;
    Registration registration(factory);
    mic::app::ConsoleLink link;
    mic::ui::CMicDlg window(Options(link));
    link.AttachMicLine(window);
    window.show();
    window.Initialise();
    link.AttachClientMonitor();
    QCOMPARE(factory.instances.size(), size_t(2));
    QVERIFY(factory.Instance(0).sent.at(0) == MakeBlock(276, 16));
    QCOMPARE(U32At(factory.Instance(1).sent.at(0), 0), 192u);

    window.Controller().AssignConsoleChannel(0, 5);
    Bytes image = MakeBlock(0, 496);
    for (int l = 0; l < 120; ++l) {
        image[16 + 4 * l] = 1;
        image[16 + 4 * l + 2] = 3;
    }
    image[16 + 4 * 4 + 0] = 0;  // console line 5: phantom on
    image[16 + 4 * 4 + 2] = 9;  // gain step 9
    factory.Instance(0).Push(image);
    QTRY_COMPARE(window.Controller().State().setting[0] & 0x7F, 0x49u);

    Bytes ignored = MakeBlock(0, 20);
    ignored[16] = 3;
    factory.Instance(1).Push(ignored);
    QTest::qWait(50);
    QVERIFY(window.isVisible());
    QVERIFY(!QFileInfo::exists(QString::fromStdString(Options(link).config.snapshotPath)));

    Bytes close = MakeBlock(0, 20);
    close[16] = 2;
    factory.Instance(1).Push(close);
    QTRY_VERIFY(!window.isVisible());
    QCOMPARE(window.result(), int(QDialog::Accepted));
    QVERIFY(QFileInfo::exists(QString::fromStdString(Options(link).config.snapshotPath)));
}

void ConsoleLinkTest::aServerThatNeverGetsReadyClosesTheWindow() {
    World world;
    FakeFactory factory;
    Registration registration(factory);
    rookclient::detail::Process().clientMaxRetries = 600;
    mic::app::ConsoleLink link;
    factory.Instance(0).adviseAnswers.assign(601, rookclient::SERVER_E_NOT_READY);
    mic::ui::CMicDlg window(Options(link));
    link.AttachMicLine(window);  // times out while the window is being made
    window.show();
    window.Initialise();
    QTRY_VERIFY(!window.isVisible());
    QCOMPARE(world.sleeps.size(), size_t(600));
    QVERIFY2(world.quits.empty(), "the link's own quit handler took the request");
    QVERIFY(!world.entries.empty());
    QCOMPARE(world.entries.back(), std::string("Rookclient timed out connecting to\nMicLineRook"));
}

namespace {

// Console line 5 as the console sets it; every other line neutral (phantom off, gain step 3).
Bytes LineFive(uint8_t gain, uint8_t select) {
    Bytes image = MakeBlock(0, 496);
    for (int l = 0; l < 120; ++l) {
        image[16 + 4 * l] = 1;
        image[16 + 4 * l + 2] = 3;
    }
    image[16 + 4 * 4 + 2] = gain;
    image[16 + 4 * 4 + 3] = select;
    return image;
}

}  // namespace

void ConsoleLinkTest::theConsoleDrivesTheRackAndThePopupAndASelectHoldsIt() {
    World world;
    FakeFactory factory;
    Registration registration(factory);
    px5r::Simulator sim(px5r::SimOptions{.racks = 1});
    QVERIFY(sim.Start());
    const std::string device = sim.SlavePath();
    mic::app::ConsoleLink link;
    mic::ui::CMicDlg::Options options = Options(link);
    options.serial = true;
    options.config.settings.communicationPort = 1;
    options.config.settings.portWasStored = true;
    options.config.settings.autoRestore = false;
    options.deviceResolver = [device](uint32_t) { return device; };
    mic::ui::CMicDlg window(options);
    link.AttachMicLine(window);
    window.show();
    window.Initialise();
    link.AttachClientMonitor();
    QTRY_COMPARE_WITH_TIMEOUT(window.Controller().Engine().OnLineCount(), 1, 10000);
    window.ConsoleBox(0)->setCurrentIndex(5);
    emit window.ConsoleBox(0)->activated(5);
    QTRY_VERIFY_WITH_TIMEOUT(window.Controller().Engine().RingEmpty(), 10000);
    mic::ui::CBigControls2* popup = window.Popup();
    if (popup->isVisible()) {  // the assignment applied the empty image
        window.Controller().OnTimer(mic::kTimerPopup);
    }

    // A gain change: the rack follows, the popup opens and closes by itself 2.5 s later.
    factory.Instance(0).Push(LineFive(9, 0));
    QTRY_VERIFY(popup->isVisible());
    QElapsedTimer shown;
    shown.start();
    QCOMPARE(popup->Strip(1).path, 5);
    QVERIFY(window.Timers().Active(mic::kTimerPopup));
    QCOMPARE(window.Timers().Interval(mic::kTimerPopup), 2500);
    QTRY_COMPARE_WITH_TIMEOUT(sim.Rack(0).channels[0].setting & 0x0F, 9, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!popup->isVisible(), 10000);
    QVERIFY(shown.elapsed() >= 2000);

    // A select opens the popup and holds it; the release lets it close 2.5 s later.
    factory.Instance(0).Push(LineFive(9, 1));
    QTRY_VERIFY(popup->isVisible());
    QCOMPARE(window.Controller().SelectedChannel(), 0);
    QTest::qWait(3500);
    QVERIFY(popup->isVisible());
    factory.Instance(0).Push(LineFive(9, 0));
    QTRY_VERIFY(window.Timers().Active(mic::kTimerPopup));
    QTRY_VERIFY_WITH_TIMEOUT(!popup->isVisible(), 10000);
    QCOMPARE(window.Controller().SelectedChannel(), -1);
}

QTEST_MAIN(ConsoleLinkTest)
#include "tst_consolelink.moc"
