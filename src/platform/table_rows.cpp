#include "platform/table_rows.h"

#include "platform/database_internal.h"
#include "platform/statement.h"

namespace vc::detail {

std::int64_t insertRow(Database& db, const std::string& table, const std::vector<std::string>& columns,
                       const std::vector<Value>& values, const std::vector<bool>& changed) {
    std::vector<std::string> names, marks;
    std::vector<Value> args;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (!changed[i]) continue;
        names.push_back(quoteIdent(columns[i]));
        marks.push_back("?");
        args.push_back(values[i]);
    }
    const std::string target = "INSERT INTO " + quoteIdent(table);
    run(db, args.empty() ? target + " DEFAULT VALUES" : target + " (" + joined(names) + ") VALUES (" + joined(marks) + ")",
        args);
    return sqlite3_last_insert_rowid(db.handle());
}

void updateRow(Database& db, const std::string& table, std::int64_t rowid, const std::vector<std::string>& columns,
               const std::vector<Value>& values, const std::vector<bool>& changed) {
    std::vector<std::string> sets;
    std::vector<Value> args;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (!changed[i]) continue;
        sets.push_back(quoteIdent(columns[i]) + " = ?");
        args.push_back(values[i]);
    }
    if (args.empty()) return;
    args.emplace_back(rowid);
    run(db, "UPDATE " + quoteIdent(table) + " SET " + joined(sets) + " WHERE rowid = ?", args);
    if (sqlite3_changes(db.handle()) == 0) throw DbError("The record no longer exists.");
}

void deleteRow(Database& db, const std::string& table, std::int64_t rowid) {
    run(db, "DELETE FROM " + quoteIdent(table) + " WHERE rowid = ?1", {Value(rowid)});
}

std::vector<Value> readRow(Database& db, const std::string& table, const std::vector<std::string>& columns,
                           std::int64_t rowid) {
    std::vector<std::string> names;
    for (const auto& c : columns) names.push_back(quoteIdent(c));
    sqlite3_stmt* s = db.prepare("SELECT " + joined(names) + " FROM " + quoteIdent(table) + " WHERE rowid = ?1");
    StatementUse use(s);
    bind(s, 1, Value(rowid));
    if (!step(s)) throw DbError("The record no longer exists.");
    return rowValues(s, 0);
}
}  // namespace vc::detail
