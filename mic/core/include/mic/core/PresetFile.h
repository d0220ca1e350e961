// ".mic" preset and snapshot files: 5008 bytes, no header, little-endian; tables ordered by
// rack and channel. Saving goes to a temporary file in the same directory that is renamed into
// place, so a crash mid-save leaves the previous file whole; loading opens read-only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "mic/core/PreampState.h"

namespace mic {

inline constexpr size_t kPresetFileSize = 5008;
inline constexpr size_t kOffAssignments = 0;
inline constexpr size_t kOffSettings = 768;
inline constexpr size_t kOffDirect = 1536;
inline constexpr size_t kOffSequential = 2304;
inline constexpr size_t kOffNames = 2320;
inline constexpr size_t kOffNameShown = 4816;
inline constexpr const char* kSnapshotName = "RestoreSnapshot.mic";

// Any thread (touches only its arguments). Writes the whole state; false when nothing could
// be written (the previous file, if any, is untouched).
bool SavePresetFile(const std::string& path, const PreampState& state);
// Any thread. Reads the whole state (rack -1) or one rack's part of every table; a short file
// leaves the unread part as it was; extra bytes past 5008 are ignored. False when the file
// cannot be opened.
bool LoadPresetFile(const std::string& path, PreampState& state, int rack);
// Same as LoadPresetFile on bytes already in memory (the fuzzer uses it).
void LoadPresetBytes(const uint8_t* data, size_t size, PreampState& state, int rack);

// The machine state directory: $KESTANE_STATE_DIR, else /var/lib/kestane/mic when this user
// may write it, else $XDG_STATE_HOME/kestane/mic (~/.local/state/kestane/mic).
std::string StateDirectory();
// StateDirectory() + "/RestoreSnapshot.mic".
std::string DefaultSnapshotPath();
// The file's name without its directory (the title shown in the window).
std::string FileTitle(const std::string& path);

inline constexpr const char* kTitleBase = "Kestane plc PX5R Remote Mic Pre-Amp Controller";
inline constexpr const char* kTitleInitial = "Remote Microphone Amplifier Control";

}  // namespace mic
