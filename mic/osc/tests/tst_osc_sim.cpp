// The remote control in the real main window against simulated racks on a pty, spoken to by a
// liblo client as a control surface would: sets reach the racks, refusals say why, subscribers
// see every source of change, strangers and malformed packets change nothing.
#include <lo/lo.h>
#include <sys/socket.h>

#include <QTest>
#include <cstring>
#include <functional>
#include <optional>

#include "MicDlgFixture.h"
#include "RemoteControl.h"
#include "mic/osc/OscMessage.h"
#include "mic/ui/CBmpButton.h"

using mic::osc::OscMessage;
using mic::osc::OscValue;
using mic::ui::testing::SimulatedWindow;

namespace {

// A client with liblo's own server for the replies, pumped while the window's loop runs.
class LoClient {
  public:
    explicit LoClient(uint16_t port) {
        server_ = lo_server_new_with_proto(nullptr, LO_UDP, nullptr);
        lo_server_add_method(server_, nullptr, nullptr, &LoClient::Received, this);
        target_ = lo_address_new("127.0.0.1", std::to_string(port).c_str());
    }
    ~LoClient() {
        lo_address_free(target_);
        lo_server_free(server_);
    }
    bool Valid() const { return server_ && target_; }

    // types: "" (a get), "i", "f", "s"; values from the arguments.
    void Send(const char* path, const char* types = "", int i = 0, float f = 0,
              const char* s = "") {
        lo_message m = lo_message_new();
        for (const char* t = types; *t; ++t) {
            if (*t == 'i')
                lo_message_add_int32(m, i);
            else if (*t == 'f')
                lo_message_add_float(m, f);
            else
                lo_message_add_string(m, s);
        }
        lo_send_message_from(target_, server_, path, m);
        lo_message_free(m);
    }
    // Raw bytes from the same socket, for what liblo would never build.
    void SendRaw(const std::vector<uint8_t>& bytes, uint16_t port) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::sendto(lo_server_get_socket_fd(server_), bytes.data(), bytes.size(), 0,
                 reinterpret_cast<sockaddr*>(&to), sizeof to);
    }

    // Waits, with the window's loop running, for a message with this address (and passes
    // over others, which stay for later).
    std::optional<OscMessage> WaitFor(const std::string& path, int ms = 10000) {
        QElapsedTimer clock;
        clock.start();
        do {
            while (lo_server_recv_noblock(server_, 0) > 0) {
            }
            for (size_t i = 0; i < inbox_.size(); ++i) {
                if (inbox_[i].path == path) {
                    OscMessage m = inbox_[i];
                    inbox_.erase(inbox_.begin() + static_cast<long>(i));
                    return m;
                }
            }
            QTest::qWait(5);
        } while (clock.elapsed() < ms);
        return std::nullopt;
    }
    // Everything that arrived within `ms`.
    std::vector<OscMessage> Drain(int ms) {
        WaitFor("/nothing/ever", ms);
        return std::exchange(inbox_, {});
    }

    // A set, repeated while the line is busy (a data block being received refuses operator
    // changes for a moment); returns the answer's value message, after any error.
    std::pair<std::optional<OscMessage>, std::string> Set(const char* path, const char* types,
                                                          int i, float f = 0, const char* s = "") {
        for (int attempt = 0; attempt < 20; ++attempt) {
            Drain(0);
            Send(path, types, i, f, s);
            const std::optional<OscMessage> value = WaitFor(path);
            std::string reason;
            for (const OscMessage& m : inbox_)
                if (m.path == "/mic/error" && m.args.size() == 2 && m.args[0].text == path)
                    reason = m.args[1].text;
            if (reason != mic::refusal::kLineBusy)
                return {value, reason};
            QTest::qWait(100);
        }
        return {std::nullopt, "busy"};
    }

  private:
    static int Received(const char* path, const char* types, lo_arg** argv, int argc, lo_message,
                        void* self) {
        OscMessage m{path, {}};
        for (int k = 0; k < argc; ++k) {
            if (types[k] == 'i')
                m.args.push_back(OscValue::Int(argv[k]->i));
            else if (types[k] == 'f')
                m.args.push_back(OscValue::Float(argv[k]->f));
            else if (types[k] == 's')
                m.args.push_back(OscValue::String(&argv[k]->s));
        }
        static_cast<LoClient*>(self)->inbox_.push_back(std::move(m));
        return 0;
    }

    lo_server server_ = nullptr;
    lo_address target_ = nullptr;
    std::vector<OscMessage> inbox_;
};

struct Remote {
    SimulatedWindow s;
    std::unique_ptr<mic::osc::RemoteControl> rc;
    std::unique_ptr<LoClient> client;

