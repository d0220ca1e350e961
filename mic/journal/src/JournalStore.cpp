#include "mic/journal/JournalStore.h"

#include <sqlite3.h>

#include <filesystem>

namespace mic::journal {

namespace {

// Marks the file as a change journal, so that any other SQLite file is refused, not altered.
constexpr int32_t kApplicationId = 0x4d4a524e;  // "MJRN"

// A reader holds the database only for a moment; the writer waits that long rather than fail.
constexpr int kBusyTimeoutMs = 5000;

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS rows("
    " id INTEGER PRIMARY KEY, time_us INTEGER NOT NULL, kind INTEGER NOT NULL,"
    " source INTEGER NOT NULL, console_line INTEGER NOT NULL, detail TEXT NOT NULL,"
    " rack INTEGER NOT NULL, channel INTEGER NOT NULL, field INTEGER NOT NULL,"
    " old_value INTEGER NOT NULL, new_value INTEGER NOT NULL,"
    " old_text TEXT NOT NULL, new_text TEXT NOT NULL,"
    " refused INTEGER NOT NULL, reason TEXT NOT NULL, note TEXT NOT NULL);"
    "CREATE INDEX IF NOT EXISTS rows_by_time ON rows(time_us);";

const char* const kColumns =
    "id, time_us, kind, source, console_line, detail, rack, channel, field, old_value,"
    " new_value, old_text, new_text, refused, reason, note";

// A prepared statement finalized when it goes out of scope.
class Statement {
  public:
    Statement(sqlite3* db, const std::string& sql) {
        rc_ = sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr);
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    bool Ok() const { return rc_ == SQLITE_OK; }
    sqlite3_stmt* operator*() const { return stmt_; }

  private:
    sqlite3_stmt* stmt_ = nullptr;
    int rc_;
};

std::string Text(sqlite3_stmt* stmt, int column) {
    auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    return std::string(text ? text : "", static_cast<size_t>(sqlite3_column_bytes(stmt, column)));
}

void BindText(sqlite3_stmt* stmt, int index, const std::string& text) {
    sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

JournalRow ReadRow(sqlite3_stmt* stmt) {
    JournalRow row;
    row.id = sqlite3_column_int64(stmt, 0);
    row.timeUs = sqlite3_column_int64(stmt, 1);
    row.kind = static_cast<RowKind>(sqlite3_column_int(stmt, 2));
    ChannelChange& c = row.change;
    c.origin.source = static_cast<ChangeSource>(sqlite3_column_int(stmt, 3));
    c.origin.consoleLine = sqlite3_column_int(stmt, 4);
    c.origin.detail = Text(stmt, 5);
    c.rack = sqlite3_column_int(stmt, 6);
    c.channel = sqlite3_column_int(stmt, 7);
    c.field = static_cast<ChannelField>(sqlite3_column_int(stmt, 8));
    c.oldValue = sqlite3_column_int(stmt, 9);
    c.newValue = sqlite3_column_int(stmt, 10);
    if (c.field == ChannelField::Name) {
        c.oldText = Text(stmt, 11);
        c.newText = Text(stmt, 12);
    }
    c.refused = sqlite3_column_int(stmt, 13) != 0;
    c.reason = Text(stmt, 14);
    row.note = Text(stmt, 15);
    return row;
}

}  // namespace

std::unique_ptr<JournalStore> JournalStore::Open(const std::string& path, Mode mode,
                                                 std::string* error) {
    auto fail = [&](const std::string& why) -> std::unique_ptr<JournalStore> {
        if (error) {
            *error = path + ": " + why;
        }
        return nullptr;
    };
    const bool write = mode == Mode::ReadWrite;
    if (write) {
        std::error_code ec;
        const auto dir = std::filesystem::path(path).parent_path();
        if (!dir.empty()) {
            std::filesystem::create_directories(dir, ec);
        }
    } else if (!std::filesystem::exists(path)) {
        return fail("no journal here");
    }
    sqlite3* db = nullptr;
    const int flags = write ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY;
    if (sqlite3_open_v2(path.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        const std::string why = db ? sqlite3_errmsg(db) : "cannot open";
        sqlite3_close(db);
        return fail(why);
    }
    std::unique_ptr<JournalStore> store(new JournalStore(db));
    sqlite3_busy_timeout(db, kBusyTimeoutMs);

    int64_t appId = 0;
    int64_t tables = 0;
    {
        Statement id(db, "PRAGMA application_id");
        Statement count(db, "SELECT count(*) FROM sqlite_master");
        if (!id.Ok() || !count.Ok() || sqlite3_step(*id) != SQLITE_ROW ||
            sqlite3_step(*count) != SQLITE_ROW) {
            return fail(std::string("not a database: ") + sqlite3_errmsg(db));
        }
        appId = sqlite3_column_int64(*id, 0);
        tables = sqlite3_column_int64(*count, 0);
    }
    if (appId != kApplicationId && !(write && appId == 0 && tables == 0)) {
        return fail("not a change journal");
    }
    if (!write) {
        return store;
    }
    // WAL: readers never block the writer and a crash of the process loses no committed
    // transaction. synchronous=NORMAL syncs the log only at checkpoints: a committed row is in
    // the operating system's hands, which survives the process being killed; only a power cut
    // can take the last transactions (never corrupting the file).
    const std::string setup =
        "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
        "PRAGMA application_id=" +
        std::to_string(kApplicationId) + ";" + kSchema;
    if (!store->Exec(setup.c_str())) {
        return fail(store->LastError());
    }
    return store;
}

JournalStore::~JournalStore() {
    sqlite3_close(db_);
}

bool JournalStore::Exec(const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        error_ = message ? message : sqlite3_errmsg(db_);
        sqlite3_free(message);
        return false;
    }
    return true;
}

bool JournalStore::Fail(const char* what) {
    error_ = std::string(what) + ": " + sqlite3_errmsg(db_);
    return false;
}

bool JournalStore::Append(std::vector<JournalRow>& rows) {
    if (rows.empty()) {
        return true;
    }
    Statement insert(db_, std::string("INSERT INTO rows(") + kColumns +
                              ") VALUES(NULL,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
    if (!insert.Ok()) {
        return Fail("prepare");
    }
    if (!Exec("BEGIN IMMEDIATE")) {
        return false;
    }
    for (JournalRow& row : rows) {
        sqlite3_stmt* s = *insert;
        const ChannelChange& c = row.change;
        const bool change = row.kind == RowKind::Change;
        sqlite3_bind_int64(s, 1, row.timeUs);
        sqlite3_bind_int(s, 2, static_cast<int>(row.kind));
        sqlite3_bind_int(s, 3, static_cast<int>(c.origin.source));
        sqlite3_bind_int(s, 4, c.origin.consoleLine);
        BindText(s, 5, c.origin.detail);
        sqlite3_bind_int(s, 6, change ? c.rack : -1);
        sqlite3_bind_int(s, 7, change ? c.channel : -1);
        sqlite3_bind_int(s, 8, static_cast<int>(c.field));
        sqlite3_bind_int(s, 9, c.oldValue);
        sqlite3_bind_int(s, 10, c.newValue);
        BindText(s, 11, change ? OldValueText(row) : std::string());
        BindText(s, 12, change ? NewValueText(row) : std::string());
        sqlite3_bind_int(s, 13, c.refused ? 1 : 0);
        BindText(s, 14, c.reason);
        BindText(s, 15, row.note);
        if (sqlite3_step(s) != SQLITE_DONE) {
            Fail("insert");
            Exec("ROLLBACK");
            for (JournalRow& r : rows) {
                r.id = 0;
            }
            return false;
        }
        row.id = sqlite3_last_insert_rowid(db_);
        sqlite3_reset(s);
    }
    if (!Exec("COMMIT")) {
        const std::string why = error_;
        Exec("ROLLBACK");
        error_ = why;
        for (JournalRow& r : rows) {
            r.id = 0;
        }
        return false;
    }
    return true;
}

int64_t JournalStore::Prune(int64_t oldestUs, int64_t maxRows) {
    Statement byAge(db_, "DELETE FROM rows WHERE time_us < ?");
    if (!byAge.Ok()) {
        Fail("prune");
        return -1;
    }
    sqlite3_bind_int64(*byAge, 1, oldestUs);
    if (sqlite3_step(*byAge) != SQLITE_DONE) {
        Fail("prune by age");
        return -1;
    }
    int64_t deleted = sqlite3_changes(db_);
    if (maxRows > 0) {
        // Everything below the id of the maxRows-th newest row; nothing when there are fewer.
        Statement byCount(db_,
                          "DELETE FROM rows WHERE id < "
                          "(SELECT id FROM rows ORDER BY id DESC LIMIT 1 OFFSET ?)");
        if (!byCount.Ok()) {
            Fail("prune");
            return -1;
        }
        sqlite3_bind_int64(*byCount, 1, maxRows - 1);
        if (sqlite3_step(*byCount) != SQLITE_DONE) {
            Fail("prune by count");
            return -1;
        }
        deleted += sqlite3_changes(db_);
    }
    return deleted;
}

std::vector<JournalRow> JournalStore::Query(const JournalFilter& filter) {
    std::string sql = std::string("SELECT ") + kColumns + " FROM rows WHERE 1";
    // Conditions in a fixed order, bound in the same order below.
    const bool byPlace = filter.rack || filter.channel || filter.source;
    if (byPlace) {
        sql += " AND kind = 0";
    }
    if (filter.rack) {
        sql += " AND rack = ?";
    }
    if (filter.channel) {
        sql += " AND channel = ?";
    }
    if (filter.source) {
        sql += " AND source = ?";
    }
    if (filter.sinceUs) {
        sql += " AND time_us >= ?";
    }
    if (filter.untilUs) {
        sql += " AND time_us < ?";
    }
    sql += filter.newestFirst ? " ORDER BY id DESC" : " ORDER BY id ASC";
    if (filter.limit > 0) {
        sql += " LIMIT ?";
    }
    std::vector<JournalRow> rows;
    Statement q(db_, sql);
    if (!q.Ok()) {
        Fail("query");
        return rows;
    }
    int i = 0;
    if (filter.rack) {
        sqlite3_bind_int(*q, ++i, *filter.rack);
    }
    if (filter.channel) {
        sqlite3_bind_int(*q, ++i, *filter.channel);
    }
    if (filter.source) {
        sqlite3_bind_int(*q, ++i, static_cast<int>(*filter.source));
    }
    if (filter.sinceUs) {
        sqlite3_bind_int64(*q, ++i, *filter.sinceUs);
    }
    if (filter.untilUs) {
        sqlite3_bind_int64(*q, ++i, *filter.untilUs);
    }
    if (filter.limit > 0) {
        sqlite3_bind_int64(*q, ++i, filter.limit);
    }
    int rc;
    while ((rc = sqlite3_step(*q)) == SQLITE_ROW) {
        rows.push_back(ReadRow(*q));
    }
    if (rc != SQLITE_DONE) {
        Fail("query");
    }
    return rows;
}

int64_t JournalStore::Count() {
    Statement q(db_, "SELECT count(*) FROM rows");
    return q.Ok() && sqlite3_step(*q) == SQLITE_ROW ? sqlite3_column_int64(*q, 0) : -1;
}

}  // namespace mic::journal
