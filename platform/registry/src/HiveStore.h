// One registry database file: its connection, schema and the few statements the keys need.
// Not thread-safe on its own; the hive that owns it serialises every call.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <platform/registry.h>

struct sqlite3;
struct sqlite3_stmt;

namespace platform::registry::detail {

struct NamedEntry {
    std::string name;
    int64_t seq = 0;
};

class HiveStore {
  public:
    HiveStore() = default;
    HiveStore(const HiveStore&) = delete;
    HiveStore& operator=(const HiveStore&) = delete;
    ~HiveStore();

    // Opens (creating when allowed and missing) the database at `file`. A location that cannot
    // be written gives a read-only store; a missing file that cannot be created gives an empty
    // read-only store. A file that is not one of our databases is left untouched: Corrupt.
    Status open(const std::string& file);
    void close();
    // Drops the connection without closing it: used in a child after fork(), where the
    // parent's SQLite state must not be touched.
    void abandon();

    Status status() const { return status_; }
    bool readOnly() const { return readOnly_; }
    bool usable() const { return db_ != nullptr && status_ == Status::Ok; }

    // Keys (lpath is the case-folded full path).
    Status findKey(const std::string& lpath, std::string* spelled);
    struct NewKey {
        std::string lpath, path, parent, name;
    };
    // Inserts the keys in order in one transaction; existing ones are kept. `lastCreated`
    // tells whether the last of them was inserted by this call.
    Status insertKeys(const std::vector<NewKey>& keys, bool* lastCreated);
    // Deletes the key at lpath, every key below it and all their values.
    Status deleteTree(const std::string& lpath);
    Status childCount(const std::string& parent, int64_t& count);
    Status children(const std::string& parent, std::vector<NamedEntry>& out);
    Status childAt(const std::string& parent, uint32_t index, std::string& name);

    // Values of the key at lkey. `requireKey` makes writes fail with NotFound when the key
    // was deleted in the meantime (by another process).
    Status queryValue(const std::string& lkey, const std::string& lname, Value& out);
    Status setValue(const std::string& lkey, bool requireKey, const std::string& lname,
                    const std::string& name, ValueType type, const uint8_t* data, size_t size);
    Status deleteValue(const std::string& lkey, const std::string& lname);
    Status valueAt(const std::string& lkey, uint32_t index, std::string& name);

  private:
    // A statement parameter: text, a number or a blob.
    using Param = std::variant<std::string_view, int64_t, std::span<const uint8_t>>;
    // Reads the current row; returns whether to step on to the next one.
    using RowReader = std::function<bool(sqlite3_stmt*)>;

    // Prepares (or reuses) `sql`, binds `params` to ?1, ?2, ... and steps, handing each row to
    // `onRow` while it asks for more; resets the statement. Returns the SQLite code of the last
    // step, or of the preparation when that failed.
    int step(const char* sql, std::initializer_list<Param> params, const RowReader& onRow = {});
    // A statement that returns no rows.
    Status change(const char* sql, std::initializer_list<Param> params);
    // The first column of the one row a statement gives.
    Status readNumber(const char* sql, std::initializer_list<Param> params, int64_t& out);
    // The first column of the first row as text (when `out` is not null); NotFound for no row.
    Status readText(const char* sql, std::initializer_list<Param> params, std::string* out);
    // Runs `body` in one write transaction: committed when it gives Ok, else rolled back.
    Status inTransaction(const std::function<Status()>& body);
    // Ok, NotFound or the error of a step that looks for one row.
    Status foundRow(int rc) const;
    // What a call gets when there is no usable database: `whenEmpty` for an empty hive.
    Status unavailable(Status whenEmpty) const;
    // Ends the connection of an open() that stops early, with the status it leaves.
    Status abortOpen(Status status);

    int prepare(const char* sql, sqlite3_stmt** stmt);
    Status exec(const char* sql);
    Status begin();
    Status commit();
    void rollback();
    Status initialise();
    Status mapError(int rc) const;

    sqlite3* db_ = nullptr;
    Status status_ = Status::IoError;
    bool readOnly_ = false;
    std::vector<std::pair<const char*, sqlite3_stmt*>> statements_;
};

// The next sequence number: after `last`, and no earlier than the wall clock so that keys
// created in two databases still enumerate in the order they were made.
int64_t nextSequence(int64_t last);

}  // namespace platform::registry::detail
