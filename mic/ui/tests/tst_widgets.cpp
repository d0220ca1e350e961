// The artwork table, the picture rules of a strip, the picture buttons, the Setup / Test window
// and the small dialogs, without a serial line.
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "mic/core/MicView.h"
#include "mic/ui/CBmpButton.h"
#include "mic/ui/CDiagnostics.h"
#include "mic/ui/CMicDlg.h"
#include "mic/ui/CPictureLabel.h"
#include "mic/ui/Pictures.h"
#include "mic/ui/RackSyncMark.h"
#include "mic/ui/SmallDialogs.h"
#include "mic/ui/StripPictures.h"

using namespace mic::ui;

namespace {

QImage Render(int picture, QSize size = {}) {
    const QSize s = size.isValid() ? size : PictureSize(picture);
    QImage image(s, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    PaintPicture(p, picture, QRectF(QPointF(0, 0), s));
    return image;
}

// Share of pixels of a lit lamp colour: saturated and bright.
double LitShare(const QImage& image) {
    int lit = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() > 200 && c.hsvSaturation() > 120 && c.value() > 170) {
                ++lit;
            }
        }
    }
    return double(lit) / (image.width() * image.height());
}

// Closes the next modal message box and remembers its text.
void AnswerNextMessageBox(QString* text) {
    QTimer::singleShot(50, [text] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                *text = box->text();
                box->accept();
                return;
            }
        }
        AnswerNextMessageBox(text);
    });
}

}  // namespace

class Widgets : public QObject {
    Q_OBJECT

  private slots:
    void everyPictureTheWindowsAskForIsInTheTable();
    void switchStatesAreUnmistakable();
    void gainDisplayFollowsStatusAssignmentAndConsoleType();
    void channelNumbersChooseTheirDigitSet();
    void aButtonDrawsItsPictureOnlyWhenItHasOne();
    void aRackMarkShowsItsStateInTheCornerAndLetsClicksThrough();
    void setupWindowPostsItsActions();
    void integrationNeedsTheRightConsole();
    void smallDialogsCarryTheirTexts();
    void withoutALineEveryChannelIsEditableAndNothingIsQueued();
};

void Widgets::everyPictureTheWindowsAskForIsInTheTable() {
    QList<int> numbers = {134,
                          135,
                          132,
                          133,
                          139,
                          140,
                          143,
                          144,
                          145,
                          146,
                          147,
                          149,
                          192,
                          198,
                          194,
                          199,
                          203,
                          241,
                          196,
                          197,
                          298,
                          390,
                          394,
                          168,
                          472,
                          376,
                          475,
                          365,
                          366,
                          373,
                          374,
                          363,
                          364,
                          367,
                          368,
                          kPicGainBlank,
                          kPicStatusBusy,
                          kPicStatusRacksPresent,
                          kPicStatusNoRacks};
    for (int i = 0; i < 11; ++i) {
        numbers << kPicGainStatus1Assigned + i << kPicGainStatus2Assigned + i
                << kPicGainStatus1Local + i << kPicGainStatus2Local + i << kPicInfoGain + i
                << kPicPopupGainStatus1 + i << kPicPopupGainStatus2 + i;
    }
    for (int d = 0; d < 10; ++d) {
        numbers << kPicDigitNormal + d << kPicDigitUnavailable + d << kPicDigitAssigned + d
                << kPicPopupPathDigit + d << kPicPopupSideGainDigit + d
                << kPicPopupMiddleGainDigit + d;
    }
    for (int r = 0; r < 16; ++r) {
        numbers << kPicRackNumber + r;
    }
    for (int n : numbers) {
        QVERIFY2(HasPicture(n), qPrintable(QStringLiteral("picture %1 missing").arg(n)));
        QVERIFY(!PictureSize(n).isEmpty());
    }
    QVERIFY(!HasPicture(0));
    QVERIFY(!HasPicture(999));
    // Switch pictures fit the strip's buttons.
    QCOMPARE(PictureSize(134), QSize(48, 34));
}

void Widgets::switchStatesAreUnmistakable() {
    const int pairs[][2] = {{134, 135}, {132, 133}, {139, 140}, {143, 144},
                            {366, 365}, {368, 367}, {374, 373}, {364, 363}};
    for (const auto& pair : pairs) {
        const double on = LitShare(Render(pair[0]));
        const double off = LitShare(Render(pair[1]));
        QVERIFY2(
            on > 0.25 && off < 0.05,
            qPrintable(
                QStringLiteral("%1/%2: lit %3 vs %4").arg(pair[0]).arg(pair[1]).arg(on).arg(off)));
    }
    // Phantom power on is red, whatever else is lit.
    const QImage phantom = Render(134);
    const QColor centre = phantom.pixelColor(8, 17);
    QVERIFY(centre.red() > 180 && centre.green() < 120);
    // Vector artwork stays sharp at twice the size: no blur in a 2x rendering's hard edge.
    const QImage big = Render(134, QSize(96, 68));
    QVERIFY(LitShare(big) > 0.35);
}

