// rookctl: drives a running rookd through its control interface.
#include <systemd/sd-bus.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "CommandText.h"
#include "ControlInterface.h"
#include "ImageText.h"
#include "Options.h"
#include "ProxyCommands.h"
#include "platform/com/bus.h"

namespace {

const char kUsage[] = R"(usage: rookctl [--bus session|system|ADDRESS] [--name NAME] COMMAND
  set-image OBJECT FILE [--no-push]   make FILE's bytes OBJECT's image and push it
  push OBJECT                         push OBJECT's image again
  clear-image OBJECT                  forget OBJECT's image (GetData answers no data)
  mic-line LINE PHANTOM PAD GAIN SELECT [--no-push]
                                      set one mic line (1-120) of "MicLineRook" and push it
  close CODE                          push a close request CODE to the client monitors
  not-ready N                         answer the next N DAdvise calls not-ready
  booting N                           answer the next N DAdvise calls booting
  image OBJECT                        print OBJECT's current image decoded (a hex dump
                                      where no layout is known)
  decode OBJECT FILE                  print FILE's bytes decoded as OBJECT's image (no server)
  commands [OBJECT]                   list the command blocks received (all objects by
                                      default), each decoded where its layout is known
  objects                             list the server objects
  proxies                             list every proxy with its operations: command code,
                                      block size, send pattern, (arguments), payload layout
  call CLASS [OPERATION [ARG...]] [-- OPERATION [ARG...]]...
                                      make a proxy of CLASS as a client does, attach it, and
                                      call each OPERATION with its ARGs, typed as `proxies`
                                      lists them (the server class must be registered, e.g.
                                      by rookd --register). A first OPERATION that is the
                                      attach replaces the attach with neutral arguments.
                                      Argument forms:
                                        int uint short ushort byte window: 12, -3, 0x1f
                                        bool: 0 1 true false on off    text: as it stands
                                        hex: 01a2ff (':' or '.' between bytes allowed)
                                        ints, texts: a,b,c ('' = none); N-ints, N-texts: N items
                                        events: time:path:module:control:value[:old[:flags]],...
                                        port: path:side:rack:card:port[:text]
                                        relays: path:side:rack:card:port:relay,...
                                        controls: a:b:c,...  tree-changes: value:first:second,...
                                        routes: path:route,...   filter: the filter word
  exit                                end rookd cleanly
  die                                 kill rookd at once, as a crash would
)";

int Fail(const std::string& text) {
    std::fprintf(stderr, "rookctl: %s\n", text.c_str());
    return 1;
}

