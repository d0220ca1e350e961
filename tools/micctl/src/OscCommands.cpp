// get, set, watch and dump: requests to mic's remote control and the printing of its answers.
#include <chrono>
#include <csignal>
#include <ostream>

#include "CommandLine.h"
#include "mic/osc/OscAddress.h"
#include "mic/osc/OscClient.h"

namespace micctl {

namespace {

using mic::osc::OscClient;
using mic::osc::OscMessage;
using mic::osc::OscValue;

volatile std::sig_atomic_t g_stop = 0;

void OnStopSignal(int) {
    g_stop = 1;
}

// Parses the options and opens the client; returns an exit code other than kExitOk on failure.
int Prepare(const std::string& command, const Args& args, Connection& connection, Args& rest,
            OscClient& client, std::ostream& err, const std::vector<std::string>& numbers = {},
            std::vector<std::pair<std::string, long>>* values = nullptr) {
    std::string error;
    if (!ParseOptions(args, connection, rest, error, numbers, values)) {
        err << "micctl " << command << ": " << error << "\n";
        return kExitUsage;
    }
    if (!client.Open(connection.host, connection.port, error)) {
        err << "micctl " << command << ": " << error << "\n";
        return kExitLocal;
    }
    return kExitOk;
}

int NoAnswer(const std::string& command, const Connection& c, std::ostream& err) {
    err << "micctl " << command << ": no answer from " << c.host << " port " << c.port
        << " (is mic running with its remote control on, and is this host allowed?)\n";
    return kExitNoAnswer;
}

bool IsError(const OscMessage& m) {
    return m.path == mic::osc::kErrorAddress && m.args.size() == 2;
}

void PrintMessage(const OscMessage& m, bool withPath, std::ostream& out) {
    std::string line = withPath ? m.path : "";
    for (const OscValue& v : m.args) {
        if (!line.empty())
            line += ' ';
        line += ValueText(v);
    }
    out << line << "\n";
}

// Sends `request` and collects the answers to it: `expected` messages whose address is
// `path`'s subtree, or an error. Pushes of a subscription are not expected here.
int Exchange(OscClient& client, const Connection& c, const OscMessage& request, size_t expected,
             std::vector<OscMessage>& answers, std::string& error) {
    answers.clear();
    if (!client.Send(request))
        return kExitLocal;
    while (answers.size() < expected) {
        std::optional<OscMessage> m = client.Receive(c.timeoutMs);
        if (!m)
            return kExitNoAnswer;
        if (IsError(*m)) {
            error = m->args[0].text + ": " + m->args[1].text;
            return kExitRefused;
        }
        if (m->path.rfind(request.path, 0) == 0)
            answers.push_back(std::move(*m));
    }
    return kExitOk;
}

}  // namespace

int RunGet(const Args& args, std::ostream& out, std::ostream& err) {
    Connection c;
    Args rest;
    OscClient client;
    if (int r = Prepare("get", args, c, rest, client, err); r != kExitOk)
        return r;
    if (rest.empty()) {
        err << "micctl get: which address? (micctl --help)\n";
        return kExitUsage;
    }
    int result = kExitOk;
    for (const std::string& text : rest) {
        const std::optional<std::string> address = ExpandAddress(text);
        if (!address) {
            err << "micctl get: not an address of mic: " << text << "\n";
            return kExitUsage;
        }
        const auto target = mic::osc::ParseAddress(*address);
        if (target->node == mic::osc::Node::Subscribe ||
            target->node == mic::osc::Node::Unsubscribe) {
            err << "micctl get: use micctl watch to subscribe\n";
            return kExitUsage;
        }
        const size_t expected = target->node == mic::osc::Node::Rack ? 13 : 1;
        std::vector<OscMessage> answers;
        std::string error;
        const int r = Exchange(client, c, {*address, {}}, expected, answers, error);
        if (r == kExitNoAnswer)
            return NoAnswer("get", c, err);
        if (r != kExitOk) {
            err << "micctl get: " << (error.empty() ? "cannot send" : error) << "\n";
            result = r;
            continue;
        }
        for (const OscMessage& m : answers)
            PrintMessage(m, rest.size() > 1 || expected > 1 || m.args.size() > 1, out);
    }
    return result;
}

int RunSet(const Args& args, std::ostream& out, std::ostream& err) {
    Connection c;
    Args rest;
    OscClient client;
    if (int r = Prepare("set", args, c, rest, client, err); r != kExitOk)
        return r;
    if (rest.size() != 2) {
        err << "micctl set: needs ADDRESS VALUE (micctl --help)\n";
        return kExitUsage;
    }
    const std::optional<std::string> address = ExpandAddress(rest[0]);
    OscValue value;
    std::string error;
    if (!address) {
        err << "micctl set: not an address of mic: " << rest[0] << "\n";
        return kExitUsage;
    }
    if (!SetValue(*address, rest[1], value, error)) {
        err << "micctl set: " << error << "\n";
        return kExitUsage;
    }
    std::vector<OscMessage> answers;
    const int r = Exchange(client, c, {*address, {value}}, 1, answers, error);
    if (r == kExitNoAnswer)
        return NoAnswer("set", c, err);
    if (r != kExitOk) {
        err << "micctl set: refused: " << (error.empty() ? "cannot send" : error) << "\n";
        return r;
    }
    PrintMessage(answers.front(), false, out);
    return kExitOk;
}

int RunWatch(const Args& args, std::ostream& out, std::ostream& err) {
    Connection c;
    Args rest;
    OscClient client;
    std::vector<std::pair<std::string, long>> values;
    if (int r =
            Prepare("watch", args, c, rest, client, err, {"--for", "--count", "--lease"}, &values);
        r != kExitOk)
        return r;
    if (!rest.empty()) {
        err << "micctl watch: unexpected argument " << rest.front() << "\n";
        return kExitUsage;
    }
    long forSeconds = 0, count = 0, lease = 60;
    for (const auto& [name, v] : values) {
        if (name == "--for")
            forSeconds = v;
        else if (name == "--count")
            count = v;
        else if (v >= 1 && v <= 86400)
            lease = v;
        else {
            err << "micctl watch: --lease needs seconds from 1 to 86400\n";
            return kExitUsage;
        }
    }
    using Clock = std::chrono::steady_clock;
    const OscMessage subscribe{"/mic/subscribe", {OscValue::Int(static_cast<int32_t>(lease))}};
    std::vector<OscMessage> answers;
    std::string error;
    const int r = Exchange(client, c, subscribe, 1, answers, error);
    if (r == kExitNoAnswer)
        return NoAnswer("watch", c, err);
    if (r != kExitOk) {
        err << "micctl watch: " << error << "\n";
        return r;
    }
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    const auto start = Clock::now();
    auto renewAt = start + std::chrono::seconds(lease) / 2;
    long printed = 0;
    out.flush();
    while (!g_stop && (count == 0 || printed < count) &&
           (forSeconds == 0 || Clock::now() - start < std::chrono::seconds(forSeconds))) {
        if (Clock::now() >= renewAt) {
            client.Send(subscribe);
            renewAt = Clock::now() + std::chrono::seconds(lease) / 2;
        }
        // Short waits, so that a signal or the end of --for is noticed soon.
        std::optional<OscMessage> m = client.Receive(200);
        if (!m || m->path == mic::osc::kSubscribedAddress)
            continue;
        if (IsError(*m)) {
            err << "micctl watch: " << m->args[0].text << ": " << m->args[1].text << "\n";
            continue;
        }
        PrintMessage(*m, true, out);
        out.flush();
        ++printed;
    }
    client.Send({"/mic/unsubscribe", {}});
    return kExitOk;
}

int RunDump(const Args& args, std::ostream& out, std::ostream& err) {
    Connection c;
    Args rest;
    OscClient client;
    if (int r = Prepare("dump", args, c, rest, client, err); r != kExitOk)
        return r;
    if (!rest.empty()) {
        err << "micctl dump: unexpected argument " << rest.front() << "\n";
        return kExitUsage;
    }
    std::vector<OscMessage> answers;
    std::string error;
    int r = Exchange(client, c, {"/mic/version", {}}, 1, answers, error);
    if (r == kExitNoAnswer)
        return NoAnswer("dump", c, err);
    if (r != kExitOk || answers[0].args.size() != 1) {
        err << "micctl dump: " << error << "\n";
        return kExitRefused;
    }
    std::string json =
        "{\n  \"version\": " + JsonString(ValueText(answers[0].args[0])) + ",\n  \"racks\": [";
    static const char* const kFields[] = {"gain",   "phantom", "phase",  "pad",
                                          "direct", "name",    "console"};
    for (int rack = 0; rack < 16; ++rack) {
        const std::string path = "/mic/rack/" + std::to_string(rack + 1);
        // A datagram lost on the way is asked for again.
        for (int attempt = 0; attempt < 3; ++attempt) {
            r = Exchange(client, c, {path, {}}, 13, answers, error);
            if (r != kExitNoAnswer)
                break;
            while (client.Receive(50)) {
            }
        }
        if (r == kExitNoAnswer)
            return NoAnswer("dump", c, err);
        if (r != kExitOk) {
            err << "micctl dump: " << error << "\n";
            return r;
        }
        const OscMessage& head = answers[0];
        if (head.path != path || head.args.size() != 2) {
            err << "micctl dump: unexpected answer " << head.path << "\n";
            return kExitRefused;
        }
        json += std::string(rack ? "," : "") + "\n    {\"rack\": " + std::to_string(rack + 1) +
                ", \"online\": " + (head.args[0].integer ? "true" : "false") +
                ", \"version\": " + JsonString(ValueText(head.args[1])) + ", \"channels\": [";
        for (int ch = 0; ch < 12; ++ch) {
            const OscMessage& m = answers[1 + ch];
            if (m.path != path + "/channel/" + std::to_string(ch + 1) || m.args.size() != 7) {
                err << "micctl dump: unexpected answer " << m.path << "\n";
                return kExitRefused;
            }
            json += std::string(ch ? "," : "") + "\n      {\"channel\": " + std::to_string(ch + 1);
            for (int f = 0; f < 7; ++f) {
                const OscValue& v = m.args[f];
                std::string text;
                if (f == 5)
                    text = JsonString(ValueText(v));
                else if (f >= 1 && f <= 4)
                    text = v.integer ? "true" : "false";
                else
                    text = std::to_string(v.integer);
                json += std::string(", \"") + kFields[f] + "\": " + text;
            }
            json += "}";
        }
        json += "\n    ]}";
    }
    out << json << "\n  ]\n}\n";
    return kExitOk;
}

}  // namespace micctl
