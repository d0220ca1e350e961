#include "HiveStore.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>

namespace platform::registry::detail {

namespace {

// Marks a database as a registry hive, so that any other SQLite file is refused, not altered.
constexpr int32_t kApplicationId = 0x4b524547;  // "KREG"

// Long enough for a burst of writers in other processes; short enough to fail visibly.
constexpr int kBusyTimeoutMs = 15000;

const char* const kSchema[] = {
    "CREATE TABLE keys(lpath TEXT PRIMARY KEY, path TEXT NOT NULL, parent TEXT NOT NULL,"
    " name TEXT NOT NULL, seq INTEGER NOT NULL)",
    "CREATE INDEX keys_by_parent ON keys(parent, seq)",
    "CREATE TABLE vals(lkey TEXT NOT NULL, lname TEXT NOT NULL, name TEXT NOT NULL,"
    " type INTEGER NOT NULL, data BLOB NOT NULL, seq INTEGER NOT NULL,"
    " PRIMARY KEY(lkey, lname))",
    "CREATE INDEX vals_by_key ON vals(lkey, seq)",
};

std::string immutableUri(const std::string& file) {
    std::string uri = "file:";
    for (unsigned char c : file) {
        if (c == '%' || c == '?' || c == '#' || c < 0x21 || c > 0x7e) {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", c);
            uri += buf;
        } else {
            uri += static_cast<char>(c);
        }
    }
    uri += "?immutable=1";
    return uri;
}

// The key range below `lpath`: every descendant starts with lpath + '\' and so sorts in
// [lpath + '\', lpath + ']') because ']' follows '\' in byte order.
std::pair<std::string, std::string> descendantRange(const std::string& lpath) {
    return {lpath + '\\', lpath + ']'};
}

void bindText(sqlite3_stmt* stmt, int index, const std::string& text) {
    sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

}  // namespace

int64_t nextSequence(int64_t last) {
    int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                      std::chrono::system_clock::now().time_since_epoch())
                      .count();
    return std::max(last + 1, now);
}

HiveStore::~HiveStore() {
    close();
}

void HiveStore::close() {
    for (auto& [sql, stmt] : statements_) {
        sqlite3_finalize(stmt);
    }
    statements_.clear();
    if (db_ != nullptr) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
    status_ = Status::IoError;
    readOnly_ = false;
}

void HiveStore::abandon() {
    statements_.clear();
    db_ = nullptr;
    status_ = Status::IoError;
    readOnly_ = false;
}

Status HiveStore::mapError(int rc) const {
    switch (rc & 0xff) {
        case SQLITE_OK:
        case SQLITE_DONE:
        case SQLITE_ROW:
            return Status::Ok;
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return Status::AccessDenied;
        case SQLITE_CANTOPEN:
            return readOnly_ ? Status::AccessDenied : Status::IoError;
        case SQLITE_NOTADB:
        case SQLITE_CORRUPT:
            return Status::Corrupt;
        default:
            return Status::IoError;
    }
}

Status HiveStore::prepare(const char* sql, sqlite3_stmt** stmt) {
    for (auto& [key, cached] : statements_) {
        if (key == sql) {
            sqlite3_reset(cached);
            sqlite3_clear_bindings(cached);
            *stmt = cached;
            return Status::Ok;
        }
    }
    int rc = sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, stmt, nullptr);
    if (rc != SQLITE_OK) {
        return mapError(rc);
    }
    statements_.emplace_back(sql, *stmt);
    return Status::Ok;
}

Status HiveStore::exec(const char* sql) {
    return mapError(sqlite3_exec(db_, sql, nullptr, nullptr, nullptr));
}

// IMMEDIATE takes the write lock at once (waiting through the busy timeout), so that two
// writers never both read and then both try to upgrade, which would fail one of them.
Status HiveStore::begin() {
    return exec("BEGIN IMMEDIATE");
}

Status HiveStore::commit() {
    Status s = exec("COMMIT");
    if (s != Status::Ok) {
        rollback();
    }
    return s;
}

void HiveStore::rollback() {
    if (sqlite3_get_autocommit(db_) == 0) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
}

