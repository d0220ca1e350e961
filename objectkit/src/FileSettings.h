// Registry values read by the file, EDL and conform code of objectkit.
#pragma once

#include <cstdint>
#include <string>

namespace objectkit::files {

// A number under HKEY_LOCAL_MACHINE, read through the console's registry classes; the default
// when the key or value is missing or holds no number.
uint32_t ReadMachineDword(const char* keyPath, const char* name, uint32_t defaultValue);

// "CompressedAuto" under "SOFTWARE\KESTANE\ROOKSERVER", default 1.
bool ReadCompressedAuto();

// The console's data directory: $KESTANE_DATA_DIR, else /var/lib/kestane/vantor.
std::string DataDirectory();

}  // namespace objectkit::files
