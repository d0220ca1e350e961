// Whether a rack holds what the controller shows for it, as found by reading the rack's data
// block back after a load, a restore or a reconnection.
#pragma once

#include <cstdint>

namespace mic {

enum class RackSync : uint8_t {
    Unknown = 0,  // not checked (checking is off, or the rack is off line): no mark
    InSync,       // the last read-back matched the controller
    Verifying,    // a read-back is due or under way
    Differs,      // the last read-back found values the controller does not hold
};

// What is done with a difference found by a read-back. The values are those of the profile
// key "Rack Mend".
enum class RackMend : uint8_t {
    Adopt = 0,   // the controller takes the rack's values, as it does with any data block
    Resend = 1,  // the controller's values are sent to the rack again
};

}  // namespace mic