void Widgets::gainDisplayFollowsStatusAssignmentAndConsoleType() {
    // Status 1 and 2 local, gain step 8 (45 dB).
    QCOMPARE(GainDisplayPicture(1, 0x48, false, true, 0), kPicGainStatus1Local + 5);
    QCOMPARE(GainDisplayPicture(2, 0x08, false, true, 0), kPicGainStatus2Local + 5);
    // Assigned counts only while a rack is on line.
    QCOMPARE(GainDisplayPicture(1, 0x08, true, true, 0), kPicGainStatus1Assigned + 5);
    QCOMPARE(GainDisplayPicture(1, 0x08, true, false, 0), kPicGainStatus1Local + 5);
    // Other statuses are blank; out-of-range steps are clamped.
    QCOMPARE(GainDisplayPicture(0, 0x08, false, true, 0), int(kPicGainBlank));
    QCOMPARE(GainDisplayPicture(7, 0x08, false, true, 0), int(kPicGainBlank));
    QCOMPARE(GainDisplayPicture(1, 0x0F, false, true, 0), kPicGainStatus1Local + 10);
    QCOMPARE(GainDisplayPicture(1, 0x00, false, true, 0), kPicGainStatus1Local);
    // Console type 1: assigned sets are re-mapped, steps 10, 12 and 13 have no picture.
    const int expected[11] = {0, 1, 3, 4, 5, 6, 8, -1, 10, -1, -1};
    for (uint32_t step = 3; step <= 13; ++step) {
        const int e = expected[step - 3];
        QCOMPARE(GainDisplayPicture(2, step, true, true, 1),
                 e < 0 ? 0 : kPicGainStatus2Assigned + e);
        QCOMPARE(GainDisplayPicture(2, step, false, true, 1), kPicGainStatus2Local + int(step) - 3);
    }
    QCOMPARE(InfoPicture(-1), int(mic::kPicInfoDefault));
    QCOMPARE(InfoPicture(13), kPicInfoGain + 10);
}

void Widgets::channelNumbersChooseTheirDigitSet() {
    DigitPair d = ChannelNumberPictures(11, 0, 5, true);  // unavailable wins over assigned
    QCOMPARE(d.tens, kPicDigitUnavailable + 1);
    QCOMPARE(d.units, kPicDigitUnavailable + 2);
    d = ChannelNumberPictures(11, 0, 5, false);  // no rack on line: the assignment shows
    QCOMPARE(d.tens, kPicDigitAssigned + 0);
    QCOMPARE(d.units, kPicDigitAssigned + 5);
    d = ChannelNumberPictures(3, 1, 0, true);
    QCOMPARE(d.tens, kPicDigitNormal + 0);
    QCOMPARE(d.units, kPicDigitNormal + 4);
    d = ChannelNumberPictures(0, 2, 127, true);  // wire values above 99 stay two digits
    QCOMPARE(d.tens, kPicDigitAssigned + 9);
    QCOMPARE(RackButtonPicture(true, true), int(mic::kPicRackOnLineDisplayed));
    QCOMPARE(RackButtonPicture(false, false), int(mic::kPicRackOffLine));
}

