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

std::string columnText(sqlite3_stmt* stmt, int column) {
    auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    return std::string(text ? text : "", sqlite3_column_bytes(stmt, column));
}

// One value from a statement that is not kept for reuse (the probes of open(), which may run on
// a connection that is about to be replaced). The SQLite code of the step, or of preparing.
int scalar(sqlite3* db, const char* sql, int64_t& value) {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW) {
            value = sqlite3_column_int64(stmt, 0);
        }
    }
    sqlite3_finalize(stmt);
    return rc;
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

int HiveStore::prepare(const char* sql, sqlite3_stmt** stmt) {
    for (auto& [key, cached] : statements_) {
        if (key == sql) {
            sqlite3_reset(cached);
            sqlite3_clear_bindings(cached);
            *stmt = cached;
            return SQLITE_OK;
        }
    }
    int rc = sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, stmt, nullptr);
    if (rc == SQLITE_OK) {
        statements_.emplace_back(sql, *stmt);
    }
    return rc;
}

int HiveStore::step(const char* sql, std::initializer_list<Param> params, const RowReader& onRow) {
    sqlite3_stmt* stmt = nullptr;
    if (int rc = prepare(sql, &stmt); rc != SQLITE_OK) {
        return rc;
    }
    int index = 1;
    for (const Param& param : params) {
        if (auto* text = std::get_if<std::string_view>(&param)) {
            sqlite3_bind_text(stmt, index, text->data(), static_cast<int>(text->size()),
                              SQLITE_TRANSIENT);
        } else if (auto* number = std::get_if<int64_t>(&param)) {
            sqlite3_bind_int64(stmt, index, *number);
        } else {
            // An empty blob still needs a pointer: a null one would store NULL.
            auto blob = std::get<std::span<const uint8_t>>(param);
            sqlite3_bind_blob64(stmt, index,
                                blob.empty() ? "" : static_cast<const void*>(blob.data()),
                                blob.size(), SQLITE_STATIC);
        }
        ++index;
    }
    int rc = sqlite3_step(stmt);
    while (rc == SQLITE_ROW && onRow && onRow(stmt)) {
        rc = sqlite3_step(stmt);
    }
    sqlite3_reset(stmt);
    return rc;
}

Status HiveStore::change(const char* sql, std::initializer_list<Param> params) {
    int rc = step(sql, params);
    return rc == SQLITE_DONE ? Status::Ok : mapError(rc);
}

Status HiveStore::readNumber(const char* sql, std::initializer_list<Param> params, int64_t& out) {
    int rc = step(sql, params, [&out](sqlite3_stmt* stmt) {
        out = sqlite3_column_int64(stmt, 0);
        return false;
    });
    return rc == SQLITE_ROW ? Status::Ok : mapError(rc);
}

Status HiveStore::readText(const char* sql, std::initializer_list<Param> params, std::string* out) {
    return foundRow(step(sql, params, [out](sqlite3_stmt* stmt) {
        if (out != nullptr) {
            *out = columnText(stmt, 0);
        }
        return false;
    }));
}

Status HiveStore::foundRow(int rc) const {
    if (rc == SQLITE_ROW) {
        return Status::Ok;
    }
    return rc == SQLITE_DONE ? Status::NotFound : mapError(rc);
}

Status HiveStore::unavailable(Status whenEmpty) const {
    return status_ == Status::Ok ? whenEmpty : status_;
}

