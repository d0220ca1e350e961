// What the remote-control commands of micctl share: their options, the short form of
// addresses, typed values for sets, and the printing of replies.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Subcommand.h"
#include "mic/osc/OscMessage.h"

namespace micctl {

struct Connection {
    std::string host = "127.0.0.1";
    uint16_t port = 7770;
    int timeoutMs = 2000;
};

// Takes --host, --port and --timeout out of `args`, leaving the rest in `rest`, and numeric
// options named in `numbers` (e.g. "--count") in `values`. False with `error` when an option
// lacks its value or the value is wrong.
bool ParseOptions(const Args& args, Connection& connection, Args& rest, std::string& error,
                  const std::vector<std::string>& numbers = {},
                  std::vector<std::pair<std::string, long>>* values = nullptr);

// "1/3/gain" -> "/mic/rack/1/channel/3/gain", "2/online" -> "/mic/rack/2/online"; an address
// beginning with '/' is taken as it is. Nothing when the result is not an address of mic.
std::optional<std::string> ExpandAddress(const std::string& text);

// The argument of a set of `address`: gain in dB ("45", "45dB"), switches on/off/1/0/true/
// false, names as they are. False with `error` for a value the field cannot take or an address
// that cannot be set.
bool SetValue(const std::string& address, const std::string& text, mic::osc::OscValue& value,
              std::string& error);

// A value as micctl prints it: numbers plainly, texts as they are.
std::string ValueText(const mic::osc::OscValue& value);
// A JSON string literal.
std::string JsonString(const std::string& text);

}  // namespace micctl
