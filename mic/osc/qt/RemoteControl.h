// The remote control inside the Qt program: the OSC endpoint on the controller, read from the
// main loop through a QSocketNotifier. liblo's own server is not used as the endpoint: the
// version we build on binds its UDP servers to every address, and the remote control must
// listen on 127.0.0.1 unless told otherwise; liblo encodes and decodes the messages.
#pragma once

#include <QSocketNotifier>
#include <memory>
#include <string>

#include "mic/core/MicController.h"
#include "mic/osc/ControllerModel.h"
#include "mic/osc/OscServer.h"

namespace mic::osc {

class RemoteControl {
  public:
    explicit RemoteControl(MicController& controller);
    ~RemoteControl();
    RemoteControl(const RemoteControl&) = delete;
    RemoteControl& operator=(const RemoteControl&) = delete;

    // Main thread. Listens and registers for the controller's change notices. False with
    // `error` when the socket or the settings are refused; nothing is registered then.
    bool Start(const OscSettings& settings, const std::string& version, std::string& error);
    uint16_t Port() const { return server_.Port(); }
    OscServer& Server() { return server_; }

  private:
    MicController& mic_;
    ControllerModel model_;
    OscServer server_;
    std::unique_ptr<QSocketNotifier> notifier_;
    bool observing_ = false;
};

}  // namespace mic::osc
