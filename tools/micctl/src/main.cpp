// micctl: the command-line client of mic's remote control.
#include <iostream>
#include <string>
#include <vector>

#include "Subcommand.h"
#include "mic/journal/JournalCommand.h"

namespace {

// One line per subcommand; a new one is one more entry.
const micctl::Subcommand kSubcommands[] = {
    {"get", "get ADDRESS...            read values (replies print one per line)", micctl::RunGet},
    {"set", "set ADDRESS VALUE         set a value through the operator rules", micctl::RunSet},
    {"watch",
     "watch [--for S] [--count N] [--lease S]\n"
     "                            subscribe and print every change until interrupted",
     micctl::RunWatch},
    {"dump", "dump                      every rack and channel as JSON", micctl::RunDump},
    {"journal",
     "journal [--csv] [--since T] [--until T] [--rack N] [--channel N] [--source S] [--db F]\n"
     "                            the change journal, read from its database (micctl journal\n"
     "                            --help tells more); needs no running mic",
     mic::journal::RunJournalCommand},
};

void Usage(std::ostream& out) {
    out << "Usage: micctl COMMAND [--host H] [--port P] [--timeout MS] [ARGUMENTS]\n"
           "Reads and sets mic's racks and channels through its remote control (OSC over UDP).\n"
           "Except for journal, mic must run with the remote control on (profile value\n"
           "\"OSC Enabled\" = 1, or mic --osc PORT).\n\n"
           "Commands:\n";
    for (const micctl::Subcommand& c : kSubcommands)
        out << "  " << c.usage << "\n";
    out << "\nOptions (after the command):\n"
           "  --host H      mic's host (default 127.0.0.1)\n"
           "  --port P      mic's remote-control port (default 7770)\n"
           "  --timeout MS  how long to wait for each answer (default 2000)\n\n"
           "ADDRESS is an OSC address (/mic/rack/1/channel/3/gain) or its short form\n"
           "RACK/CHANNEL/FIELD (1/3/gain) or RACK/online, RACK/version; racks 1-16, channels\n"
           "1-12; fields gain (dB, 20-70), phantom, phase, pad, direct (on/off), name, console.\n\n"
           "Exit codes: 0 done; 1 mic refused or reported an error; 2 wrong command line;\n"
           "3 no answer from mic; 4 local failure (name resolution, socket).\n";
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> all(argv + 1, argv + argc);
    if (all.empty()) {
        Usage(std::cerr);
        return micctl::kExitUsage;
    }
    if (all[0] == "--help" || all[0] == "-h" || all[0] == "help") {
        Usage(std::cout);
        return micctl::kExitOk;
    }
    for (const micctl::Subcommand& c : kSubcommands) {
        if (all[0] == c.name)
            return c.run({all.begin() + 1, all.end()}, std::cout, std::cerr);
    }
    std::cerr << "micctl: unknown command '" << all[0] << "' (micctl --help lists them)\n";
    return micctl::kExitUsage;
}
