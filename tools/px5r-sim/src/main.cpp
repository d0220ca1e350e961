// px5r-sim: simulated PX5R racks on a pseudo-terminal, driven from stdin.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>

#include "px5r/Simulator.h"

namespace {

const char* kUsage =
    "Usage: px5r-sim [--racks N] [--wire-time] [--delay US] [--seed N] [--link PATH]\n"
    "\n"
    "Simulated PX5R pre-amp racks on a pseudo-terminal. Prints the pty device path on the\n"
    "first line of output; open that path as the serial device (for mic, set the device of\n"
    "the COM port in the machine hive, see the README of tools/px5r-sim).\n"
    "\n"
    "Options:\n"
    "  --racks N      racks 0..N-1 are on the line at start (default 1, at most 16)\n"
    "  --wire-time    pace echo and answers at 19200 baud (about 520 us per byte)\n"
    "  --delay US     answer delay of every rack in microseconds (default 0)\n"
    "  --seed N       seed of the noise and drop randomness\n"
    "  --link PATH    also make PATH a symbolic link to the pty device\n"
    "  --help         this text\n"
    "\n"
    "Commands on stdin (racks and channels count from 0; values may be hex with 0x):\n"
    "  panel R C SETTING [ASSIGN [DIRECT [STATUS]]]\n"
    "                 front-panel change: the rack's next poll answers ACK with data\n"
    "  leave R        rack R leaves the line (answers nothing)\n"
    "  join R         rack R rejoins the line with the state it had\n"
    "  drop R|all N   drop the next N answers of rack R (or of any rack)\n"
    "  droprate P     drop each answer with probability P (0-1)\n"
    "  badsum R|all N the next N data blocks or version texts carry a bad checksum\n"
    "  noise N        write N random bytes below 0x80 onto the line now\n"
    "  noiserate P    after each answer add a noise byte with probability P (0-1)\n"
    "  delay US       answer delay in microseconds\n"
    "  wire on|off    wire-time pacing\n"
    "  echoprobe on|off  echo the probe byte 0xAA (a foreign device on the port)\n"
    "  show R         print the state of rack R\n"
    "  stats          print line counters\n"
    "  quit           stop (also at end of input)\n";

long Number(const std::string& text) {
    return std::strtol(text.c_str(), nullptr, 0);
}

int RackArg(const std::string& text) {
    return text == "all" ? -1 : static_cast<int>(Number(text));
}

void Show(const px5r::Simulator& sim, int rack) {
    px5r::RackState rs = sim.Rack(rack);
    std::printf("rack %d %s%s version \"%s\"\n", rack, rs.present ? "present" : "absent",
                rs.pendingData ? " pending-data" : "", rs.version.c_str());
    for (int c = 0; c < px5r::kChannels; ++c) {
        const auto& ch = rs.channels[c];
        std::printf("  ch %2d setting 0x%02x assign 0x%02x direct %d status %d\n", c, ch.setting,
                    ch.assignment, ch.directSwitch, ch.status);
    }
}

}  // namespace