void Widgets::aButtonDrawsItsPictureOnlyWhenItHasOne() {
    CBmpButton button;
    button.resize(48, 34);
    auto paint = [&] {
        QImage image(button.size(), QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        button.render(&image, {}, {}, QWidget::DrawChildren);
        return image;
    };
    QImage empty = paint();
    for (int y = 0; y < empty.height(); ++y) {
        for (int x = 0; x < empty.width(); ++x) {
            QCOMPARE(empty.pixelColor(x, y).alpha(), 0);
        }
    }
    button.SetFramed(false);
    button.SetPicture(134);
    QCOMPARE(button.PictureSizeHint(), QSize(48, 34));
    QVERIFY(LitShare(paint()) > 0.3);
    button.SetPicture(135);
    QVERIFY(LitShare(paint()) < 0.05);
    // The black variant keeps its own face and mask colours.
    CBlackBmpButton black;
    QCOMPARE(black.FaceColour(), QColor(Qt::black));
    QCOMPARE(black.MaskColour(), QColor(192, 192, 0));
    QCOMPARE(button.MaskColour(), QColor(192, 192, 192));
}

void Widgets::aRackMarkShowsItsStateInTheCornerAndLetsClicksThrough() {
    QWidget window;
    CBmpButton button(&window);
    button.SetFramed(false);
    button.SetPicture(147);
    button.resize(48, 34);
    RackSyncMark mark(&button);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(!mark.isVisible());
    auto colourAtMark = [&] {
        QImage image(button.size(), QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        button.render(&image, {}, {}, QWidget::DrawChildren);
        return image.pixelColor(mark.geometry().center());
    };
    const QColor plain = colourAtMark();
    mark.SetState(mic::RackSync::Differs);
    QVERIFY(mark.isVisible());
    QVERIFY(button.rect().contains(mark.geometry()));
    QVERIFY(mark.geometry().right() > button.width() / 2 && mark.geometry().top() < 8);
    const QColor differs = colourAtMark();
    QVERIFY(differs.red() > 180 && differs.green() < 100);
    mark.SetState(mic::RackSync::InSync);
    const QColor inSync = colourAtMark();
    QVERIFY(inSync.green() > 150 && inSync.red() < 120);
    mark.SetState(mic::RackSync::Unknown);
    QVERIFY(!mark.isVisible());
    QCOMPARE(colourAtMark(), plain);
    // The button stays the target of a click on the mark.
    mark.SetState(mic::RackSync::Verifying);
    QCOMPARE(button.childAt(mark.geometry().center()), nullptr);
    button.resize(60, 34);
    QVERIFY(mark.geometry().right() > 50);
}

void Widgets::setupWindowPostsItsActions() {
    CDiagnostics::processDebugLog = false;
    CDiagnostics window;
    QSignalSpy actions(&window, &CDiagnostics::SetupAction);
    window.SetPortIndex(5);
    window.SetAutoOptions(false, true);
    window.SetVersionText(3, QStringLiteral("PX5R 1.04 "));
    window.SetVersionText(16, QStringLiteral("ignored"));
    window.SetVersionText(-1, QStringLiteral("ignored"));
    window.show();
    auto* port = window.findChild<QComboBox*>(QStringLiteral("portList"));
    QCOMPARE(port->currentText(), QStringLiteral("Disabled"));
    QCOMPARE(window.findChild<QLabel*>(QStringLiteral("version3"))->text(),
             QStringLiteral("PX5R 1.04 "));
    QCOMPARE(window.findChild<QLabel*>(QStringLiteral("rackLabel15"))->text(),
             QStringLiteral("Rack #16 Version :"));

    port->setCurrentIndex(1);
    emit port->activated(1);
    port->setCurrentIndex(4);
    emit port->activated(4);
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("test15")), Qt::LeftButton);
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("resetAll")), Qt::LeftButton);
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("resetCurrent")),
                      Qt::LeftButton);
    QTest::mouseClick(window.findChild<QCheckBox*>(QStringLiteral("debugLog")), Qt::LeftButton);
    // Auto load while auto restore is on: restore goes off, only action 6 is posted.
    auto* autoLoad = window.findChild<QCheckBox*>(QStringLiteral("autoLoad"));
    auto* autoRestore = window.findChild<QCheckBox*>(QStringLiteral("autoRestore"));
    QTest::mouseClick(autoLoad, Qt::LeftButton);
    QVERIFY(!autoRestore->isChecked());
    QVERIFY(CDiagnostics::processAutoLoad && !CDiagnostics::processAutoRestore);
    QTest::mouseClick(autoRestore, Qt::LeftButton);
    QVERIFY(!autoLoad->isChecked());

    const QList<QPair<int, int>> expected = {{1, 4}, {4, 4}, {15, 0}, {-1, 2},
                                             {0, 2}, {1, 3}, {1, 6},  {1, 7}};
    QCOMPARE(actions.count(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        QCOMPARE(actions[i][0].toInt(), expected[i].first);
        QCOMPARE(actions[i][1].toInt(), expected[i].second);
    }
    QVERIFY(CDiagnostics::processDebugLog);
    // The next window starts from the process-wide copies.
    CDiagnostics next;
    QVERIFY(next.findChild<QCheckBox*>(QStringLiteral("debugLog"))->isChecked());
    QVERIFY(next.AutoRestore() && !next.AutoLoad());
}

