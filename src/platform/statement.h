#pragma once
// The statement layer under Database and the recordsets (not for the windows): binding values,
// reading columns, stepping with failures thrown as DbError, and statements that are reset or
// finalized however a scope is left.

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/database.h"
#include "platform/value.h"

namespace vc::detail {

[[noreturn]] void fail(sqlite3* db);

// Resets a cached statement however the scope is left, so no read stays open.
class StatementUse {
public:
    explicit StatementUse(sqlite3_stmt* s) : s_(s) {}
    ~StatementUse() {
        sqlite3_reset(s_);
        sqlite3_clear_bindings(s_);
    }
    StatementUse(const StatementUse&) = delete;
    StatementUse& operator=(const StatementUse&) = delete;

private:
    sqlite3_stmt* s_;
};

struct Finalizer {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using OwnedStatement = std::unique_ptr<sqlite3_stmt, Finalizer>;

// Prepares one statement (old dialect accepted), owned by the caller; throws DbError.
OwnedStatement prepareOnce(sqlite3* db, const std::string& sql);

void bind(sqlite3_stmt* s, int index, const Value& v);
// Binds args to the parameters first, first + 1, ...
void bindAll(sqlite3_stmt* s, const std::vector<Value>& args, std::size_t first = 1);
Value column(sqlite3_stmt* s, int i);
Value valueOf(sqlite3_value* v);
void result(sqlite3_context* ctx, const Value& v);
// Columns from..end of the current row.
std::vector<Value> rowValues(sqlite3_stmt* s, int from);
// True on a row, false when done; throws DbError on a failure.
bool step(sqlite3_stmt* s);
// Runs a cached statement for its effect.
void run(Database& db, const std::string& sql, const std::vector<Value>& args);
// The first column of the first row of a cached query, 0 when it has none.
std::int64_t count(Database& db, const std::string& sql, const std::vector<Value>& args);
// The name of the table spelled 'name' in any letter case, if there is one.
std::optional<std::string> tableName(Database& db, const std::string& name);

}  // namespace vc::detail