int main(int argc, char** argv) {
    px5r::SimOptions options;
    std::string link;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "px5r-sim: %s needs a value\n", arg.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--racks") {
            options.racks = static_cast<int>(Number(value()));
        } else if (arg == "--wire-time") {
            options.wireTime = true;
        } else if (arg == "--delay") {
            options.answerDelayUs = static_cast<uint32_t>(Number(value()));
        } else if (arg == "--seed") {
            options.seed = static_cast<uint64_t>(Number(value()));
        } else if (arg == "--link") {
            link = value();
        } else {
            std::fprintf(stderr, "px5r-sim: unknown option %s\n%s", arg.c_str(), kUsage);
            return 2;
        }
    }
    if (options.racks < 0 || options.racks > px5r::kRacks) {
        std::fprintf(stderr, "px5r-sim: --racks must be 0-16\n");
        return 2;
    }
    px5r::Simulator sim(options);
    if (!sim.Start()) {
        std::fprintf(stderr, "px5r-sim: cannot open a pseudo-terminal: %s\n", std::strerror(errno));
        return 1;
    }
    if (!link.empty()) {
        ::unlink(link.c_str());
        if (::symlink(sim.SlavePath().c_str(), link.c_str()) != 0) {
            std::fprintf(stderr, "px5r-sim: cannot link %s: %s\n", link.c_str(),
                         std::strerror(errno));
        }
    }
    std::printf("%s\n", sim.SlavePath().c_str());
    std::fflush(stdout);

    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream in(line);
        std::string cmd, a, b, c, d, e, f;
        in >> cmd >> a >> b >> c >> d >> e >> f;
        if (cmd.empty() || cmd[0] == '#') {
            continue;
        }
        if (cmd == "quit") {
            break;
        } else if (cmd == "panel" && !c.empty()) {
            int rack = static_cast<int>(Number(a));
            int channel = static_cast<int>(Number(b));
            px5r::ChannelState st = sim.Rack(rack).channels[channel % px5r::kChannels];
            st.setting = static_cast<uint8_t>(Number(c) & 0x7F);
            if (!d.empty())
                st.assignment = static_cast<uint8_t>(Number(d) & 0x7F);
            if (!e.empty())
                st.directSwitch = static_cast<uint8_t>(Number(e) & 1);
            if (!f.empty())
                st.status = static_cast<uint8_t>(Number(f) & 0x0F);
            sim.FrontPanel(rack, channel, st);
        } else if (cmd == "leave" && !a.empty()) {
            sim.SetPresent(static_cast<int>(Number(a)), false);
        } else if (cmd == "join" && !a.empty()) {
            sim.SetPresent(static_cast<int>(Number(a)), true);
        } else if (cmd == "drop" && !b.empty()) {
            sim.DropAnswers(RackArg(a), static_cast<int>(Number(b)));
        } else if (cmd == "droprate" && !a.empty()) {
            sim.SetDropRate(std::strtod(a.c_str(), nullptr));
        } else if (cmd == "badsum" && !b.empty()) {
            sim.CorruptChecksums(RackArg(a), static_cast<int>(Number(b)));
        } else if (cmd == "noise" && !a.empty()) {
            sim.InjectNoise(static_cast<int>(Number(a)));
        } else if (cmd == "noiserate" && !a.empty()) {
            sim.SetNoiseRate(std::strtod(a.c_str(), nullptr));
        } else if (cmd == "delay" && !a.empty()) {
            sim.SetAnswerDelayUs(static_cast<uint32_t>(Number(a)));
        } else if (cmd == "wire" && !a.empty()) {
            sim.SetWireTime(a == "on");
        } else if (cmd == "echoprobe" && !a.empty()) {
            sim.SetEchoProbe(a == "on");
        } else if (cmd == "show" && !a.empty()) {
            Show(sim, static_cast<int>(Number(a)));
        } else if (cmd == "stats") {
            px5r::SimStats s = sim.Stats();
            std::printf(
                "bytes %llu frames %llu polls %llu set-channel %llu set-direct %llu data %llu "
                "version %llu answers %llu dropped %llu nak %llu noise %llu probes %llu\n",
                (unsigned long long)s.bytesReceived, (unsigned long long)s.framesReceived,
                (unsigned long long)s.polls, (unsigned long long)s.setChannels,
                (unsigned long long)s.setDirects, (unsigned long long)s.dataRequests,
                (unsigned long long)s.versionRequests, (unsigned long long)s.answersSent,
                (unsigned long long)s.answersDropped, (unsigned long long)s.naks,
                (unsigned long long)s.noiseBytes, (unsigned long long)s.probesSeen);
        } else {
            std::printf("? %s (see --help)\n", line.c_str());
        }
        std::fflush(stdout);
    }
    sim.Stop();
    if (!link.empty()) {
        ::unlink(link.c_str());
    }
    return 0;
}
