// The control interface of the server on the bus (object /org/kestane/RookServer, interface
// org.kestane.RookServer.Control; see README.md), for rookctl and for tests.
#pragma once

#include <functional>
#include <memory>

struct sd_bus_slot;

namespace rookd {

class RookServer;

inline constexpr char kControlPath[] = "/org/kestane/RookServer";
inline constexpr char kControlInterface[] = "org.kestane.RookServer.Control";
// GetImage's answer for an object without an image.
inline constexpr char kNoImageError[] = "org.kestane.RookServer.NoImage";

class ControlInterface {
  public:
    // Serving thread: exports the interface; `onExit` runs when a client asks the server to
    // exit (after the reply is sent).
    static std::unique_ptr<ControlInterface> Export(RookServer& server,
                                                    std::function<void()> onExit);
    ~ControlInterface();

    RookServer& server;
    std::function<void()> onExit;

  private:
    ControlInterface(RookServer& s, std::function<void()> exit)
        : server(s), onExit(std::move(exit)) {}
    sd_bus_slot* slot_ = nullptr;
};

}  // namespace rookd
