#include <platform/registry.h>
#include <pthread.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>

#include "HiveStore.h"
#include "KeyPath.h"

namespace platform::registry {

using detail::foldCase;
using detail::HiveStore;
using detail::joinPath;
using detail::splitKeyPath;

class KeyImpl {
  public:
    KeyImpl(Hive h, std::string p, std::string lp)
        : hive(h), path(std::move(p)), lpath(std::move(lp)) {}
    static Key make(Hive hive, std::string path, std::string lpath) {
        return Key(std::make_shared<KeyImpl>(hive, std::move(path), std::move(lpath)));
    }
    static const KeyImpl* of(const Key& key) { return key.impl_.get(); }

    Hive hive;
    std::string path;   // as spelled when the key was created
    std::string lpath;  // case-folded, the identity of the key
};

namespace {

std::string envOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::string(value) : fallback;
}

std::string homeDirectory() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return home;
    }
    if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr) {
        return pw->pw_dir;
    }
    return "/tmp";
}

const char* hiveTag(Hive hive) {
    return hive == Hive::LocalMachine ? "machine" : "user";
}

std::string hiveFile(Hive hive) {
    std::string dir = envOr("KESTANE_REGISTRY_DIR", "");
    if (!dir.empty()) {
        return dir + "/" + hiveTag(hive) + ".db";
    }
    if (hive == Hive::LocalMachine) {
        return "/var/lib/kestane/registry/machine.db";
    }
    return envOr("XDG_CONFIG_HOME", homeDirectory() + "/.config") + "/kestane/registry/user.db";
}

// Without $XDG_RUNTIME_DIR the volatile keys go to a directory of our own under /tmp. Anyone
// can make names there, so use it only when it is a real directory that we own and nobody
// else can enter; otherwise there are no volatile keys (empty path).
std::string privateTmpDirectory() {
    std::string dir = "/tmp/kestane-runtime-" + std::to_string(getuid());
    ::mkdir(dir.c_str(), 0700);
    struct stat st {};
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid() ||
        (st.st_mode & 077) != 0) {
        return {};
    }
    return dir;
}

std::string volatileFile(Hive hive) {
    std::string dir = envOr("KESTANE_REGISTRY_DIR", "");
    if (!dir.empty()) {
        dir += "/volatile";
    } else {
        dir = envOr("XDG_RUNTIME_DIR", "");
        if (dir.empty() && (dir = privateTmpDirectory()).empty()) {
            return {};
        }
        dir += "/kestane";
    }
    return dir + "/volatile-" + hiveTag(hive) + ".db";
}

// The databases of one hive in this process. One mutex serialises every call on the hive:
// a SQLite connection must not run two transactions at once.
struct HiveState {
    std::mutex mutex;
    bool opened = false;
    HiveStore persistent;
    HiveStore volatileKeys;

    // Opens on first use, and again after a failure (the file may have been repaired).
    Status ensureOpen(Hive hive) {
        if (opened && persistent.status() == Status::Ok) {
            return Status::Ok;
        }
        opened = true;
        persistent.open(hiveFile(hive));
        if (persistent.status() == Status::Ok && !volatileKeys.usable()) {
            // Volatile keys are a convenience: when their store cannot be opened they are
            // simply absent, and creating one fails.
            if (std::string file = volatileFile(hive); !file.empty()) {
                volatileKeys.open(file);
            }
        }
        return persistent.status();
    }

    // Finds a key by its case-folded path: in the hive, else among the volatile keys.
    Status lookup(const std::string& lpath, bool& isVolatile, std::string* spelled) {
        isVolatile = false;
        if (lpath.empty()) {
            if (spelled != nullptr) {
                spelled->clear();
            }
            return Status::Ok;
        }
        Status s = persistent.findKey(lpath, spelled);
        if (s != Status::NotFound) {
            return s;
        }
        if (volatileKeys.usable() && volatileKeys.findKey(lpath, spelled) == Status::Ok) {
            isVolatile = true;
            return Status::Ok;
        }
        return Status::NotFound;
    }

    HiveStore& storeFor(bool isVolatile) { return isVolatile ? volatileKeys : persistent; }
};

HiveState g_hives[2];

HiveState& stateOf(Hive hive) {
    return g_hives[hive == Hive::LocalMachine ? 0 : 1];
}

// A child of fork() must not use the parent's SQLite connections: it opens its own.
void registerForkHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        pthread_atfork(
            [] {
                g_hives[0].mutex.lock();
                g_hives[1].mutex.lock();
            },
            [] {
                g_hives[1].mutex.unlock();
                g_hives[0].mutex.unlock();
            },
            [] {
                for (HiveState& state : g_hives) {
                    state.persistent.abandon();
                    state.volatileKeys.abandon();
                    state.opened = false;
                }
                g_hives[1].mutex.unlock();
                g_hives[0].mutex.unlock();
            });
    });
}

