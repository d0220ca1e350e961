// mic's console link against an object server inside the test process: pushes reach the window
// through the Qt loop, and the console's close request and a server that never gets ready both
// close the window with its snapshot saved.
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "ConsoleLink.h"
#include "FakeRookServer.h"
#include "RookProcess.h"
#include "mic/ui/CMicDlg.h"
#include "rookclient/RookServer.h"

using namespace rooktest;

class ConsoleLinkTest : public QObject {
    Q_OBJECT

  private slots:
    void pushedImagesMoveChannelsAndACloseRequestClosesWithTheSnapshotSaved();
    void aServerThatNeverGetsReadyClosesTheWindow();

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

QTEST_MAIN(ConsoleLinkTest)
#include "tst_consolelink.moc"
