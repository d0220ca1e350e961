#include "mic/ui/QtServices.h"

#include <QMetaObject>
#include <QThread>

namespace mic::ui {

QtMicTimers::QtMicTimers(std::function<void(int)> fire) : fire_(std::move(fire)) {}

QtMicTimers::~QtMicTimers() = default;

void QtMicTimers::SetTimer(int id, uint32_t periodMs) {
    if (id < 1 || id > 4) {
        return;
    }
    if (!timers_[id]) {
        timers_[id] = std::make_unique<QTimer>();
        timers_[id]->setTimerType(Qt::PreciseTimer);
        QObject::connect(timers_[id].get(), &QTimer::timeout, [this, id] { fire_(id); });
    }
    timers_[id]->start(static_cast<int>(periodMs));
}

void QtMicTimers::KillTimer(int id) {
    if (id >= 1 && id <= 4 && timers_[id]) {
        timers_[id]->stop();
    }
}

bool QtMicTimers::Active(int id) const {
    return id >= 1 && id <= 4 && timers_[id] && timers_[id]->isActive();
}

int QtMicTimers::Interval(int id) const {
    return id >= 1 && id <= 4 && timers_[id] ? timers_[id]->interval() : 0;
}

QtMainThreadInvoker::QtMainThreadInvoker(QObject* context) : context_(context) {}

QtMainThreadInvoker::~QtMainThreadInvoker() {
    Shutdown();
}

void QtMainThreadInvoker::CallAndWait(const std::function<void()>& fn) {
    if (QThread::currentThread() == context_->thread()) {
        fn();
        return;
    }
    auto finished = std::make_shared<bool>(false);
    uint64_t generation;
    {
        std::lock_guard lock(mutex_);
        if (shuttingDown_) {
            return;
        }
        generation = generation_;
    }
    // The copy of `fn` runs only if no Shutdown() came in between; both the check and
    // Shutdown() run on the GUI thread, so they cannot interleave.
    QMetaObject::invokeMethod(
        context_,
        [this, fn, finished, generation] {
            {
                std::lock_guard lock(mutex_);
                if (shuttingDown_ || generation != generation_) {
                    return;
                }
            }
            fn();
            {
                std::lock_guard lock(mutex_);
                *finished = true;
            }
            done_.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(mutex_);
    done_.wait(lock, [&] { return *finished || shuttingDown_ || generation != generation_; });
}

void QtMainThreadInvoker::Shutdown() {
    {
        std::lock_guard lock(mutex_);
        shuttingDown_ = true;
        ++generation_;
    }
    done_.notify_all();
}

void QtMainThreadInvoker::Resume() {
    std::lock_guard lock(mutex_);
    shuttingDown_ = false;
}

}  // namespace mic::ui
