// Test and benchmark support: the controller's core, the real serial port and simulated racks on a
// pty, wired the way the program wires them: a main thread with a task queue and real timers, and
// the reader thread handing replies over to it synchronously.
#pragma once

#include <stdlib.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "mic/core/MicController.h"
#include "mic/core/SerialPort.h"
#include "px5r/Simulator.h"

namespace line_test {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The main thread: runs posted tasks and fires timers like a window's message loop.
class MainLoop : public mic::MicTimers, public mic::MainThreadInvoker {
  public:
    ~MainLoop() override { Stop(); }

    void Start(std::function<void(int)> onTimer) {
        onTimer_ = std::move(onTimer);
        thread_ = std::thread([this] { Loop(); });
    }

    // Ends the loop; a reader waiting in CallAndWait is released without its task running.
    void Stop() {
        {
            std::lock_guard lock(mu_);
            if (!thread_.joinable()) {
                return;
            }
            stopping_ = true;
        }
        cv_.notify_all();
        thread_.join();
        {
            std::lock_guard lock(mu_);
            exited_ = true;
        }
        cv_.notify_all();
    }

    // Any thread but the loop's: runs `fn` on the loop and returns its result.
    template <typename F>
    auto Run(F fn) -> decltype(fn()) {
        using R = decltype(fn());
        if constexpr (std::is_void_v<R>) {
            CallAndWait([&] { fn(); });
        } else {
            R result{};
            CallAndWait([&] { result = fn(); });
            return result;
        }
    }

    void CallAndWait(const std::function<void()>& fn) override {
        bool done = false;
        std::unique_lock lock(mu_);
        if (stopping_ || exited_) {
            return;
        }
        tasks_.push_back([&] {
            fn();
            std::lock_guard inner(mu_);
            done = true;
            cv_.notify_all();
        });
        cv_.notify_all();
        cv_.wait(lock, [&] { return done || exited_; });
    }

    void SetTimer(int id, uint32_t periodMs) override {
        std::lock_guard lock(mu_);
        timers_[id] = {std::chrono::milliseconds(periodMs),
                       Clock::now() + std::chrono::milliseconds(periodMs)};
        cv_.notify_all();
    }
    void KillTimer(int id) override {
        std::lock_guard lock(mu_);
        timers_.erase(id);
    }

  private:
    struct Timer {
        std::chrono::milliseconds period;
        Clock::time_point due;
    };

    void Loop() {
        std::unique_lock lock(mu_);
        while (!stopping_) {
            if (!tasks_.empty()) {
                auto task = std::move(tasks_.front());
                tasks_.pop_front();
                lock.unlock();
                task();
                lock.lock();
                continue;
            }
            auto next = Clock::time_point::max();
            int nextId = 0;
            for (auto& [id, t] : timers_) {
                if (t.due < next) {
                    next = t.due;
                    nextId = id;
                }
            }
            if (next <= Clock::now()) {
                Timer& t = timers_[nextId];
                t.due = Clock::now() + t.period;
                lock.unlock();
                onTimer_(nextId);
                lock.lock();
                continue;
            }
            if (next == Clock::time_point::max()) {
                cv_.wait(lock);
            } else {
                cv_.wait_until(lock, next);
            }
        }
    }

