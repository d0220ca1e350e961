// The machine-hive entry that maps the server class to the bus name of this server:
// HKLM\Software\Classes\CLSID\{12C7B830-17F3-11CE-93E6-0020AF425641}, REG_SZ "BusName".
#pragma once

#include <string>

namespace rookd {

// False when the machine hive cannot be written.
bool RegisterServer(const std::string& busName, std::string* problem = nullptr);

}  // namespace rookd