// Checks a call's key and arguments, then locks the hive of the key, opens it and checks that
// the key still exists. An invalid key or bad arguments fail before the hive is touched.
class HiveCall {
  public:
    explicit HiveCall(const KeyImpl* key, Status arguments = Status::Ok) {
        if (key == nullptr) {
            status_ = Status::InvalidPath;
            return;
        }
        if (arguments != Status::Ok) {
            status_ = arguments;
            return;
        }
        state_ = &stateOf(key->hive);
        registerForkHandlers();
        lock_ = std::unique_lock(state_->mutex);
        status_ = state_->ensureOpen(key->hive);
        if (status_ == Status::Ok) {
            status_ = state_->lookup(key->lpath, isVolatile_, nullptr);
        }
    }
    Status status() const { return status_; }
    bool isVolatile() const { return isVolatile_; }
    HiveState& state() { return *state_; }
    HiveStore& store() { return state_->storeFor(isVolatile_); }

  private:
    HiveState* state_ = nullptr;
    std::unique_lock<std::mutex> lock_;
    Status status_ = Status::IoError;
    bool isVolatile_ = false;
};

// The case-folded path of a key below `lpath`.
std::string descendant(std::string lpath, const std::vector<std::string_view>& parts) {
    for (std::string_view part : parts) {
        lpath = joinPath(lpath, foldCase(part));
    }
    return lpath;
}

// An enumerated name that does not fit the callers' buffer ends the enumeration.
Status checkEnumName(Status found, const std::string& name) {
    return found == Status::Ok && name.size() >= kEnumNameBuffer ? Status::MoreData : found;
}

bool keptType(ValueType type) {
    switch (type) {
        case REG_NONE:
        case REG_SZ:
        case REG_EXPAND_SZ:
        case REG_BINARY:
        case REG_DWORD:
        case REG_MULTI_SZ:
            return true;
    }
    return false;
}

}  // namespace

const char* describe(Status status) {
    switch (status) {
        case Status::Ok:
            return "success";
        case Status::NotFound:
            return "not found";
        case Status::InvalidPath:
            return "invalid key path or name";
        case Status::MoreData:
            return "name too long for the enumeration buffer";
        case Status::AccessDenied:
            return "access denied (hive cannot be written)";
        case Status::InvalidType:
            return "unsupported value type";
        case Status::Corrupt:
            return "hive file is not a registry database";
        case Status::IoError:
            return "input/output error";
    }
    return "unknown error";
}

Key Key::root(Hive hive) {
    return KeyImpl::make(hive, "", "");
}

Hive Key::hive() const {
    return impl_ ? impl_->hive : Hive::LocalMachine;
}

std::string Key::path() const {
    return impl_ ? impl_->path : std::string();
}

Status Key::open(std::string_view subpath, Key& out) const {
    std::vector<std::string_view> parts;
    HiveCall call(impl_.get(), splitKeyPath(subpath, parts));
    if (call.status() != Status::Ok) {
        return call.status();
    }
    std::string lpath = descendant(impl_->lpath, parts);
    std::string spelled;
    bool isVolatile = false;
    if (Status s = call.state().lookup(lpath, isVolatile, &spelled); s != Status::Ok) {
        return s;
    }
    out = KeyImpl::make(impl_->hive, std::move(spelled), std::move(lpath));
    return Status::Ok;
}

Status Key::create(std::string_view subpath, Key& out, bool isVolatile, bool* created) const {
    if (created != nullptr) {
        *created = false;
    }
    std::vector<std::string_view> parts;
    HiveCall call(impl_.get(), splitKeyPath(subpath, parts));
    if (call.status() != Status::Ok) {
        return call.status();
    }
    std::string lpath = impl_->lpath;
    std::string path = impl_->path;
    bool parentVolatile = call.isVolatile();
    std::vector<HiveStore::NewKey> missing;
    for (std::string_view part : parts) {
        std::string childL = joinPath(lpath, foldCase(part));
        if (missing.empty()) {
            std::string spelled;
            bool childVolatile = false;
            Status s = call.state().lookup(childL, childVolatile, &spelled);
            if (s == Status::Ok) {
                lpath = std::move(childL);
                path = std::move(spelled);
                parentVolatile = childVolatile;
                continue;
            }
            if (s != Status::NotFound) {
                return s;
            }
        }
        std::string childPath = joinPath(path, part);
        missing.push_back({childL, childPath, lpath, std::string(part)});
        lpath = std::move(childL);
        path = std::move(childPath);
    }
    if (!missing.empty()) {
        // Keys below a volatile key are volatile too, so that none outlives its parent.
        bool makeVolatile = isVolatile || parentVolatile;
        HiveStore& store = call.state().storeFor(makeVolatile);
        if (makeVolatile && !store.usable()) {
            return Status::IoError;
        }
        if (Status s = store.insertKeys(missing, created); s != Status::Ok) {
            return s;
        }
        // Another process may have made the key first; report the spelling that was kept.
        bool dummy = false;
        call.state().lookup(lpath, dummy, &path);
    }
    out = KeyImpl::make(impl_->hive, std::move(path), std::move(lpath));
    return Status::Ok;
}

