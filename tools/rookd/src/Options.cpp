#include "Options.h"

#include <cstdlib>

namespace rookd {

const char kUsage[] = R"(usage: rookd [OPTIONS]
The object server stand-in: serves the server class on the bus, keeps a data image per server
object, pushes images to advised clients and records the command blocks it receives.

  --bus session|system|ADDRESS  the bus to serve on (default: $KESTANE_COM_BUS, the machine
                                hive's Software\Kestane\Com "Bus", else the session bus)
  --name NAME                   the well-known bus name to own (default org.kestane.RookServer)
  --register                    map the server class to NAME in the machine hive, then serve
  --register-only               map the server class to NAME and exit
  --image OBJECT=FILE           start with the bytes of FILE as OBJECT's image
  --mic-line LINE=P,PAD,GAIN,SEL  start with mic line LINE (1-120) set (phantom byte 0 = on)
  --not-ready N                 answer the next N DAdvise calls SERVER_E_NOT_READY
  --booting N                   then answer N DAdvise calls SERVER_E_BOOTING
  --help                        show this help
rookctl drives a running rookd (rookctl --help). SIGTERM, SIGINT and SIGHUP end it cleanly.
)";

bool ParseNumber(const std::string& text, uint32_t max, uint32_t& value) {
    if (text.empty() || text.size() > 10) {
        return false;
    }
    char* end = nullptr;
    const unsigned long long parsed = std::strtoull(text.c_str(), &end, 0);
    if (*end != '\0' || parsed > max) {
        return false;
    }
    value = static_cast<uint32_t>(parsed);
    return true;
}

bool ParseMicLineFields(const std::string& text, MicLineFields& fields) {
    uint8_t* targets[] = {&fields.phantom, &fields.pad, &fields.gainStep, &fields.select};
    size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        const size_t comma = text.find(',', start);
        if ((i < 3) != (comma != std::string::npos)) {
            return false;
        }
        uint32_t value = 0;
        if (!ParseNumber(text.substr(start, comma - start), 255, value)) {
            return false;
        }
        *targets[i] = static_cast<uint8_t>(value);
        start = comma + 1;
    }
    return true;
}

bool ParseOptions(const std::vector<std::string>& args, Options& o, std::string& problem) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                problem = arg + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string v;
        if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--register") {
            o.registerClass = true;
        } else if (arg == "--register-only") {
            o.registerClass = o.registerOnly = true;
        } else if (arg == "--bus") {
            if (!value(o.bus))
                return false;
        } else if (arg == "--name") {
            if (!value(o.busName))
                return false;
        } else if (arg == "--image") {
            if (!value(v))
                return false;
            const size_t eq = v.find('=');
            if (eq == std::string::npos || eq == 0 || eq + 1 == v.size()) {
                problem = "--image wants OBJECT=FILE";
                return false;
            }
            o.images.emplace_back(v.substr(0, eq), v.substr(eq + 1));
        } else if (arg == "--mic-line") {
            if (!value(v))
                return false;
            const size_t eq = v.find('=');
            uint32_t line = 0;
            MicLineFields fields;
            if (eq == std::string::npos || !ParseNumber(v.substr(0, eq), kMicLines, line) ||
                line < 1 || !ParseMicLineFields(v.substr(eq + 1), fields)) {
                problem = "--mic-line wants LINE=PHANTOM,PAD,GAIN,SELECT with LINE 1-120";
                return false;
            }
            o.micLines.emplace_back(static_cast<int>(line), fields);
        } else if (arg == "--not-ready" || arg == "--booting") {
            if (!value(v))
                return false;
            if (!ParseNumber(v, UINT32_MAX, arg == "--booting" ? o.booting : o.notReady)) {
                problem = arg + " wants a count";
                return false;
            }
        } else {
            problem = "unknown option " + arg;
            return false;
        }
    }
    return true;
}

}  // namespace rookd
