// Gives each test its own hive directory and volatile directory, and forgets the databases
// of the previous test.
#pragma once

#include <string>

namespace platform::registry::testing {

class TempRegistry {
  public:
    TempRegistry();
    ~TempRegistry();
    TempRegistry(const TempRegistry&) = delete;
    TempRegistry& operator=(const TempRegistry&) = delete;

    const std::string& dir() const { return dir_; }
    std::string machineHiveFile() const { return dir_ + "/machine.db"; }

  private:
    std::string dir_;
};

}  // namespace platform::registry::testing
