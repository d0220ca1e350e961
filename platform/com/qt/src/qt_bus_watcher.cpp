#include "platform/com/qt_bus_watcher.h"

#include <poll.h>

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>

#include "platform/com/bus.h"
#include "platform/com/loop.h"

namespace platform::com {

QtBusWatcher::QtBusWatcher(QObject* parent) : QObject(parent) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &QtBusWatcher::process);
    if (auto* dispatcher = QAbstractEventDispatcher::instance(thread())) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &QtBusWatcher::rearm);
    }
    SetQuitHandler([](int code) {
        QThread* here = QThread::currentThread();
        if (QCoreApplication::instance() && here == QCoreApplication::instance()->thread()) {
            QCoreApplication::exit(code);
        } else {
            here->exit(code);
        }
    });
    CurrentThreadBus();
    rearm();
}

QtBusWatcher::~QtBusWatcher() {
    SetQuitHandler({});
}

void QtBusWatcher::process() {
    ProcessCurrentThread();
    rearm();
}

void QtBusWatcher::watch(int fd) {
    // A notifier may be the sender of the slot this runs in: never delete one directly.
    for (QSocketNotifier* old : {read_, write_}) {
        if (old) {
            old->setEnabled(false);
            old->deleteLater();
        }
    }
    read_ = write_ = nullptr;
    fd_ = fd;
    if (fd < 0) {
        return;
    }
    read_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    write_ = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    connect(read_, &QSocketNotifier::activated, this, &QtBusWatcher::process);
    connect(write_, &QSocketNotifier::activated, this, &QtBusWatcher::process);
}

void QtBusWatcher::rearm() {
    const LoopWait wait = CurrentThreadWait();
    if (wait.fd < 0) {
        // No connection, or one being processed further up this thread's stack: the
        // processing ends with a rearm of its own.
        if (read_) {
            read_->setEnabled(false);
            write_->setEnabled(false);
        }
        timer_.stop();
        return;
    }
    if (wait.fd != fd_) {
        watch(wait.fd);
    }
    read_->setEnabled(wait.events & POLLIN);
    write_->setEnabled(wait.events & POLLOUT);
    if (wait.timeoutMs < 0) {
        timer_.stop();
    } else if (!timer_.isActive() || timer_.remainingTime() > wait.timeoutMs) {
        timer_.start(wait.timeoutMs);
    }
}

}  // namespace platform::com
