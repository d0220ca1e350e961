// `micctl journal`: the journal database read directly, read-only, also while mic runs.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace mic::journal {

// `args` are the words after "journal". Returns the exit code: 0 rows written (possibly none),
// 1 the journal cannot be read, 2 a usage error.
int RunJournalCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace mic::journal