Status HiveStore::inTransaction(const std::function<Status()>& body) {
    Status s = begin();
    if (s != Status::Ok) {
        return s;
    }
    if ((s = body()) != Status::Ok) {
        rollback();
        return s;
    }
    return commit();
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

Status HiveStore::abortOpen(Status status) {
    sqlite3_close_v2(db_);
    db_ = nullptr;
    status_ = status;
    return status_;
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
        readOnly_ = true;
        struct stat st {};
        if (::stat(file.c_str(), &st) != 0) {
            // Nothing to read and nowhere to write: an empty hive that refuses writes.
            return abortOpen(Status::Ok);
        }
        sqlite3_close_v2(db_);
        rc = sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                             nullptr);
        if (rc != SQLITE_OK) {
            return abortOpen(Status::IoError);
        }
    }
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    sqlite3_extended_result_codes(db_, 1);

    auto probe = [this](int64_t& tables, int64_t& appId) {
        int rc = scalar(db_, "SELECT count(*) FROM sqlite_master", tables);
        return rc == SQLITE_ROW ? scalar(db_, "PRAGMA application_id", appId) : rc;
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
        Status s = mapError(rc);
        return abortOpen(s == Status::Ok || s == Status::AccessDenied ? Status::IoError : s);
    }

    if (tables != 0 && appId != kApplicationId) {
        // Some other SQLite database: never write to it.
        return abortOpen(Status::Corrupt);
    }
    if (tables == 0 && readOnly_) {
        return abortOpen(Status::Ok);
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
    return inTransaction([this] {
        // Another process may have made the schema while we waited for the write lock.
        int64_t tables = 0;
        scalar(db_, "SELECT count(*) FROM sqlite_master", tables);
        if (tables != 0) {
            return Status::Ok;
        }
        for (const char* sql : kSchema) {
            if (Status s = exec(sql); s != Status::Ok) {
                return s;
            }
        }
        char pragma[64];
        std::snprintf(pragma, sizeof pragma, "PRAGMA application_id=%d", kApplicationId);
        return exec(pragma);
    });
}

Status HiveStore::findKey(const std::string& lpath, std::string* spelled) {
    if (db_ == nullptr) {
        return unavailable(Status::NotFound);
    }
    return readText("SELECT path FROM keys WHERE lpath = ?1", {lpath}, spelled);
}

Status HiveStore::insertKeys(const std::vector<NewKey>& keys, bool* lastCreated) {
    if (lastCreated != nullptr) {
        *lastCreated = false;
    }
    if (keys.empty()) {
        return Status::Ok;
    }
    if (db_ == nullptr || readOnly_) {
        return unavailable(Status::AccessDenied);
    }
    return inTransaction([&] {
        for (size_t i = 0; i < keys.size(); ++i) {
            const NewKey& key = keys[i];
            int64_t last = 0;
            Status s = readNumber("SELECT coalesce(max(seq), 0) FROM keys WHERE parent = ?1",
                                  {key.parent}, last);
            if (s == Status::Ok) {
                s = change(
                    "INSERT OR IGNORE INTO keys(lpath, path, parent, name, seq)"
                    " VALUES(?1, ?2, ?3, ?4, ?5)",
                    {key.lpath, key.path, key.parent, key.name, nextSequence(last)});
            }
            if (s != Status::Ok) {
                return s;
            }
            if (i + 1 == keys.size() && lastCreated != nullptr) {
                *lastCreated = sqlite3_changes(db_) > 0;
            }
        }
        return Status::Ok;
    });
}

Status HiveStore::deleteTree(const std::string& lpath) {
    if (db_ == nullptr || readOnly_) {
        return unavailable(Status::AccessDenied);
    }
    // Named copies rather than structured bindings: clang 14 cannot capture those in a lambda.
    const auto range = descendantRange(lpath);
    const auto& low = range.first;
    const auto& high = range.second;
    return inTransaction([&] {
        const char* const statements[] = {
            "DELETE FROM keys WHERE lpath = ?1 OR (lpath >= ?2 AND lpath < ?3)",
            "DELETE FROM vals WHERE lkey = ?1 OR (lkey >= ?2 AND lkey < ?3)",
        };
        for (const char* sql : statements) {
            if (Status s = change(sql, {lpath, low, high}); s != Status::Ok) {
                return s;
            }
        }
        return Status::Ok;
    });
}

Status HiveStore::childCount(const std::string& parent, int64_t& count) {
    count = 0;
    if (db_ == nullptr) {
        return unavailable(Status::Ok);
    }
    return readNumber("SELECT count(*) FROM keys WHERE parent = ?1", {parent}, count);
}