Status HiveStore::open(const std::string& file) {
    close();
    std::error_code ec;
    std::filesystem::path fsPath(file);
    if (fsPath.has_parent_path()) {
        std::filesystem::create_directories(fsPath.parent_path(), ec);
    }

    int rc =
        sqlite3_open_v2(file.c_str(), &db_,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc == SQLITE_OK) {
        readOnly_ = sqlite3_db_readonly(db_, "main") == 1;
    } else {
        sqlite3_close_v2(db_);
        db_ = nullptr;
        readOnly_ = true;
        struct stat st {};
        if (::stat(file.c_str(), &st) != 0) {
            // Nothing to read and nowhere to write: an empty hive that refuses writes.
            status_ = Status::Ok;
            return status_;
        }
        rc = sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                             nullptr);
        if (rc != SQLITE_OK) {
            sqlite3_close_v2(db_);
            db_ = nullptr;
            status_ = Status::IoError;
            return status_;
        }
    }
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    sqlite3_extended_result_codes(db_, 1);

    auto probe = [this](int64_t& tables, int64_t& appId) {
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v2(db_, "SELECT count(*) FROM sqlite_master", -1, &stmt, nullptr);
        if (rc == SQLITE_OK) {
            rc = sqlite3_step(stmt);
            tables = sqlite3_column_int64(stmt, 0);
        }
        sqlite3_finalize(stmt);
        if (rc != SQLITE_ROW) {
            return rc;
        }
        stmt = nullptr;
        rc = sqlite3_prepare_v2(db_, "PRAGMA application_id", -1, &stmt, nullptr);
        if (rc == SQLITE_OK) {
            rc = sqlite3_step(stmt);
            appId = sqlite3_column_int64(stmt, 0);
        }
        sqlite3_finalize(stmt);
        return rc;
    };

    int64_t tables = 0;
    int64_t appId = 0;
    rc = probe(tables, appId);
    if (rc != SQLITE_ROW && readOnly_ && (rc & 0xff) != SQLITE_NOTADB &&
        (rc & 0xff) != SQLITE_CORRUPT) {
        // A WAL database in a directory we cannot write: SQLite cannot make its shared-memory
        // file (SQLITE_READONLY_CANTINIT or CANTOPEN), so read the file as it stands.
        sqlite3_close_v2(db_);
        db_ = nullptr;
        rc = sqlite3_open_v2(immutableUri(file).c_str(), &db_,
                             SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr);
        if (rc == SQLITE_OK) {
            rc = probe(tables, appId);
        }
    }
    if (rc != SQLITE_ROW) {
        status_ = mapError(rc);
        if (status_ == Status::Ok || status_ == Status::AccessDenied) {
            status_ = Status::IoError;
        }
        sqlite3_close_v2(db_);
        db_ = nullptr;
        return status_;
    }

    if (tables != 0 && appId != kApplicationId) {
        // Some other SQLite database: never write to it.
        sqlite3_close_v2(db_);
        db_ = nullptr;
        status_ = Status::Corrupt;
        return status_;
    }
    if (tables == 0 && readOnly_) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
        status_ = Status::Ok;
        return status_;
    }
    status_ = Status::Ok;
    if (!readOnly_) {
        // WAL lets readers and one writer in several processes work at once; NORMAL sync keeps
        // every commit atomic across a process crash.
        exec("PRAGMA journal_mode=WAL");
        exec("PRAGMA synchronous=NORMAL");
        if (tables == 0) {
            Status s = initialise();
            if (s != Status::Ok) {
                close();
                status_ = s;
                return s;
            }
        }
    }
    return status_;
}