bool ReadFile(const std::string& path, std::vector<uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string name = "org.kestane.RookServer";
    while (!args.empty() && (args[0] == "--bus" || args[0] == "--name")) {
        if (args.size() < 2) {
            return Fail(args[0] + " needs a value");
        }
        if (args[0] == "--bus") {
            setenv("KESTANE_COM_BUS", args[1].c_str(), 1);
        } else {
            name = args[1];
        }
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        std::fputs(kUsage, args.empty() ? stderr : stdout);
        return args.empty() ? 2 : 0;
    }
    if (args[0] == "proxies" && args.size() == 1) {
        return rookd::ListProxies();
    }
    if (args[0] == "call") {
        if (args.size() < 2) {
            std::fputs(kUsage, stderr);
            return 2;
        }
        return rookd::CallOperations(args[1],
                                     std::vector<std::string>(args.begin() + 2, args.end()));
    }
    if (args[0] == "decode" && args.size() == 3) {
        std::vector<uint8_t> bytes;
        if (!ReadFile(args[2], bytes)) {
            return Fail("cannot read " + args[2]);
        }
        std::fputs(rookd::DescribeImage(args[1], bytes).c_str(), stdout);
        return 0;
    }
    sd_bus* bus = platform::com::CurrentThreadBus();
    if (!bus) {
        return Fail("cannot reach the bus");
    }
    const std::string command = args[0];
    const bool noPush = args.back() == "--no-push";
    if (noPush) {
        args.pop_back();
    }
    sd_bus_message* call = nullptr;
    const char* member = nullptr;
    uint32_t number = 0;
    int r = 0;
    auto start = [&](const char* m) {
        member = m;
        return sd_bus_message_new_method_call(bus, &call, name.c_str(), rookd::kControlPath,
                                              rookd::kControlInterface, m);
    };
    if (command == "set-image" && args.size() == 3) {
        std::vector<uint8_t> bytes;
        if (!ReadFile(args[2], bytes)) {
            return Fail("cannot read " + args[2]);
        }
        if ((r = start("SetImage")) >= 0 &&
            (r = sd_bus_message_append(call, "s", args[1].c_str())) >= 0 &&
            (r = sd_bus_message_append_array(call, 'y', bytes.data(), bytes.size())) >= 0) {
            r = sd_bus_message_append(call, "b", !noPush);
        }
    } else if ((command == "push" || command == "clear-image" || command == "image") &&
               args.size() == 2) {
        const char* m = command == "push"    ? "PushImage"
                        : command == "image" ? "GetImage"
                                             : "ClearImage";
        if ((r = start(m)) >= 0) {
            r = sd_bus_message_append(call, "s", args[1].c_str());
        }
    } else if (command == "mic-line" && args.size() == 6) {
        uint32_t line = 0;
        rookd::MicLineFields f;
        if (!rookd::ParseNumber(args[1], 120, line) || line < 1 ||
            !rookd::ParseMicLineFields(args[2] + "," + args[3] + "," + args[4] + "," + args[5],
                                       f)) {
            return Fail("mic-line wants LINE (1-120) and four values 0-255");
        }
        if ((r = start("SetMicLine")) >= 0) {
            r = sd_bus_message_append(call, "uyyyyb", line, f.phantom, f.pad, f.gainStep, f.select,
                                      !noPush);
        }
    } else if ((command == "close" || command == "not-ready" || command == "booting") &&
               args.size() == 2) {
        if (!rookd::ParseNumber(args[1], UINT32_MAX, number)) {
            return Fail(command + " wants a number");
        }
        const char* m = command == "close"       ? "SendCloseRequest"
                        : command == "not-ready" ? "AnswerNotReady"
                                                 : "AnswerBooting";
        if ((r = start(m)) >= 0) {
            r = sd_bus_message_append(call, "u", number);
        }
    } else if (command == "commands" && args.size() <= 2) {
        if ((r = start("ListCommands")) >= 0) {
            r = sd_bus_message_append(call, "s", args.size() == 2 ? args[1].c_str() : "");
        }
    } else if ((command == "objects" || command == "exit" || command == "die") &&
               args.size() == 1) {
        r = start(command == "objects" ? "ListObjects" : command == "exit" ? "Exit" : "Die");
    } else {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (r < 0) {
        return Fail(std::string("cannot build the call: ") + std::strerror(-r));
    }
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    r = sd_bus_call(bus, call, 10 * 1000000, &error, &reply);
    sd_bus_message_unref(call);
    if (r < 0) {
        const bool died = command == "die" && sd_bus_error_has_name(&error, SD_BUS_ERROR_NO_REPLY);
        const std::string text = error.message ? error.message : std::strerror(-r);
        sd_bus_error_free(&error);
        return died ? 0 : Fail(std::string(member) + ": " + text);
    }
    if (command == "commands") {
        r = sd_bus_message_enter_container(reply, 'a', "(stuuay)");
        while (r > 0 && (r = sd_bus_message_enter_container(reply, 'r', "stuuay")) > 0) {
            const char* object = nullptr;
            uint64_t sequence = 0;
            uint32_t instance = 0, code = 0;
            const void* bytes = nullptr;
            size_t size = 0;
            if (sd_bus_message_read(reply, "stuu", &object, &sequence, &instance, &code) < 0 ||
                sd_bus_message_read_array(reply, 'y', &bytes, &size) < 0) {
                break;
            }
            std::printf("%llu %s instance=%u command=%u size=%zu", (unsigned long long)sequence,
                        *object ? object : "-", instance, code, size);
            const auto* b = static_cast<const uint8_t*>(bytes);
            for (size_t i = 0; i < size && i < 64; ++i) {
                std::printf("%s%02x", i == 0 ? " " : "", b[i]);
            }
            std::printf("%s\n", size > 64 ? "..." : "");
            std::fputs(rookd::DescribeCommand(object, std::span(b, size)).c_str(), stdout);
            sd_bus_message_exit_container(reply);
        }
    } else if (command == "image") {
        const void* bytes = nullptr;
        size_t size = 0;
        if (sd_bus_message_read_array(reply, 'y', &bytes, &size) >= 0) {
            std::fputs(
                rookd::DescribeImage(args[1], std::span(static_cast<const uint8_t*>(bytes), size))
                    .c_str(),
                stdout);
        }
    } else if (command == "objects") {
        r = sd_bus_message_enter_container(reply, 'a', "(sbu)");
        const char* object = nullptr;
        int hasImage = 0;
        uint32_t instances = 0;
        while (r > 0 && sd_bus_message_read(reply, "(sbu)", &object, &hasImage, &instances) > 0) {
            std::printf("%s image=%s instances=%u\n", object, hasImage ? "yes" : "no", instances);
        }
    } else if (sd_bus_message_has_signature(reply, "u")) {
        sd_bus_message_read(reply, "u", &number);
        std::printf("pushed %u\n", number);
    }
    sd_bus_message_unref(reply);
    return 0;
}