Status HiveStore::children(const std::string& parent, std::vector<NamedEntry>& out) {
    out.clear();
    if (db_ == nullptr) {
        return unavailable(Status::Ok);
    }
    int rc = step("SELECT name, seq FROM keys WHERE parent = ?1 ORDER BY seq", {parent},
                  [&out](sqlite3_stmt* stmt) {
                      out.push_back({columnText(stmt, 0), sqlite3_column_int64(stmt, 1)});
                      return true;
                  });
    return rc == SQLITE_DONE ? Status::Ok : mapError(rc);
}

Status HiveStore::childAt(const std::string& parent, uint32_t index, std::string& name) {
    if (db_ == nullptr) {
        return unavailable(Status::NotFound);
    }
    return readText("SELECT name FROM keys WHERE parent = ?1 ORDER BY seq LIMIT 1 OFFSET ?2",
                    {parent, static_cast<int64_t>(index)}, &name);
}

Status HiveStore::queryValue(const std::string& lkey, const std::string& lname, Value& out) {
    if (db_ == nullptr) {
        return unavailable(Status::NotFound);
    }
    return foundRow(step("SELECT type, data FROM vals WHERE lkey = ?1 AND lname = ?2",
                         {lkey, lname}, [&out](sqlite3_stmt* stmt) {
                             out.type = static_cast<ValueType>(sqlite3_column_int64(stmt, 0));
                             auto* bytes =
                                 static_cast<const uint8_t*>(sqlite3_column_blob(stmt, 1));
                             int size = sqlite3_column_bytes(stmt, 1);
                             out.data.assign(bytes, bytes == nullptr ? bytes : bytes + size);
                             return false;
                         }));
}

Status HiveStore::setValue(const std::string& lkey, bool requireKey, const std::string& lname,
                           const std::string& name, ValueType type, const uint8_t* data,
                           size_t size) {
    if (db_ == nullptr || readOnly_) {
        return unavailable(Status::AccessDenied);
    }
    if (size > static_cast<size_t>(sqlite3_limit(db_, SQLITE_LIMIT_LENGTH, -1))) {
        return Status::IoError;
    }
    const auto typeNumber = static_cast<int64_t>(type);
    const std::span<const uint8_t> bytes(data, size);
    return inTransaction([&] {
        if (requireKey) {
            if (Status s = findKey(lkey, nullptr); s != Status::Ok) {
                return s;
            }
        }
        // An existing value keeps its place in the enumeration order.
        Status s = change("UPDATE vals SET type = ?3, data = ?4 WHERE lkey = ?1 AND lname = ?2",
                          {lkey, lname, typeNumber, bytes});
        if (s != Status::Ok || sqlite3_changes(db_) != 0) {
            return s;
        }
        int64_t last = 0;
        s = readNumber("SELECT coalesce(max(seq), 0) FROM vals WHERE lkey = ?1", {lkey}, last);
        if (s != Status::Ok) {
            return s;
        }
        return change(
            "INSERT INTO vals(lkey, lname, name, type, data, seq)"
            " VALUES(?1, ?2, ?3, ?4, ?5, ?6)",
            {lkey, lname, name, typeNumber, bytes, nextSequence(last)});
    });
}

Status HiveStore::deleteValue(const std::string& lkey, const std::string& lname) {
    if (db_ == nullptr || readOnly_) {
        return unavailable(Status::AccessDenied);
    }
    Status s = change("DELETE FROM vals WHERE lkey = ?1 AND lname = ?2", {lkey, lname});
    if (s != Status::Ok) {
        return s;
    }
    return sqlite3_changes(db_) > 0 ? Status::Ok : Status::NotFound;
}

Status HiveStore::valueAt(const std::string& lkey, uint32_t index, std::string& name) {
    if (db_ == nullptr) {
        return unavailable(Status::NotFound);
    }
    return readText("SELECT name FROM vals WHERE lkey = ?1 ORDER BY seq LIMIT 1 OFFSET ?2",
                    {lkey, static_cast<int64_t>(index)}, &name);
}

}  // namespace platform::registry::detail
