#include "platform/database.h"

#include <sqlite3.h>

#include <algorithm>
#include <optional>
#include <utility>

#include "platform/database_internal.h"
#include "platform/safe_file.h"
#include "platform/statement.h"

namespace vc {
namespace {

using namespace detail;

// The connection to 'path', or nullptr with the cause in 'why'.
sqlite3* openHandle(const std::string& path, int flags, bool durable, std::string& why) {
    // SQLite opens whatever stands under the name: a pipe, a device or a link planted there is
    // refused first, as every site file is.
    if (path != ":memory:")
        if (const std::optional<std::string> problem = safe_file::problem(path)) {
            why = *problem;
            return nullptr;
        }
    sqlite3* db = nullptr;
    // The program runs on one thread: a connection needs no mutex of its own, which every call
    // (each field of each row read) would otherwise take and release.
    if (sqlite3_open_v2(path.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        why = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close_v2(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, Database::DefaultBusyMs);
    defineDialectFunctions(db);
    // The first read of the schema is what tells a database from any other file.
    const char* setup = durable ? "SELECT count(*) FROM sqlite_master; PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;"
                                : "SELECT count(*) FROM sqlite_master;";
    char* err = nullptr;
    if (sqlite3_exec(db, setup, nullptr, nullptr, &err) != SQLITE_OK) {
        why = err ? err : sqlite3_errmsg(db);
        sqlite3_free(err);
        sqlite3_close_v2(db);
        return nullptr;
    }
    return db;
}

sqlite3* openHandle(const std::string& path, int flags, bool durable) {
    std::string why;
    if (sqlite3* db = openHandle(path, flags, durable, why)) return db;
    throw DbError("cannot open database '" + path + "': " + why);
}
}  // namespace

// ---- Database -----------------------------------------------------------------------------

Database::Database(sqlite3* db, std::string path) : db_(db), path_(std::move(path)) {}

Database::~Database() {
    for (auto& entry : cache_) sqlite3_finalize(entry.second.stmt);
    sqlite3_close_v2(db_);
}

std::shared_ptr<Database> Database::open(const std::string& path, bool durable) {
    return std::shared_ptr<Database>(new Database(openHandle(path, SQLITE_OPEN_READWRITE, durable), path));
}

std::shared_ptr<Database> Database::create(const std::string& path, bool durable) {
    return std::shared_ptr<Database>(
        new Database(openHandle(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, durable), path));
}

std::shared_ptr<Database> Database::memory() {
    return std::shared_ptr<Database>(
        new Database(openHandle(":memory:", SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, false), ":memory:"));
}

std::shared_ptr<Database> Database::build(const std::string& path) {
    std::string why;
    sqlite3* db = openHandle(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW, false, why);
    if (!db) throw DbError(why);
    return std::shared_ptr<Database>(new Database(db, path));
}

int Database::execute(const std::string& sql) {
    executeVerbatim(rewriteDialect(sql));
    return sqlite3_changes(db_);
}

void Database::executeVerbatim(const std::string& sql) {
    char* err = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::string msg = err ? err : sqlite3_errmsg(db_);
        sqlite3_free(err);
        throw DbError(msg);
    }
}

bool Database::tryExecute(const std::string& sql, std::string* error) noexcept {
    try {
        execute(sql);
        return true;
    } catch (const std::exception& e) {
        if (error) *error = e.what();
        return false;
    }
}

std::vector<std::vector<std::pair<std::string, Value>>> Database::query(const std::string& sql) {
    std::vector<std::vector<std::pair<std::string, Value>>> rows;
    forEachRow(sql, [&rows](const Row& r) {
        auto& row = rows.emplace_back();
        for (std::size_t i = 0; i < r.size(); ++i) row.emplace_back(r.name(i), r.value(i));
    });
    return rows;
}

void Database::executeWith(const std::string& sql, const std::vector<Value>& args) { run(*this, sql, args); }

void Database::setBusyTimeout(int ms) { sqlite3_busy_timeout(db_, ms); }

void Database::forEachRow(const std::string& sql, const std::function<void(const Row&)>& each) {
    Cursor rows = cursor(sql);
    while (rows.next()) each(rows.row());
}

Database::Cursor Database::cursor(const std::string& sql) { return Cursor(prepareOnce(db_, sql).release()); }

Database::Cursor::Cursor(Cursor&& other) noexcept
    : s_(std::exchange(other.s_, nullptr)), row_(s_), done_(std::exchange(other.done_, true)) {}

Database::Cursor::~Cursor() { sqlite3_finalize(s_); }

bool Database::Cursor::next() {
    if (done_) return false;  // stepping again would run the query again from its first row
    try {
        if (step(s_)) return true;
    } catch (const DbError&) {
        end();
        throw;
    }
    end();
    return false;
}

void Database::Cursor::end() {
    done_ = true;
    sqlite3_reset(s_);  // the read is over: other connections may write past it
}

std::size_t Database::Row::size() const { return static_cast<std::size_t>(sqlite3_column_count(s_)); }
const char* Database::Row::name(std::size_t i) const { return sqlite3_column_name(s_, static_cast<int>(i)); }
Value Database::Row::value(std::size_t i) const { return column(s_, static_cast<int>(i)); }

Database::Row::Kind Database::Row::kind(std::size_t i) const {
    switch (sqlite3_column_type(s_, static_cast<int>(i))) {
    case SQLITE_NULL: return Kind::Null;
    case SQLITE_INTEGER: return Kind::Integer;
    case SQLITE_FLOAT: return Kind::Real;
    case SQLITE_TEXT: return Kind::Text;
    default: return Kind::Blob;
    }
}

std::string_view Database::Row::text(std::size_t i, std::string& scratch) const {
    const int k = static_cast<int>(i);
    if (sqlite3_column_type(s_, k) != SQLITE_TEXT) return scratch = value(i).str();
    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(s_, k));
    return t ? std::string_view(t, static_cast<std::size_t>(sqlite3_column_bytes(s_, k))) : std::string_view();
}

bool Database::hasTable(const std::string& name) { return tableName(*this, name).has_value(); }

std::vector<std::string> Database::columns(const std::string& table) {
    sqlite3_stmt* s = prepare("SELECT name FROM pragma_table_info(?1) ORDER BY cid");
    StatementUse use(s);
    bind(s, 1, Value(table));
    std::vector<std::string> names;
    while (step(s)) names.push_back(column(s, 0).str());
    if (names.empty()) throw DbError("no such table: " + table);
    return names;
}

sqlite3_stmt* Database::prepare(const std::string& sql) {
    constexpr std::size_t kCacheSize = 64;
    auto it = cache_.find(sql);
    if (it == cache_.end()) {
        OwnedStatement s = prepareOnce(db_, sql);
        if (cache_.size() >= kCacheSize) {
            auto oldest = std::min_element(cache_.begin(), cache_.end(), [](const auto& a, const auto& b) {
                return a.second.lastUse < b.second.lastUse;
            });
            sqlite3_finalize(oldest->second.stmt);
            cache_.erase(oldest);
        }
        it = cache_.emplace(sql, Cached{s.release(), 0}).first;
    }
    it->second.lastUse = ++uses_;
    return it->second.stmt;
}

void Database::define(const std::string& name, int arguments, Function f) {
    auto call = [](sqlite3_context* ctx, int argc, sqlite3_value** argv) {
        std::vector<Value> args;
        for (int i = 0; i < argc; ++i) args.push_back(valueOf(argv[i]));
        try {
            result(ctx, (*static_cast<Function*>(sqlite3_user_data(ctx)))(args));
        } catch (const std::exception& e) {
            sqlite3_result_error(ctx, e.what(), -1);
        }
    };
    auto destroy = [](void* p) { delete static_cast<Function*>(p); };
    auto* held = new Function(std::move(f));
    if (sqlite3_create_function_v2(db_, name.c_str(), arguments, SQLITE_UTF8 | SQLITE_DETERMINISTIC, held, call, nullptr,
                                   nullptr, destroy) != SQLITE_OK)
        fail(db_);
}

// ---- Transaction --------------------------------------------------------------------------

Transaction::Transaction(Database& db) : db_(db) { db_.execute("BEGIN IMMEDIATE"); }

Transaction::~Transaction() {
    if (!done_) sqlite3_exec(db_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::commit() {
    db_.execute("COMMIT");
    done_ = true;
    open_.reset();
}
}  // namespace vc