Status HiveStore::initialise() {
    Status s = begin();
    if (s != Status::Ok) {
        return s;
    }
    // Another process may have made the schema while we waited for the write lock.
    sqlite3_stmt* stmt = nullptr;
    int64_t tables = 0;
    int rc = sqlite3_prepare_v2(db_, "SELECT count(*) FROM sqlite_master", -1, &stmt, nullptr);
    if (rc == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW) {
        tables = sqlite3_column_int64(stmt, 0);
    }
    sqlite3_finalize(stmt);
    if (tables == 0) {
        for (const char* sql : kSchema) {
            s = exec(sql);
            if (s != Status::Ok) {
                rollback();
                return s;
            }
        }
        char pragma[64];
        std::snprintf(pragma, sizeof pragma, "PRAGMA application_id=%d", kApplicationId);
        s = exec(pragma);
        if (s != Status::Ok) {
            rollback();
            return s;
        }
    }
    return commit();
}

Status HiveStore::findKey(const std::string& lpath, std::string* spelled) {
    if (db_ == nullptr) {
        return status_ == Status::Ok ? Status::NotFound : status_;
    }
    sqlite3_stmt* stmt = nullptr;
    Status s = prepare("SELECT path FROM keys WHERE lpath = ?1", &stmt);
    if (s != Status::Ok) {
        return s;
    }
    bindText(stmt, 1, lpath);
    int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) {
        if (spelled != nullptr) {
            auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
            spelled->assign(text ? text : "", sqlite3_column_bytes(stmt, 0));
        }
        sqlite3_reset(stmt);
        return Status::Ok;
    }
    sqlite3_reset(stmt);
    return rc == SQLITE_DONE ? Status::NotFound : mapError(rc);
}

Status HiveStore::insertKeys(const std::vector<NewKey>& keys, bool* lastCreated) {
    if (lastCreated != nullptr) {
        *lastCreated = false;
    }
    if (keys.empty()) {
        return Status::Ok;
    }
    if (db_ == nullptr || readOnly_) {
        return status_ == Status::Ok ? Status::AccessDenied : status_;
    }
    Status s = begin();
    if (s != Status::Ok) {
        return s;
    }
    for (size_t i = 0; i < keys.size(); ++i) {
        const NewKey& key = keys[i];
        sqlite3_stmt* stmt = nullptr;
        if ((s = prepare("SELECT coalesce(max(seq), 0) FROM keys WHERE parent = ?1", &stmt)) !=
            Status::Ok) {
            rollback();
            return s;
        }
        bindText(stmt, 1, key.parent);
        int rc = sqlite3_step(stmt);
        int64_t last = rc == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : 0;
        sqlite3_reset(stmt);
        if (rc != SQLITE_ROW) {
            rollback();
            return mapError(rc);
        }
        if ((s = prepare("INSERT OR IGNORE INTO keys(lpath, path, parent, name, seq)"
                         " VALUES(?1, ?2, ?3, ?4, ?5)",
                         &stmt)) != Status::Ok) {
            rollback();
            return s;
        }
        bindText(stmt, 1, key.lpath);
        bindText(stmt, 2, key.path);
        bindText(stmt, 3, key.parent);
        bindText(stmt, 4, key.name);
        sqlite3_bind_int64(stmt, 5, nextSequence(last));
        rc = sqlite3_step(stmt);
        sqlite3_reset(stmt);
        if (rc != SQLITE_DONE) {
            rollback();
            return mapError(rc);
        }
        if (i + 1 == keys.size() && lastCreated != nullptr) {
            *lastCreated = sqlite3_changes(db_) > 0;
        }
    }
    return commit();
}

Status HiveStore::deleteTree(const std::string& lpath) {
    if (db_ == nullptr || readOnly_) {
        return status_ == Status::Ok ? Status::AccessDenied : status_;
    }
    auto [low, high] = descendantRange(lpath);
    Status s = begin();
    if (s != Status::Ok) {
        return s;
    }
    const char* const statements[] = {
        "DELETE FROM keys WHERE lpath = ?1 OR (lpath >= ?2 AND lpath < ?3)",
        "DELETE FROM vals WHERE lkey = ?1 OR (lkey >= ?2 AND lkey < ?3)",
    };
    for (const char* sql : statements) {
        sqlite3_stmt* stmt = nullptr;
        if ((s = prepare(sql, &stmt)) != Status::Ok) {
            rollback();
            return s;
        }
        bindText(stmt, 1, lpath);
        bindText(stmt, 2, low);
        bindText(stmt, 3, high);
        int rc = sqlite3_step(stmt);
        sqlite3_reset(stmt);
        if (rc != SQLITE_DONE) {
            rollback();
            return mapError(rc);
        }
    }
    return commit();
}