    bool Start(int racks, bool integration = false, mic::osc::OscSettings settings = {}) {
        if (!s.Start(racks, integration))
            return false;
        rc = std::make_unique<mic::osc::RemoteControl>(s.C());
        settings.enabled = true;
        settings.port = 0;
        std::string error;
        if (!rc->Start(settings, "mic test", error)) {
            qWarning("%s", error.c_str());
            return false;
        }
        client = std::make_unique<LoClient>(rc->Port());
        return client->Valid();
    }
    bool AllOnLine(int racks) {
        QElapsedTimer clock;
        clock.start();
        while (s.C().Engine().OnLineCount() != racks && clock.elapsed() < 20000)
            QTest::qWait(20);
        s.Settle();
        return s.C().Engine().OnLineCount() == racks;
    }
};

int IntOf(const std::optional<OscMessage>& m) {
    return m && m->args.size() == 1 ? static_cast<int>(m->args[0].integer) : -999;
}

}  // namespace

class RemoteControlAgainstRacks : public QObject {
    Q_OBJECT

  private slots:
    void setsAndReadsEveryFieldOfSeveralRacks();
    void aRefusedSetGetsItsReason();
    void aSubscriptionSeesOperatorPresetAndFrontPanelChanges();
    void aPeerNotOnTheAllowListIsIgnored();
    void malformedOscGetsAnErrorOrNothingAndChangesNothing();
};

void RemoteControlAgainstRacks::setsAndReadsEveryFieldOfSeveralRacks() {
    Remote r;
    QVERIFY(r.Start(3));
    QVERIFY(r.AllOnLine(3));
    auto& c = *r.client;
    for (int rack = 0; rack < 3; ++rack) {
        const int ch = rack + 2;
        const std::string base =
            "/mic/rack/" + std::to_string(rack + 1) + "/channel/" + std::to_string(ch + 1) + "/";
        const int db = 25 + 15 * rack;  // 25, 40, 55 dB
        QCOMPARE(IntOf(c.Set((base + "gain").c_str(), "i", db).first), db);
        for (const char* f : {"phantom", "phase", "pad"})
            QCOMPARE(IntOf(c.Set((base + f).c_str(), "f", 0, 1.0f).first), 1);
        QCOMPARE(IntOf(c.Set((base + "direct").c_str(), "i", 1).first), 1);
        const std::string name = "Rack " + std::to_string(rack + 1) + " Vox";
        const auto named = c.Set((base + "name").c_str(), "s", 0, 0, name.c_str()).first;
        QVERIFY(named && named->args.size() == 1);
        QCOMPARE(named->args[0].text, name);

        const uint8_t step = static_cast<uint8_t>((db - 20) / 5 + 3);
        QTRY_COMPARE_WITH_TIMEOUT(r.s.RackSetting(rack, ch), uint8_t(step | 0x70), 15000);
        QTRY_COMPARE_WITH_TIMEOUT(r.s.sim->Rack(rack).channels[ch].directSwitch, uint8_t(1), 15000);
        QCOMPARE(r.s.RackSetting(rack, ch - 1), uint8_t(0x03));  // the neighbour untouched

        // Read back, one field at a time and the channel at once.
        c.Send((base + "gain").c_str());
        QCOMPARE(IntOf(c.WaitFor(base + "gain")), db);
        for (const char* f : {"phantom", "phase", "pad", "direct"}) {
            c.Send((base + f).c_str());
            QCOMPARE(IntOf(c.WaitFor(base + f)), 1);
        }
        const std::string channel = base.substr(0, base.size() - 1);
        c.Send(channel.c_str());
        const auto all = c.WaitFor(channel);
        QVERIFY(all && all->args.size() == 7);
        QCOMPARE(all->args[0].integer, int64_t(db));
        QCOMPARE(all->args[5].text, name);
        QCOMPARE(r.s.C().State().Name(mic::ChannelIndex(rack, ch)), name);
    }
    // Switches go off again at the rack.
    QCOMPARE(IntOf(c.Set("/mic/rack/2/channel/4/phantom", "i", 0).first), 0);
    QCOMPARE(IntOf(c.Set("/mic/rack/2/channel/4/direct", "f", 0, 0.0f).first), 0);
    QTRY_COMPARE_WITH_TIMEOUT(r.s.RackSetting(1, 3) & 0x40, 0, 15000);
    QTRY_COMPARE_WITH_TIMEOUT(r.s.sim->Rack(1).channels[3].directSwitch, uint8_t(0), 15000);

    c.Send("/mic/rack/3/online");
    QCOMPARE(IntOf(c.WaitFor("/mic/rack/3/online")), 1);
    c.Send("/mic/rack/4/online");
    QCOMPARE(IntOf(c.WaitFor("/mic/rack/4/online")), 0);
    c.Send("/mic/version");
    const auto version = c.WaitFor("/mic/version");
    QVERIFY(version && version->args.size() == 1);
    QCOMPARE(version->args[0].text, std::string("mic test"));
}

