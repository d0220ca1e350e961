#include "mic/core/ConsoleNotices.h"

namespace mic {

NoticePoster::NoticePoster(ConsoleNoticeTarget* target) : shared_(std::make_shared<Shared>()) {
    shared_->target = target;
}

NoticePoster::~NoticePoster() {
    shared_->target = nullptr;
}

void NoticePoster::SetTarget(ConsoleNoticeTarget* target) {
    shared_->target = target;
}

bool NoticePoster::Post(std::function<void(ConsoleNoticeTarget&)> notice) {
    return Queue(false, std::move(notice));
}

bool NoticePoster::PostOnce(std::function<void(ConsoleNoticeTarget&)> notice) {
    return Queue(true, std::move(notice));
}

bool NoticePoster::Queue(bool once, std::function<void(ConsoleNoticeTarget&)> notice) {
    ConsoleNoticeTarget* target = shared_->target;
    if (!target) {
        return false;
    }
    if (once && shared_->waiting.exchange(true)) {
        return true;
    }
    std::weak_ptr<Shared> weak = shared_;
    target->Post([weak, once, notice = std::move(notice)] {
        const std::shared_ptr<Shared> shared = weak.lock();
        if (!shared) {
            return;  // the receiver has gone
        }
        if (once) {
            shared->waiting = false;  // a push while this notice runs queues the next one
        }
        if (ConsoleNoticeTarget* current = shared->target.load()) {
            notice(*current);
        }
    });
    return true;
}

}  // namespace mic
