// rookd's command line.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "Blocks.h"

namespace rookd {

struct Options {
    std::string bus;  // "", "session", "system" or an address
    std::string busName = "org.kestane.RookServer";
    bool registerClass = false;
    bool registerOnly = false;
    std::vector<std::pair<std::string, std::string>> images;  // object, file
    std::vector<std::pair<int, MicLineFields>> micLines;
    uint32_t notReady = 0;
    uint32_t booting = 0;
    bool help = false;
};

extern const char kUsage[];

// False with `problem` set for a command line it does not understand.
bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& problem);
// "P,PAD,GAIN,SELECT", each 0-255.
bool ParseMicLineFields(const std::string& text, MicLineFields& fields);
bool ParseNumber(const std::string& text, uint32_t max, uint32_t& value);

}  // namespace rookd
