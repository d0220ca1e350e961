#include "RemoteControl.h"

namespace mic::osc {

RemoteControl::RemoteControl(MicController& controller)
    : mic_(controller), model_(controller), server_(model_) {}

RemoteControl::~RemoteControl() {
    notifier_.reset();
    if (observing_)
        mic_.RemoveObserver(&server_.Handler());
}

bool RemoteControl::Start(const OscSettings& settings, const std::string& version,
                          std::string& error) {
    if (!server_.Start(settings, version, error))
        return false;
    notifier_ = std::make_unique<QSocketNotifier>(server_.Fd(), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated,
                     [this] { server_.ReadPending(); });
    mic_.AddObserver(&server_.Handler());
    observing_ = true;
    return true;
}

}  // namespace mic::osc