Status Key::query(std::string_view name, Value& out) const {
    HiveCall call(impl_.get(), detail::checkValueName(name));
    if (call.status() != Status::Ok) {
        return call.status();
    }
    return call.store().queryValue(impl_->lpath, foldCase(name), out);
}

Status Key::set(std::string_view name, ValueType type, std::span<const uint8_t> data) const {
    Status arguments = detail::checkValueName(name);
    if (arguments == Status::Ok && !keptType(type)) {
        arguments = Status::InvalidType;
    }
    HiveCall call(impl_.get(), arguments);
    if (call.status() != Status::Ok) {
        return call.status();
    }
    return call.store().setValue(impl_->lpath, !impl_->lpath.empty(), foldCase(name),
                                 std::string(name), type, data.data(), data.size());
}

Status Key::deleteValue(std::string_view name) const {
    HiveCall call(impl_.get(), detail::checkValueName(name));
    if (call.status() != Status::Ok) {
        return call.status();
    }
    return call.store().deleteValue(impl_->lpath, foldCase(name));
}

Status Key::deleteTree(std::string_view subpath) const {
    std::vector<std::string_view> parts;
    Status arguments = splitKeyPath(subpath, parts);
    if (arguments == Status::Ok && parts.empty()) {
        arguments = Status::InvalidPath;
    }
    HiveCall call(impl_.get(), arguments);
    if (call.status() != Status::Ok) {
        return call.status();
    }
    std::string lpath = descendant(impl_->lpath, parts);
    bool targetVolatile = false;
    if (Status s = call.state().lookup(lpath, targetVolatile, nullptr); s != Status::Ok) {
        return s;
    }
    if (!targetVolatile && call.state().persistent.readOnly()) {
        return Status::AccessDenied;  // before touching the volatile keys below it
    }
    // Volatile descendants first: a crash between the two leaves a smaller but whole tree,
    // never a volatile key whose persistent parent is gone.
    if (call.state().volatileKeys.usable()) {
        if (Status s = call.state().volatileKeys.deleteTree(lpath); s != Status::Ok) {
            return s;
        }
    }
    if (!targetVolatile) {
        return call.state().persistent.deleteTree(lpath);
    }
    return Status::Ok;
}

Status Key::enumKey(uint32_t index, std::string& name) const {
    HiveCall call(impl_.get());
    if (call.status() != Status::Ok) {
        return call.status();
    }
    HiveStore& persistent = call.state().persistent;
    HiveStore& vol = call.state().volatileKeys;
    int64_t volCount = 0;
    if (vol.usable()) {
        vol.childCount(impl_->lpath, volCount);
    }
    Status s;
    if (volCount == 0) {
        s = persistent.childAt(impl_->lpath, index, name);
    } else {
        // Keys of both stores, merged in the order they were made.
        std::vector<detail::NamedEntry> all, more;
        if ((s = persistent.children(impl_->lpath, all)) != Status::Ok ||
            (s = vol.children(impl_->lpath, more)) != Status::Ok) {
            return s;
        }
        all.insert(all.end(), more.begin(), more.end());
        std::stable_sort(all.begin(), all.end(),
                         [](const auto& a, const auto& b) { return a.seq < b.seq; });
        if (index >= all.size()) {
            return Status::NotFound;
        }
        name = all[index].name;
        s = Status::Ok;
    }
    return checkEnumName(s, name);
}

Status Key::enumValue(uint32_t index, std::string& name) const {
    HiveCall call(impl_.get());
    if (call.status() != Status::Ok) {
        return call.status();
    }
    return checkEnumName(call.store().valueAt(impl_->lpath, index, name), name);
}

Status setString(const Key& key, std::string_view name, std::string_view text, ValueType type) {
    std::vector<uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    return key.set(name, type, data);
}

Status setDword(const Key& key, std::string_view name, uint32_t value) {
    const uint8_t data[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                             static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    return key.set(name, REG_DWORD, data);
}

void resetForTests() {
    for (HiveState& state : g_hives) {
        std::lock_guard lock(state.mutex);
        state.persistent.close();
        state.volatileKeys.close();
        state.opened = false;
    }
}

}  // namespace platform::registry