Status HiveStore::childCount(const std::string& parent, int64_t& count) {
    count = 0;
    if (db_ == nullptr) {
        return status_ == Status::Ok ? Status::Ok : status_;
    }
    sqlite3_stmt* stmt = nullptr;
    Status s = prepare("SELECT count(*) FROM keys WHERE parent = ?1", &stmt);
    if (s != Status::Ok) {
        return s;
    }
    bindText(stmt, 1, parent);
    int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) {
        count = sqlite3_column_int64(stmt, 0);
    }
    sqlite3_reset(stmt);
    return rc == SQLITE_ROW ? Status::Ok : mapError(rc);
}

Status HiveStore::children(const std::string& parent, std::vector<NamedEntry>& out) {
    out.clear();
    if (db_ == nullptr) {
        return status_ == Status::Ok ? Status::Ok : status_;
    }
    sqlite3_stmt* stmt = nullptr;
    Status s = prepare("SELECT name, seq FROM keys WHERE parent = ?1 ORDER BY seq", &stmt);
    if (s != Status::Ok) {
        return s;
    }
    bindText(stmt, 1, parent);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        out.push_back({std::string(text ? text : "", sqlite3_column_bytes(stmt, 0)),
                       sqlite3_column_int64(stmt, 1)});
    }
    sqlite3_reset(stmt);
    return rc == SQLITE_DONE ? Status::Ok : mapError(rc);
}

Status HiveStore::childAt(const std::string& parent, uint32_t index, std::string& name) {
    if (db_ == nullptr) {
        return status_ == Status::Ok ? Status::NotFound : status_;
    }
    sqlite3_stmt* stmt = nullptr;
    Status s =
        prepare("SELECT name FROM keys WHERE parent = ?1 ORDER BY seq LIMIT 1 OFFSET ?2", &stmt);
    if (s != Status::Ok) {
        return s;
    }
    bindText(stmt, 1, parent);
    sqlite3_bind_int64(stmt, 2, index);
    int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) {
        auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        name.assign(text ? text : "", sqlite3_column_bytes(stmt, 0));
    }
    sqlite3_reset(stmt);
    if (rc == SQLITE_ROW) {
        return Status::Ok;
    }
    return rc == SQLITE_DONE ? Status::NotFound : mapError(rc);
}

Status HiveStore::queryValue(const std::string& lkey, const std::string& lname, Value& out) {
    if (db_ == nullptr) {
        return status_ == Status::Ok ? Status::NotFound : status_;
    }
    sqlite3_stmt* stmt = nullptr;
    Status s = prepare("SELECT type, data FROM vals WHERE lkey = ?1 AND lname = ?2", &stmt);
    if (s != Status::Ok) {
        return s;
    }
    bindText(stmt, 1, lkey);
    bindText(stmt, 2, lname);
    int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) {
        out.type = static_cast<ValueType>(sqlite3_column_int64(stmt, 0));
        auto* bytes = static_cast<const uint8_t*>(sqlite3_column_blob(stmt, 1));
        int size = sqlite3_column_bytes(stmt, 1);
        out.data.assign(bytes, bytes == nullptr ? bytes : bytes + size);
    }
    sqlite3_reset(stmt);
    if (rc == SQLITE_ROW) {
        return Status::Ok;
    }
    return rc == SQLITE_DONE ? Status::NotFound : mapError(rc);
}