    std::mutex mu_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> tasks_;
    std::map<int, Timer> timers_;
    std::function<void(int)> onTimer_;
    bool stopping_ = false;
    bool exited_ = false;
    std::thread thread_;
};

class QuietView : public mic::MicView {
  public:
    void RedrawChannel(int) override {}
    void RedrawRack() override {}
    void SetRackButtonPicture(int, int) override {}
    void SetRackSyncMark(int rack, mic::RackSync state) override {
        syncMarks.emplace_back(rack, state);
    }
    void ShowStatusPicture(mic::StatusPicture) override {}
    void ShowInfoPicture(int) override {}
    void SetSetupButtonPicture(int) override {}
    void ShowNameBox(int, bool, bool) override {}
    void MessageBox(const std::string& text, const std::string&) override {
        messages.push_back(text);
    }
    void SetWindowTitle(const std::string&) override {}
    void ShowPortError() override { ++portErrors; }
    void BringToForeground() override {}
    void OpenSetupWindow(const mic::SetupWindowArgs&) override { setupOpened = true; }
    void DriveChannelPopup(int, int, int, bool) override {}
    bool PopupOpeningNotReady() const override { return false; }
    void PopupTimerExpired() override {}
    void ClearPopup() override {}
    std::vector<std::string> messages;
    std::vector<std::pair<int, mic::RackSync>> syncMarks;  // read on the main loop
    int portErrors = 0;
    bool setupOpened = false;
};

// The controller's port and port control, bound to the serial port once the controller (which
// owns the reply record) exists.
struct PortHandle : mic::CommandPort, mic::PortControl {
    mic::CSerialPort* port = nullptr;
    mic::ReplySink* owner = nullptr;
    void SendCommand(const uint8_t* message) override { port->SendCommand(message); }
    bool IsOpen() const override { return port->IsOpen(); }
    bool OpenAndStart(uint32_t n) override {
        return port->OpenPort(owner, n) && port->StartReader();
    }
    void Stop() override { port->StopReader(); }
};

// One simulated line and one controller on it.
class LineRig {
  public:
    explicit LineRig(px5r::SimOptions options, mic::MicSettings settings = Settings())
        : sim(options) {
        dir_ = std::filesystem::temp_directory_path() /
               ("px5r-line-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
        std::filesystem::create_directories(dir_);
        settings_ = settings;
    }
    ~LineRig() {
        loop.Stop();  // first: a reader waiting for the main thread is let go
        port_.reset();
        mic.reset();
        sim.Stop();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    static mic::MicSettings Settings() {
        mic::MicSettings s;
        s.communicationPort = 1;
        s.portWasStored = true;
        s.autoRestore = false;
        return s;
    }
    std::string SnapshotPath() const { return (dir_ / "RestoreSnapshot.mic").string(); }

    // Starts the racks and the controller and runs the controller's initialisation.
    bool Start() {
        if (!sim.Start()) {
            return false;
        }
        mic::MicConfig config;
        config.settings = settings_;
        config.snapshotPath = SnapshotPath();
        config.debugLogPath = (dir_ / "MicDebug.txt").string();
        mic::MicServices services;
        services.view = &view;
        services.timers = &loop;
        services.port = &handle_;
        services.portControl = &handle_;
        mic = std::make_unique<mic::MicController>(config, services);
        port_ = std::make_unique<mic::CSerialPort>(mic->Reply());
        port_->SetDeviceResolver([this](uint32_t) { return sim.SlavePath(); });
        port_->SetNotifier([this](const std::string& text, const std::string&) {
            std::lock_guard lock(boxMu_);
            boxes_.push_back(text);
        });
        handle_.port = port_.get();
        handle_.owner = &mic->Engine();
        mic->Engine().SetInvoker(&loop);
        loop.Start([this](int id) { mic->OnTimer(id); });
        loop.Run([this] { mic->Initialise(); });
        return true;
    }

    // Waits, checking on the main thread, until `pred` holds or `limit` passes.
    bool Eventually(const std::function<bool()>& pred, std::chrono::seconds limit = 60s) {
        auto deadline = Clock::now() + limit;
        while (Clock::now() < deadline) {
            if (loop.Run([&] { return pred(); })) {
                return true;
            }
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    bool OnLine(int rack) const { return mic->State().rackOnLine[rack] != 0; }

    // Differences between a rack in the simulator and the controller's state of it ("" = none).
    std::string Difference(int rack) const {
        px5r::RackState sr = sim.Rack(rack);
        const mic::PreampState& st = mic->State();
        std::string diff;
        for (int c = 0; c < mic::kChannelsPerRack; ++c) {
            const int i = mic::ChannelIndex(rack, c);
            const auto& ch = sr.channels[c];
            const uint32_t assignWire = st.assignment[i] == 0 ? 0x7F : st.assignment[i] - 1;
            if (ch.setting != (st.setting[i] & 0x7F) || ch.assignment != assignWire ||
                ch.directSwitch != st.directSwitch[i]) {
                char text[160];
                std::snprintf(text, sizeof text,
                              "rack %d ch %d: rack has %02x/%02x/%d, controller %02x/%02x/%u; ",
                              rack, c, ch.setting, ch.assignment, ch.directSwitch,
                              st.setting[i] & 0x7F, assignWire, st.directSwitch[i]);
                diff += text;
            }
        }
        return diff;
    }
    bool Same(int rack) const { return Difference(rack).empty(); }

    size_t Boxes() {
        std::lock_guard lock(boxMu_);
        return boxes_.size();
    }

    px5r::Simulator sim;
    MainLoop loop;
    QuietView view;
    std::unique_ptr<mic::MicController> mic;

  private:
    static inline int counter_ = 0;
    std::filesystem::path dir_;
    mic::MicSettings settings_;
    PortHandle handle_;
    std::unique_ptr<mic::CSerialPort> port_;
    std::mutex boxMu_;
    std::vector<std::string> boxes_;
};

}  // namespace line_test
