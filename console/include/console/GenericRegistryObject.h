// Small utility classes through which the system reads and writes registry values.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <platform/registry.h>

// A rectangle as the console's programs store it: left, top, right, bottom.
struct CRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    bool operator==(const CRect&) const = default;
};

// Every operation takes a key path relative to the root key and opens and closes the key
// within the call. Reads start from the caller's default and leave it in place on failure.
class CGenericRegistryObject {
  public:
    using Key = platform::registry::Key;

    CGenericRegistryObject() = default;
    virtual ~CGenericRegistryObject();

    void SetRootKey(const Key& key) { rootKey_ = key; }
    const Key& RootKey() const { return rootKey_; }

    bool KeyExists(std::string_view path) const;
    bool ValueExists(std::string_view path, std::string_view name) const;

    bool ReadString(std::string_view path, std::string_view name, std::string& result,
                    std::string_view defaultValue) const;
    bool ReadNumber(std::string_view path, std::string_view name, uint32_t& result,
                    uint32_t defaultValue) const;
    bool ReadNumber(std::string_view path, std::string_view name, int32_t& result,
                    int32_t defaultValue) const;
    bool ReadByte(std::string_view path, std::string_view name, uint8_t& result,
                  uint8_t defaultValue) const;
    bool ReadBool(std::string_view path, std::string_view name, bool& result,
                  bool defaultValue) const;
    // buffer is left empty when the value is absent, empty or unreadable.
    bool ReadBinary(std::string_view path, std::string_view name,
                    std::vector<uint8_t>& buffer) const;
    bool ReadStringList(std::string_view path, std::string_view name,
                        std::vector<std::string>& list) const;
    bool ReadRect(std::string_view path, std::string_view name, CRect& rect,
                  const CRect& defaultValue) const;

    bool WriteString(std::string_view path, std::string_view name, std::string_view text) const;
    bool WriteNumber(std::string_view path, std::string_view name, uint32_t value) const;
    bool WriteByte(std::string_view path, std::string_view name, uint8_t value) const;
    bool WriteBool(std::string_view path, std::string_view name, bool value) const;
    bool WriteBinary(std::string_view path, std::string_view name, const void* bytes,
                     size_t size) const;
    bool WriteRect(std::string_view path, std::string_view name, const CRect& rect) const;

    bool DeleteValue(std::string_view path, std::string_view name) const;
    // Deletes the key with all its subkeys. Returns false in every case, as callers expect.
    bool DeleteKey(std::string_view path) const;

    int EnumKeys(std::string_view path, std::vector<std::string>& list) const;
    int EnumValues(std::string_view path, std::vector<std::string>& list) const;

  protected:
    Key rootKey_;  // invalid until set
    Key heldKey_;  // a key this object owns
};

// Resolves every path under the local machine hive. A non-empty machine name asks for another
// machine's registry, which cannot be reached here: the local hive stays, as after a failed
// connection.
class CLocalMachineRegistryObject : public CGenericRegistryObject {
  public:
    explicit CLocalMachineRegistryObject(std::string_view machineName = {});
    ~CLocalMachineRegistryObject() override;
};

// Resolves every path under the current user's hive (profile settings of the programs).
class CCurrentUserRegistryObject : public CGenericRegistryObject {
  public:
    CCurrentUserRegistryObject();
};