void RemoteControlAgainstRacks::aRefusedSetGetsItsReason() {
    Remote r;
    QVERIFY(r.Start(2, /*integration=*/true));
    px5r::RackState second = r.s.sim->Rack(1);
    second.channels[5].status = 0;  // channel 6 of rack 2 is not fitted
    second.present = true;
    r.s.sim->SetRack(1, second);
    QVERIFY(r.AllOnLine(2));
    QTRY_COMPARE_WITH_TIMEOUT(r.s.C().State().status[mic::ChannelIndex(1, 5)], 0u, 15000);
    QVERIFY(!r.s.C().AssignConsoleChannel(2, 5).refused);
    r.s.Settle();
    auto& c = *r.client;

    auto [owned, ownedWhy] = c.Set("/mic/rack/1/channel/3/phantom", "i", 1);
    QCOMPARE(ownedWhy, std::string(mic::refusal::kConsoleOwned));
    QCOMPARE(IntOf(owned), 0);  // the value that stands, for a surface to snap back to
    auto [gainOwned, gainWhy] = c.Set("/mic/rack/1/channel/3/gain", "i", 60);
    QCOMPARE(gainWhy, std::string(mic::refusal::kConsoleOwned));
    QCOMPARE(IntOf(gainOwned), 20);
    QCOMPARE(c.Set("/mic/rack/2/channel/6/gain", "i", 50).second,
             std::string(mic::refusal::kNotReported));
    QCOMPARE(c.Set("/mic/rack/3/channel/1/pad", "i", 1).second,
             std::string(mic::refusal::kRackOffLine));
    // Phase stays the operator's on an assigned channel.
    QCOMPARE(c.Set("/mic/rack/1/channel/3/phase", "i", 1).second, std::string());

    QTRY_COMPARE_WITH_TIMEOUT(r.s.RackSetting(0, 2), uint8_t(0x23), 15000);
    QCOMPARE(r.s.RackSetting(1, 5), uint8_t(0x03));
    QCOMPARE(r.s.C().State().setting[mic::ChannelIndex(2, 0)] & 0x10, 0u);
}

void RemoteControlAgainstRacks::aSubscriptionSeesOperatorPresetAndFrontPanelChanges() {
    Remote r;
    QVERIFY(r.Start(2));
    QVERIFY(r.AllOnLine(2));
    auto& c = *r.client;
    c.Send("/mic/subscribe", "i", 120);
    QCOMPARE(IntOf(c.WaitFor("/mic/subscribed")), 120);

    // The operator clicks phantom on channel 4 of rack 1.
    QTest::mouseClick(r.s.window->PhantomButton(3), Qt::LeftButton);
    QCOMPARE(IntOf(c.WaitFor("/mic/rack/1/channel/4/phantom")), 1);

    // The front panel of the displayed rack (the one whose changes the line fetches) sets
    // channel 6 to 45 dB with phantom power.
    px5r::ChannelState panel = r.s.sim->Rack(0).channels[5];
    panel.setting = 0x48;
    r.s.sim->FrontPanel(0, 5, panel);
    QCOMPARE(IntOf(c.WaitFor("/mic/rack/1/channel/6/gain", 20000)), 45);
    QCOMPARE(IntOf(c.WaitFor("/mic/rack/1/channel/6/phantom")), 1);

    // A preset brings back what was stored before a remote change.
    r.s.Settle();
    const std::string preset = r.s.dir.filePath(QStringLiteral("scene.mic")).toStdString();
    r.s.C().StorePreset(preset);
    QCOMPARE(IntOf(c.Set("/mic/rack/1/channel/1/gain", "i", 70).first), 70);
    QCOMPARE(IntOf(c.WaitFor("/mic/rack/1/channel/1/gain")), 70);  // the push of our own set
    r.s.Settle();
    r.s.C().LoadPreset(preset);
    QCOMPARE(IntOf(c.WaitFor("/mic/rack/1/channel/1/gain")), 20);
    QTRY_COMPARE_WITH_TIMEOUT(r.s.RackSetting(0, 0), uint8_t(0x03), 15000);

    // A rack leaving the line.
    r.s.sim->SetPresent(1, false);
    QCOMPARE(IntOf(c.WaitFor("/mic/rack/2/online", 30000)), 0);

    c.Send("/mic/unsubscribe");
    QVERIFY(c.WaitFor("/mic/unsubscribed"));
    c.Drain(100);
    QTest::mouseClick(r.s.window->PhantomButton(3), Qt::LeftButton);
    QVERIFY(!c.WaitFor("/mic/rack/1/channel/4/phantom", 1000));
}

