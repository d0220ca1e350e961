// The registry stand-in: typed values under backslash-separated, case-insensitive key paths,
// kept in one SQLite database per hive. Two persistent hives (local machine, current user) and
// volatile keys, which live in a database under $XDG_RUNTIME_DIR and so vanish at log-off.
//
// Hive files: $KESTANE_REGISTRY_DIR/machine.db and user.db when that variable is set (tests);
// otherwise /var/lib/kestane/registry/machine.db and $XDG_CONFIG_HOME/kestane/registry/user.db.
// Volatile keys: $XDG_RUNTIME_DIR/kestane/volatile-<hive>.db (or $KESTANE_REGISTRY_DIR/volatile
// when that is set, so that tests stay inside their own directory; without XDG_RUNTIME_DIR, a
// private /tmp/kestane-runtime-<uid> directory, used only when this user owns it alone).
// A hive in a location that cannot be written is read-only: reads work, writes give
// AccessDenied. A hive file that is not a registry database gives Corrupt and is never written.
//
// Every call is safe from any thread; several processes may use one hive at once.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform::registry {

// Value types, numbered as the console's programs number them.
enum ValueType : uint32_t {
    REG_NONE = 0,
    REG_SZ = 1,
    REG_EXPAND_SZ = 2,
    REG_BINARY = 3,
    REG_DWORD = 4,
    REG_MULTI_SZ = 7,
};

enum class Hive { LocalMachine, CurrentUser };

enum class Status {
    Ok,
    NotFound,      // key or value absent; also "no more items" from the enumerations
    InvalidPath,   // empty component, over-long component (>255), or control characters
    MoreData,      // an enumerated name does not fit the caller's limit
    AccessDenied,  // the hive cannot be written (read-only location)
    InvalidType,   // a value type this registry does not keep
    Corrupt,       // the hive file is not a registry database
    IoError,
};
const char* describe(Status status);

// The name limit of the enumerations: a name of this length or longer does not fit the
// 260-character buffer that callers enumerate into, and ends the enumeration.
inline constexpr size_t kEnumNameBuffer = 260;

struct Value {
    ValueType type = REG_NONE;
    std::vector<uint8_t> data;
};

class KeyImpl;

// An open key. Copyable (copies refer to the same key); a default-constructed Key is invalid.
class Key {
  public:
    Key() = default;
    // The root of a hive; always valid.
    static Key root(Hive hive);

    bool valid() const { return impl_ != nullptr; }
    Hive hive() const;
    // Full path from the hive root, as it was spelled when the key was created.
    std::string path() const;

    // Opens an existing subkey (an empty subpath opens this key again).
    Status open(std::string_view subpath, Key& out) const;
    // Opens or creates a subkey and its missing parents. A newly created key is volatile when
    // asked, and always when its parent is volatile (so that no key outlives its parent); an
    // existing key keeps what it is. `created` tells whether the key was made now.
    Status create(std::string_view subpath, Key& out, bool isVolatile = false,
                  bool* created = nullptr) const;

    Status query(std::string_view name, Value& out) const;
    Status set(std::string_view name, ValueType type, std::span<const uint8_t> data) const;
    Status deleteValue(std::string_view name) const;
    // Deletes the subkey with all of its subkeys and values (an empty subpath: InvalidPath,
    // a key cannot delete itself or the hive root).
    Status deleteTree(std::string_view subpath) const;

    // Names in index order (the order of creation); NotFound past the end, MoreData for a
    // name of kEnumNameBuffer characters or more.
    Status enumKey(uint32_t index, std::string& name) const;
    Status enumValue(uint32_t index, std::string& name) const;

  private:
    explicit Key(std::shared_ptr<KeyImpl> impl) : impl_(std::move(impl)) {}
    std::shared_ptr<KeyImpl> impl_;
    friend class KeyImpl;
};

// Convenience for the common value types.
Status setString(const Key& key, std::string_view name, std::string_view text,
                 ValueType type = REG_SZ);
Status setDword(const Key& key, std::string_view name, uint32_t value);

// Closes every database this process holds open (tests use it between hive directories).
void resetForTests();

}  // namespace platform::registry
