#include "platform/statement.h"

#include "platform/database_internal.h"
#include "platform/sql_dialect.h"

namespace vc::detail {

void fail(sqlite3* db) { throw DbError(sqlite3_errmsg(db)); }

OwnedStatement prepareOnce(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, rewriteDialect(sql).c_str(), -1, &s, nullptr) != SQLITE_OK) fail(db);
    if (!s) throw DbError("empty SQL statement");
    return OwnedStatement(s);
}

void bind(sqlite3_stmt* s, int index, const Value& v) {
    const auto& raw = v.raw();
    int rc = SQLITE_OK;
    if (v.isInteger()) {
        rc = sqlite3_bind_int64(s, index, std::get<std::int64_t>(raw));
    } else if (v.isReal()) {
        rc = sqlite3_bind_double(s, index, std::get<double>(raw));
    } else if (v.isText()) {
        const std::string& t = std::get<std::string>(raw);
        rc = sqlite3_bind_text(s, index, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
    } else {
        rc = sqlite3_bind_null(s, index);
    }
    if (rc != SQLITE_OK) fail(sqlite3_db_handle(s));
}

void bindAll(sqlite3_stmt* s, const std::vector<Value>& args, std::size_t first) {
    for (std::size_t i = 0; i < args.size(); ++i) bind(s, static_cast<int>(first + i), args[i]);
}

Value column(sqlite3_stmt* s, int i) {
    switch (sqlite3_column_type(s, i)) {
    case SQLITE_INTEGER:
        return Value(static_cast<std::int64_t>(sqlite3_column_int64(s, i)));
    case SQLITE_FLOAT:
        return Value(sqlite3_column_double(s, i));
    case SQLITE_NULL:
        return Value();
    default: {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_blob(s, i));
        return Value(std::string(p ? p : "", static_cast<std::size_t>(sqlite3_column_bytes(s, i))));
    }
    }
}

Value valueOf(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        return Value(static_cast<std::int64_t>(sqlite3_value_int64(v)));
    case SQLITE_FLOAT:
        return Value(sqlite3_value_double(v));
    case SQLITE_NULL:
        return Value();
    default:
        return Value(std::string(valueText(v)));
    }
}

void result(sqlite3_context* ctx, const Value& v) {
    if (v.isNull()) {
        sqlite3_result_null(ctx);
    } else if (v.isInteger()) {
        sqlite3_result_int64(ctx, v.toInt());
    } else if (v.isReal()) {
        sqlite3_result_double(ctx, v.toDouble());
    } else {
        const std::string& t = std::get<std::string>(v.raw());
        sqlite3_result_text(ctx, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
    }
}

std::vector<Value> rowValues(sqlite3_stmt* s, int from) {
    std::vector<Value> row;
    for (int i = from; i < sqlite3_column_count(s); ++i) row.push_back(column(s, i));
    return row;
}

bool step(sqlite3_stmt* s) {
    int rc = sqlite3_step(s);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    fail(sqlite3_db_handle(s));
}

void run(Database& db, const std::string& sql, const std::vector<Value>& args) {
    sqlite3_stmt* s = db.prepare(sql);
    StatementUse use(s);
    bindAll(s, args);
    step(s);
}

std::int64_t count(Database& db, const std::string& sql, const std::vector<Value>& args) {
    sqlite3_stmt* s = db.prepare(sql);
    StatementUse use(s);
    bindAll(s, args);
    return step(s) ? sqlite3_column_int64(s, 0) : 0;
}

std::optional<std::string> tableName(Database& db, const std::string& name) {
    sqlite3_stmt* s = db.prepare("SELECT name FROM sqlite_master WHERE type = 'table' AND name = ?1 COLLATE NOCASE");
    StatementUse use(s);
    bind(s, 1, Value(name));
    if (!step(s)) return std::nullopt;
    return column(s, 0).str();
}
}  // namespace vc::detail
