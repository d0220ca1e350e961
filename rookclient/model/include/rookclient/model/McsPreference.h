// The user's machine control preference: may the timecode and video tracks of a machine be
// armed for recording. Kept in the current user's registry.
#pragma once

namespace rookclient::model {

// False when the key or the value is missing (or is not a 32-bit number).
bool CanRecordToTCAndVideoTracks();
// Stores the preference as 0 or 1; false when the registry refused it.
bool EnableRecordToTCAndVideoTracks(bool allow);

}  // namespace rookclient::model
