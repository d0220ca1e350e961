// The demonstration run's picture of the window with the popup over it, and how it finds the
// rookctl that drives the console.
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include "ConsoleDemo.h"
#include "DemoSupport.h"
#include "mic/ui/CBigControls2.h"
#include "mic/ui/CMicDlg.h"

class DemoTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { qputenv("KESTANE_REGISTRY_DIR", dir.path().toLocal8Bit()); }
    void thePictureDrawsAnOpenPopupOverTheWindowAndOnlyThen();
    void aRookctlNamedByTheEnvironmentIsTakenOnlyWhenItCanRun();

  private:
    QTemporaryDir dir;
};

void DemoTest::thePictureDrawsAnOpenPopupOverTheWindowAndOnlyThen() {
    mic::ui::CMicDlg::Options options;
    options.serial = false;
    options.config.snapshotPath = dir.filePath(QStringLiteral("snapshot.mic")).toStdString();
    mic::ui::CMicDlg window(options);
    window.show();
    window.Initialise();
    const QImage plain = window.grab().toImage();
    const QString path = dir.filePath(QStringLiteral("shot.png"));

    mic::ui::CBigControls2* popup = window.Popup();
    popup->open = true;
    QRect frame = popup->frameGeometry();
    frame.moveCenter(window.geometry().center());
    popup->move(frame.topLeft());
    popup->show();
    QVERIFY(mic::app::SaveWindowPicture(window, path));
    const QImage withPopup(path);
    QVERIFY(withPopup.width() >= plain.width() && withPopup.height() >= plain.height());
    // Where the popup stands, the picture shows the popup, not the window under it.
    const QImage over = popup->grab().toImage();
    const QPoint popupAt = popup->mapToGlobal(QPoint(0, 0));
    const QPoint windowAt = window.mapToGlobal(QPoint(0, 0));
    const QPoint origin(std::min(popupAt.x(), windowAt.x()), std::min(popupAt.y(), windowAt.y()));
    int same = 0;
    int differ = 0;
    for (int y = 0; y < over.height(); y += 7) {
        for (int x = 0; x < over.width(); x += 7) {
            const QPoint p = popupAt - origin + QPoint(x, y);
            const QRgb want = over.pixel(x, y);
            (withPopup.pixel(p) == want ? same : differ)++;
        }
    }
    QCOMPARE(differ, 0);
    QVERIFY(same > 0);
    QVERIFY(withPopup.convertToFormat(plain.format()) != plain);

    popup->Close();
    QVERIFY(mic::app::SaveWindowPicture(window, path));
    QCOMPARE(QImage(path).convertToFormat(plain.format()), plain);
    window.ShutdownRequest();
}

void DemoTest::aRookctlNamedByTheEnvironmentIsTakenOnlyWhenItCanRun() {
    const QString tool = dir.filePath(QStringLiteral("rookctl"));
    QFile file(tool);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n");
    file.close();
    qputenv("KESTANE_ROOKCTL", tool.toLocal8Bit());
    // A named program that cannot run is not silently replaced by another rookctl.
    QCOMPARE(mic::app::FindRookctl(), QString());
    QVERIFY(file.setPermissions(file.permissions() | QFileDevice::ExeOwner));
    QCOMPARE(mic::app::FindRookctl(), tool);
    qunsetenv("KESTANE_ROOKCTL");
}

QTEST_MAIN(DemoTest)
#include "tst_demo.moc"
