#include "ConsoleLink.h"

#include <platform/com/activation.h>
#include <platform/com/loop.h>
#include <platform/com/message_transport.h>
#include <platform/com/qt_bus_watcher.h>
#include <platform/notify.h>

#include <QApplication>
#include <QMessageBox>
#include <QThread>

#include "mic/core/ClientMonitorReceptacle.h"
#include "mic/core/MicLineInterface.h"
#include "mic/ui/CMicDlg.h"

namespace mic::app {

ConsoleLink::ConsoleLink() {
    platform::com::CoInitialize();
    // The "ConsoleGoneTitsUp" broadcast must reach the console's other programs; without a
    // bus it stays inside this process.
    platform::com::InstallBusMessageTransport();
    // Pushes are delivered while the Qt loop runs (the watcher re-checks before it blocks).
    pump_ = std::make_unique<platform::com::QtBusWatcher>();
    // A server that never became ready ends the thread's loop: mic closes as on a close
    // request, keeping its settings and snapshot. Queued, so that it also works while the
    // window is still being made.
    platform::com::SetQuitHandler([this](int) {
        QMetaObject::invokeMethod(
            this, [this] { OnCloseRequest(); }, Qt::QueuedConnection);
    });
    micLine_ = std::make_unique<CMicLineInterface>(nullptr);
}

ConsoleLink::~ConsoleLink() {
    micLine_.reset();
    monitor_.reset();
    platform::com::SetQuitHandler({});
    pump_.reset();
    platform::com::RemoveBusMessageTransport();
    platform::com::CoUninitialize();
}

ConsoleImageSource* ConsoleLink::ImageSource() const {
    return micLine_.get();
}

void ConsoleLink::AttachMicLine(mic::ui::CMicDlg& window) {
    window_ = &window;
    micLine_->SetOwner(this);
    micLine_->MLAttach();
}

void ConsoleLink::AttachClientMonitor() {
    if (!monitor_) {
        monitor_ = std::make_unique<CClientMonitorReceptacle>(this);
        monitor_->CMAttach("mic");
    }
}

void ConsoleLink::Post(std::function<void()> notice) {
    QMetaObject::invokeMethod(this, std::move(notice), Qt::QueuedConnection);
}

void ConsoleLink::OnButtonFromVantor(int wParam, int lParam) {
    if (window_) {
        window_->OnButtonFromVantor(wParam, lParam);
    }
}

void ConsoleLink::OnCloseRequest() {
    if (window_) {
        window_->ShutdownRequest();
    }
}

void InstallQtMessageBoxes() {
    platform::notify::SetMessageBoxHandler(
        [](const std::string& text, const std::string& caption, uint32_t style) {
            namespace nf = platform::notify;
            if (QGuiApplication::platformName() == QLatin1String("offscreen") ||
                QThread::currentThread() != qApp->thread()) {
                return nf::WriteMessageBox(text, caption, style);
            }
            std::fprintf(stderr, "mic: %s\n", text.c_str());
            const uint32_t icon = style & nf::MB_ICONMASK;
            QMessageBox box(icon == nf::MB_ICONSTOP          ? QMessageBox::Critical
                            : icon == nf::MB_ICONEXCLAMATION ? QMessageBox::Warning
                            : icon == nf::MB_ICONINFORMATION ? QMessageBox::Information
                                                             : QMessageBox::NoIcon,
                            caption.empty() ? QApplication::applicationName()
                                            : QString::fromLocal8Bit(caption.c_str()),
                            QString::fromLocal8Bit(text.c_str()), QMessageBox::Ok);
            if (style & nf::MB_SYSTEMMODAL) {
                box.setWindowFlag(Qt::WindowStaysOnTopHint);
            }
            box.exec();
            return nf::IDOK;
        });
}

}  // namespace mic::app