Status HiveStore::setValue(const std::string& lkey, bool requireKey, const std::string& lname,
                           const std::string& name, ValueType type, const uint8_t* data,
                           size_t size) {
    if (db_ == nullptr || readOnly_) {
        return status_ == Status::Ok ? Status::AccessDenied : status_;
    }
    if (size > static_cast<size_t>(sqlite3_limit(db_, SQLITE_LIMIT_LENGTH, -1))) {
        return Status::IoError;
    }
    Status s = begin();
    if (s != Status::Ok) {
        return s;
    }
    sqlite3_stmt* stmt = nullptr;
    int rc;
    if (requireKey) {
        if ((s = findKey(lkey, nullptr)) != Status::Ok) {
            rollback();
            return s;
        }
    }
    // An existing value keeps its place in the enumeration order.
    if ((s = prepare("UPDATE vals SET type = ?3, data = ?4 WHERE lkey = ?1 AND lname = ?2",
                     &stmt)) != Status::Ok) {
        rollback();
        return s;
    }
    bindText(stmt, 1, lkey);
    bindText(stmt, 2, lname);
    sqlite3_bind_int64(stmt, 3, type);
    sqlite3_bind_blob64(stmt, 4, size == 0 ? "" : static_cast<const void*>(data), size,
                        SQLITE_STATIC);
    rc = sqlite3_step(stmt);
    sqlite3_reset(stmt);
    if (rc != SQLITE_DONE) {
        rollback();
        return mapError(rc);
    }
    if (sqlite3_changes(db_) == 0) {
        if ((s = prepare("SELECT coalesce(max(seq), 0) FROM vals WHERE lkey = ?1", &stmt)) !=
            Status::Ok) {
            rollback();
            return s;
        }
        bindText(stmt, 1, lkey);
        rc = sqlite3_step(stmt);
        int64_t last = rc == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : 0;
        sqlite3_reset(stmt);
        if (rc != SQLITE_ROW) {
            rollback();
            return mapError(rc);
        }
        if ((s = prepare("INSERT INTO vals(lkey, lname, name, type, data, seq)"
                         " VALUES(?1, ?2, ?3, ?4, ?5, ?6)",
                         &stmt)) != Status::Ok) {
            rollback();
            return s;
        }
        bindText(stmt, 1, lkey);
        bindText(stmt, 2, lname);
        bindText(stmt, 3, name);
        sqlite3_bind_int64(stmt, 4, type);
        sqlite3_bind_blob64(stmt, 5, size == 0 ? "" : static_cast<const void*>(data), size,
                            SQLITE_STATIC);
        sqlite3_bind_int64(stmt, 6, nextSequence(last));
        rc = sqlite3_step(stmt);
        sqlite3_reset(stmt);
        if (rc != SQLITE_DONE) {
            rollback();
            return mapError(rc);
        }
    }
    return commit();
}

Status HiveStore::deleteValue(const std::string& lkey, const std::string& lname) {
    if (db_ == nullptr || readOnly_) {
        return status_ == Status::Ok ? Status::AccessDenied : status_;
    }
    sqlite3_stmt* stmt = nullptr;
    Status s = prepare("DELETE FROM vals WHERE lkey = ?1 AND lname = ?2", &stmt);
    if (s != Status::Ok) {
        return s;
    }
    bindText(stmt, 1, lkey);
    bindText(stmt, 2, lname);
    int rc = sqlite3_step(stmt);
    sqlite3_reset(stmt);
    if (rc != SQLITE_DONE) {
        return mapError(rc);
    }
    return sqlite3_changes(db_) > 0 ? Status::Ok : Status::NotFound;
}

Status HiveStore::valueAt(const std::string& lkey, uint32_t index, std::string& name) {
    if (db_ == nullptr) {
        return status_ == Status::Ok ? Status::NotFound : status_;
    }
    sqlite3_stmt* stmt = nullptr;
    Status s =
        prepare("SELECT name FROM vals WHERE lkey = ?1 ORDER BY seq LIMIT 1 OFFSET ?2", &stmt);
    if (s != Status::Ok) {
        return s;
    }
    bindText(stmt, 1, lkey);
    sqlite3_bind_int64(stmt, 2, index);
    int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) {
        auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        name.assign(text ? text : "", sqlite3_column_bytes(stmt, 0));
    }
    sqlite3_reset(stmt);
    if (rc == SQLITE_ROW) {
        return Status::Ok;
    }
    return rc == SQLITE_DONE ? Status::NotFound : mapError(rc);
}

}  // namespace platform::registry::detail
