#include "ConsoleDemo.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <array>

#include "DemoSupport.h"
#include "mic/core/ConsoleNotices.h"
#include "mic/core/MicController.h"
#include "mic/ui/CBigControls2.h"
#include "mic/ui/CMicDlg.h"
#include "px5r/Simulator.h"

namespace mic::app {
namespace {

// One console mic line as rookctl takes it: phantom (0 = on), pad, gain step, select.
struct LineImage {
    int line = 1;
    std::array<int, 4> fields{};
};

class ConsoleDriver {
  public:
    explicit ConsoleDriver(QString program) : program_(std::move(program)) {}

    // Runs rookctl with `args` while the window keeps running; true when it ended with status
    // 0 within 10 s. Its standard output goes to `out`.
    bool Run(const QStringList& args, QString* out = nullptr) {
        QProcess p;
        p.start(program_, args);
        if (!p.waitForStarted(5000)) {
            return false;
        }
        if (!RunUntil([&] { return p.state() == QProcess::NotRunning; }, 10000)) {
            p.kill();
            p.waitForFinished(1000);
            return false;
        }
        if (out) {
            *out = QString::fromLocal8Bit(p.readAllStandardOutput());
        }
        return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }

    bool Push(const LineImage& l) {
        QStringList args{QStringLiteral("mic-line"), QString::number(l.line)};
        for (int f : l.fields) {
            args << QString::number(f);
        }
        ++pushed_;
        return Run(args);
    }

    // True once the server has recorded an attach block with `command` from `object`.
    bool Attached(const QString& object, int command) {
        QString out;
        return Run({QStringLiteral("commands"), object}, &out) &&
               out.contains(QStringLiteral("command=%1 ").arg(command));
    }

    int Pushed() const { return pushed_; }

  private:
    QString program_;
    int pushed_ = 0;
};

QString Hex(uint8_t setting) {
    return QStringLiteral("0x%1").arg(setting, 2, 16, QLatin1Char('0'));
}

}  // namespace

QString FindRookctl() {
    const QString named = qEnvironmentVariable("KESTANE_ROOKCTL");
    if (!named.isEmpty()) {
        return QFileInfo(named).isExecutable() ? named : QString();
    }
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("rookctl"));
    if (!onPath.isEmpty()) {
        return onPath;
    }
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath("rookctl");
    return QFileInfo(beside).isExecutable() ? beside : QString();
}

void RunConsoleDemo(mic::ui::CMicDlg& window, px5r::Simulator& sim, ConsoleImageSource& image,
                    DemoReport& report, const QString& picture) {
    const QString program = FindRookctl();
    if (program.isEmpty()) {
        report.Note(false, QStringLiteral("console: no rookctl to drive the object server "
                                          "(set KESTANE_ROOKCTL)"));
        return;
    }
    ConsoleDriver console(program);
    MicController& c = window.Controller();
    const int rack = c.DisplayedRack();
    auto setting = [&](int channel) { return sim.Rack(rack).channels[channel].setting; };
    auto settings = [&] {
        return QStringLiteral("%1 %2 %3").arg(Hex(setting(0)), Hex(setting(1)), Hex(setting(2)));
    };
    // The bits the console drives: phantom, pad and the gain step.
    auto follows = [&](int channel, const LineImage& l) {
        const uint8_t s = setting(channel);
        return ((s & kPhantomBit) != 0) == (l.fields[0] == 0) &&
               ((s & kPadBit) != 0) == (l.fields[1] != 0) &&
               (s & kGainMask) == static_cast<uint32_t>(l.fields[2]);
    };
    auto popupOpen = [&] { return window.Popup()->open && window.Popup()->isVisible(); };

    const bool attached = RunUntil(
        [&] {
            return console.Attached(QStringLiteral("MicLineRook"), 276) &&
                   console.Attached(QStringLiteral("ClientMonitorRook"), 192);
        },
        15000);
    report.Note(attached, QStringLiteral("console: the mic-line receiver and the client monitor "
                                         "attached to the object server"));
    if (!attached) {
        return;
    }

    // Both lines neutral before any channel follows them, whatever the server held.
    const LineImage neutral1{1, {1, 0, 3, 0}};
    const LineImage neutral2{2, {1, 0, 3, 0}};
    const bool neutral =
        console.Push(neutral1) && console.Push(neutral2) &&
        RunUntil(
            [&] {
                bool ok = false;
                image.WithImage([&](const uint8_t* bytes) {
                    ok = bytes[0] == 1 && bytes[2] == 3 && bytes[4] == 1 && bytes[6] == 3;
                });
                return ok;
            },
            5000);
    report.Note(neutral, QStringLiteral("console: lines 1 and 2 pushed neutral (phantom off, no "
                                        "pad, gain step 3) and received"));

    for (QPushButton* box : {window.PopupControlsBox(), window.PopupOnSelBox()}) {
        if (!box->isChecked()) {
            box->click();
        }
    }
    // Channels 1 and 2 follow console line 1, channel 3 line 2: typed into the console boxes.
    for (auto [channel, line] : {std::pair{0, 1}, std::pair{1, 1}, std::pair{2, 2}}) {
        window.ConsoleBox(channel)->setCurrentIndex(line);
        emit window.ConsoleBox(channel)->activated(line);
    }
    const bool assigned = RunUntil(
        [&] {
            return follows(0, neutral1) && follows(1, neutral1) && follows(2, neutral2) &&
                   c.Engine().RingEmpty();
        },
        5000);
    report.Note(assigned,
                QStringLiteral("console: channels 1 and 2 of rack %1 assigned to console line 1, "
                               "channel 3 to line 2; the rack took the lines' settings (%2)")
                    .arg(rack + 1)
                    .arg(settings()));
    RunFor(300);

    const LineImage moved{1, {0, 1, 9, 0}};
    const bool followed = console.Push(moved) &&
                          RunUntil([&] { return follows(0, moved) && follows(1, moved); }, 5000);
    report.Note(followed && follows(2, neutral2),
                QStringLiteral("console: line 1 pushed with phantom on, pad, gain step 9: "
                               "channels 1 and 2 followed at rack %1, channel 3 stayed (%2)")
                    .arg(rack + 1)
                    .arg(settings()));
    const bool opened = RunUntil(popupOpen, 3000);
    report.Note(opened, QStringLiteral("console: the big-controls popup opened on console "
                                       "line %1")
                            .arg(window.ShownPopupPath()));

    const LineImage selected{2, {0, 0, 12, 1}};
    const bool select =
        console.Push(selected) && RunUntil([&] { return follows(2, selected); }, 5000);
    // Longer than the popup's 2.5 s close: a selected line keeps it up.
    RunFor(3500);
    report.Note(select && popupOpen() && window.ShownPopupPath() == 2,
                QStringLiteral("console: line 2 selected (phantom on, gain step 12): channel 3 "
                               "followed (%1) and the popup stays on line 2 while it is selected")
                    .arg(Hex(setting(2))));
    report.Note(SaveWindowPicture(window, picture),
                QStringLiteral("screenshot with the popup written: %1").arg(picture));

    const LineImage released{2, {0, 0, 12, 0}};
    QElapsedTimer since;
    since.start();
    const bool closed = console.Push(released) && RunUntil([&] { return !popupOpen(); }, 8000);
    report.Note(closed, QStringLiteral("console: select released; the popup closed %1 s later")
                            .arg(since.elapsed() / 1000.0, 0, 'f', 1));
    report.Line(QStringLiteral("console: %1 mic-line images pushed by rookd through rookctl")
                    .arg(console.Pushed()));
}

}  // namespace mic::app
