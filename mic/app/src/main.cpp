// mic: Remote Microphone Amplifier Control.
#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "CMicApp.h"
#include "mic/ui/SmallDialogs.h"

int main(int argc, char** argv) {
    // Options are looked at before Qt starts: a demo runs offscreen where no display exists
    // and keeps its registry beside its output unless told otherwise.
    QStringList early;
    for (int i = 0; i < argc; ++i) {
        early << QString::fromLocal8Bit(argv[i]);
    }
    const mic::app::Arguments pre = mic::app::ParseArguments(early);
    if (pre.help || !pre.error.isEmpty()) {
        if (!pre.error.isEmpty()) {
            std::fprintf(stderr, "mic: %s\n", qPrintable(pre.error));
        }
        std::fputs(qPrintable(mic::app::UsageText()), pre.help ? stdout : stderr);
        return pre.help ? 0 : 2;
    }
    if (!pre.demoDir.isEmpty()) {
        if (pre.simulate == 0) {
            std::fprintf(stderr, "mic: --demo needs --simulate N\n");
            return 2;
        }
        if (!std::getenv("QT_QPA_PLATFORM")) {
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
        }
        const std::string dir = pre.demoDir.toLocal8Bit().toStdString();
        if (!std::getenv("KESTANE_REGISTRY_DIR")) {
            setenv("KESTANE_REGISTRY_DIR", (dir + "/registry").c_str(), 1);
        }
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("mic"));
    QApplication::setOrganizationName(QStringLiteral("KESTANE"));
    mic::ui::ApplyDialogColours(app);
    // Qt has taken its own options (-platform, ...) out of argv by now.
    const mic::app::Arguments args = mic::app::ParseArguments(QApplication::arguments());
    mic::app::CMicApp micApp;
    return micApp.InitInstance(args);
}