void Widgets::integrationNeedsTheRightConsole() {
    // No console settings stored: console type 3, so switching on is refused with a message.
    CDiagnostics window;
    QSignalSpy actions(&window, &CDiagnostics::SetupAction);
    window.SetIntegrate(false);
    window.show();
    auto* integrate = window.findChild<QCheckBox*>(QStringLiteral("integrate"));
    QString message;
    AnswerNextMessageBox(&message);
    QTest::mouseClick(integrate, Qt::LeftButton);
    QCOMPARE(message, QStringLiteral("This option is only available on Z9 Series Consoles"));
    QVERIFY(!integrate->isChecked());
    QCOMPARE(actions.count(), 0);
    // Switching off is always allowed and posts action 5 with 0.
    window.SetIntegrate(true);
    QTest::mouseClick(integrate, Qt::LeftButton);
    QCOMPARE(actions.count(), 1);
    QCOMPARE(actions[0][0].toInt(), 0);
    QCOMPARE(actions[0][1].toInt(), 5);
    QVERIFY(!CDiagnostics::processIntegrate);
}

void Widgets::smallDialogsCarryTheirTexts() {
    CConfirmClose confirm;
    QCOMPARE(confirm.windowTitle(), QStringLiteral("Please Confirm Action"));
    QCOMPARE(confirm.findChild<QPushButton*>(QStringLiteral("yesButton"))->text(),
             QStringLiteral("&Yes"));
    QCOMPARE(confirm.findChild<QPushButton*>(QStringLiteral("noButton"))->text(),
             QStringLiteral("&No"));
    confirm.show();
    QTest::keyClick(&confirm, Qt::Key_Escape);  // Escape answers "&No"
    QCOMPARE(confirm.result(), int(QDialog::Rejected));

    CPortError port;
    QStringList texts;
    for (QLabel* l : port.findChildren<QLabel*>()) {
        texts << l->text();
    }
    QCOMPARE(port.windowTitle(), QStringLiteral("Port Error"));
    QVERIFY(texts.contains(QStringLiteral("Unable to open communication port !")));
    QVERIFY(texts.contains(
        QStringLiteral("1.   Is there another device using the port (e.g. mouse) ?")));
    QVERIFY(texts.contains(QStringLiteral("2.   Are both ports enabled in the system bios ?")));
}

void Widgets::withoutALineEveryChannelIsEditableAndNothingIsQueued() {
    QTemporaryDir dir;
    CMicDlg::Options options;
    options.serial = false;
    options.config.settings.autoRestore = false;
    options.config.snapshotPath = dir.filePath(QStringLiteral("snapshot.mic")).toStdString();
    CMicDlg window(options);
    window.show();
    window.Initialise();
    QCOMPARE(window.windowTitle(), QStringLiteral("Remote Microphone Amplifier Control"));
    QCOMPARE(window.StatusPictureLabel()->Picture(), int(kPicStatusNoRacks));
    QCOMPARE(window.RackButton(0)->Picture(), int(mic::kPicRackOffLineDisplayed));
    // Statuses are all 0, yet with no rack on line everything can be edited.
    QTest::mouseClick(window.PhantomButton(11), Qt::LeftButton);
    QTest::mouseClick(window.DirectButton(0), Qt::LeftButton);
    window.GainBox(6)->setCurrentIndex(10);
    emit window.GainBox(6)->activated(10);
    QCOMPARE(window.PhantomButton(11)->Picture(), int(mic::kPicPhantomOn));
    QCOMPARE(window.DirectButton(0)->Picture(), int(mic::kPicDirectOn));
    QCOMPARE(window.GainBox(6)->currentText(), QStringLiteral("70"));
    QCOMPARE(window.GainDisplay(6)->Picture(), int(kPicGainBlank));
    QCOMPARE(window.NumberUnits(6)->Picture(), kPicDigitNormal + 7);
    QVERIFY(window.Controller().Engine().RingEmpty());
    // No info picture while no rack is on line.
    QCOMPARE(window.InfoPictureLabel()->Picture(), int(mic::kPicInfoDefault));
    // Stand-alone: no console-channel boxes or assignment buttons.
    QVERIFY(!window.ConsoleBox(0) && !window.SequentialBox());
    // The state still goes to a preset file.
    window.Controller().StorePreset(dir.filePath(QStringLiteral("p.mic")).toStdString());
    QCOMPARE(QFileInfo(dir.filePath(QStringLiteral("p.mic"))).size(), qint64(5008));
}

QTEST_MAIN(Widgets)
#include "tst_widgets.moc"
