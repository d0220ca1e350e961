#include "ConsoleLink.h"

#include <platform/com/activation.h>
#include <platform/com/loop.h>
#include <platform/notify.h>
#include <poll.h>

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include "mic/core/ClientMonitorReceptacle.h"
#include "mic/core/MicLineInterface.h"
#include "mic/ui/CMicDlg.h"

namespace mic::app {

// Watches the thread's object-server connection in the Qt loop. Before the loop blocks it asks
// again what to wait for: a synchronous call may have parked pushes, leaving the socket quiet,
// and the time-out of 0 that the connection then asks for is kept by a timer.
class BusPump : public QObject {
  public:
    BusPump() {
        timer_.setSingleShot(true);
        connect(&timer_, &QTimer::timeout, this, &BusPump::Process);
        connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
                &BusPump::Rearm);
        Rearm();
    }

  private:
    void Process() {
        platform::com::ProcessCurrentThread();
        Rearm();
    }

    void Rearm() {
        const platform::com::LoopWait wait = platform::com::CurrentThreadWait();
        if (wait.fd != fd_) {
            read_.reset();
            write_.reset();
            fd_ = wait.fd;
            if (fd_ >= 0) {
                read_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
                write_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Write);
                connect(read_.get(), &QSocketNotifier::activated, this, &BusPump::Process);
                connect(write_.get(), &QSocketNotifier::activated, this, &BusPump::Process);
            }
        }
        if (write_) {
            write_->setEnabled((wait.events & POLLOUT) != 0);
        }
        if (wait.timeoutMs < 0) {
            timer_.stop();
        } else if (!timer_.isActive() || timer_.remainingTime() > wait.timeoutMs) {
            timer_.start(wait.timeoutMs);
        }
    }

    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> read_;
    std::unique_ptr<QSocketNotifier> write_;
    QTimer timer_;
};

ConsoleLink::ConsoleLink() {
    platform::com::CoInitialize();
    pump_ = std::make_unique<BusPump>();
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