void RemoteControlAgainstRacks::aPeerNotOnTheAllowListIsIgnored() {
    Remote r;
    mic::osc::OscSettings named;
    named.address = "0.0.0.0";
    named.allow = "192.0.2.1, 10.0.0.0/8";
    QVERIFY(r.Start(1, false, named));
    QVERIFY(r.AllOnLine(1));
    auto& c = *r.client;
    c.Send("/mic/version");
    c.Send("/mic/rack/1/channel/1/gain", "i", 60);
    c.Send("/mic/subscribe");
    c.SendRaw({1, 2, 3, 4}, r.rc->Port());
    QVERIFY(c.Drain(1500).empty());
    QCOMPARE(r.s.C().State().setting[0] & 0x0F, 3u);
    QCOMPARE(r.rc->Server().Handler().Stats().ignored, uint64_t(4));
    QCOMPARE(r.rc->Server().Handler().Subscribers(), size_t(0));

    // The same host on the list is answered.
    mic::osc::RemoteControl listed(r.s.C());
    named.allow = "192.0.2.1 127.0.0.1";
    named.port = 0;
    std::string error;
    QVERIFY(listed.Start(named, "mic test", error));
    LoClient friendly(listed.Port());
    QCOMPARE(IntOf(friendly.Set("/mic/rack/1/channel/1/gain", "i", 60).first), 60);
    QTRY_COMPARE_WITH_TIMEOUT(r.s.RackSetting(0, 0), uint8_t(0x0B), 15000);
}

void RemoteControlAgainstRacks::malformedOscGetsAnErrorOrNothingAndChangesNothing() {
    Remote r;
    QVERIFY(r.Start(1));
    QVERIFY(r.AllOnLine(1));
    auto& c = *r.client;
    const mic::PreampState before = r.s.C().State();
    const auto setsBefore = r.s.sim->Stats().setChannels + r.s.sim->Stats().setDirects;
    const uint16_t port = r.rc->Port();

    struct Case {
        std::function<void()> send;
        const char* path;  // the address the error names ("" for undecodable packets)
    };
    const std::string huge(5000, 'n');
    const std::string longName(100, 'n');
    const std::vector<Case> cases{
        {[&] {
             c.SendRaw({0xde, 0xad, 0xbe, 0xef, 0, 1}, port);
         },
         ""},
        {[&] {
             c.SendRaw({'/', 'm', 'i', 'c', 0, 0, 0, 0, ',', 'i', 'i', 0, 0, 0, 0, 1}, port);
         },
         ""},
        {[&] { c.Send("/mic/rack/1/channel/1/gain", "s", 0, 0, "loud"); },
         "/mic/rack/1/channel/1/gain"},
        {[&] { c.Send("/mic/rack/1/channel/1/phantom", "f", 0, 0.5f); },
         "/mic/rack/1/channel/1/phantom"},
        {[&] { c.Send("/mic/rack/17/channel/1/gain", "i", 45); }, "/mic/rack/17/channel/1/gain"},
        {[&] { c.Send("/mic/rack/1/channel/13/pad", "i", 1); }, "/mic/rack/1/channel/13/pad"},
        {[&] { c.Send("/mic/rack/1/channel/1/gain", "i", 75); }, "/mic/rack/1/channel/1/gain"},
        {[&] { c.Send("/mic/rack/1/channel/1/gain", "f", 0, 1e30f); },
         "/mic/rack/1/channel/1/gain"},
        {[&] { c.Send("/mic/rack/1/channel/1/name", "s", 0, 0, longName.c_str()); },
         "/mic/rack/1/channel/1/name"},
        {[&] { c.Send("/mic/rack/1/channel/1/name", "s", 0, 0, huge.c_str()); }, ""},
        {[&] { c.Send(("/mic/" + huge).c_str(), "i", 1); }, ""},
    };
    for (size_t k = 0; k < cases.size(); ++k) {
        cases[k].send();
        const auto error = c.WaitFor("/mic/error", 3000);
        QVERIFY2(error && error->args.size() == 2, std::to_string(k).c_str());
        QCOMPARE(error->args[0].text, std::string(cases[k].path));
    }
    c.Drain(300);
    // Nothing changed, and the remote control still answers.
    QCOMPARE(r.s.C().State().setting, before.setting);
    QCOMPARE(r.s.C().State().directSwitch, before.directSwitch);
    QCOMPARE(r.s.C().State().name, before.name);
    QCOMPARE(r.s.sim->Stats().setChannels + r.s.sim->Stats().setDirects, setsBefore);
    c.Send("/mic/rack/1/online");
    QCOMPARE(IntOf(c.WaitFor("/mic/rack/1/online")), 1);
}

QTEST_MAIN(RemoteControlAgainstRacks)
#include "tst_osc_sim.moc"
