#pragma once
// The site's databases over SQLite, shaped as the windows use them: a data control bound to a
// database file and a record source (a table name or an SQL SELECT), and its recordset with a
// current record that moves and edits.
//
// Contracts:
// - A table source lists its records in insertion order (rowid). The recordset over a table is
//   live and lazy: moving reads the next row from the database, so a table of 32,767 cards costs
//   nothing until it is walked, and FindFirst uses the table's indexes.
// - An SQL source is prepared at Refresh (a faulty SQL fails there) and runs once, when its
//   recordset is first read, which fixes its records and their order; a recordset replaced before
//   anyone reads it never runs. When the SQL reads a single table's rows, the recordset keeps
//   their rowids (it adds the rowid) and reads a record's values when it is visited, so they are
//   the row's values then (a row deleted since reads as an error); Edit/Update/Delete work on
//   such a source. Any other SQL source keeps the values it read and is read-only.
// - Every Update, Delete and Execute on a database opened durable is on disk when it returns
//   (WAL journal, synchronous=FULL). Bulk work groups its writes in a Transaction.
// - Failures throw DbError with SQLite's message; each throwing call that a handler may want to
//   survive has a try-twin returning false.
// - The old dialect the windows send is accepted: "DELETE * FROM", True/False, CDATE(text)
//   (day/month/year, with or without time), CDBL(text), and #d/m/yyyy# date literals are rewritten
//   or registered as SQL functions, never parsed by hand. A date is the old engine's date serial:
//   days since 30 December 1899 as a real, the time of day as its fraction, so that
//   cdbl(CDATE('1/1/2010')) = 40179 and #1/1/2010# reads 40179. CDATE of an unreadable text or of
//   Null is Null; CDATE of a number is that number. CDATE of a plain column is written in built-in
//   functions (dateSerialSql), so that an index can serve it.
// - ORDER BY sorts a column's text without regard to letter case, as the old engine did; a
//   COLLATE written in the term is kept. Comparisons elsewhere stay exact.
// - Operator or reader text enters a criterion as a bound parameter, or else through sqlQuote().
// - A recordset is shared. DataControl::recordset() hands out an owning pointer; Refresh gives
//   the control a new recordset and leaves each one handed out before as it was (its records,
//   position, pending edit and database). A handler that walks or edits across a yield (the calls
//   events.h names) holds it in a HeldRecordset until it is done, so nothing a nested handler
//   refreshes meanwhile can free what it works on. A plain reference (*recordset()) does where
//   nothing yields before its last use.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/events.h"
#include "platform/recordset.h"
#include "platform/sql_dialect.h"
#include "platform/value.h"

struct sqlite3;
struct sqlite3_stmt;

namespace vc {

class DbError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Database {
public:
    // Opens (does not create) the file; throws DbError when it is missing or not a database.
    static std::shared_ptr<Database> open(const std::string& path, bool durable = true);
    // Creates the file when missing (used to build site folders and in tests).
    static std::shared_ptr<Database> create(const std::string& path, bool durable = true);
    // A private in-memory database (tests).
    static std::shared_ptr<Database> memory();
    // Opens the empty file a database is built in (safe_file::replaceBy hands it over), never
    // through a link, and not durable: the builder forces the finished file to the disk. Its
    // DbError holds the cause alone, for the builder to name what it builds.
    static std::shared_ptr<Database> build(const std::string& path);
    ~Database();

    // Runs one or more statements; returns the rows changed by the last one.
    int execute(const std::string& sql);
    bool tryExecute(const std::string& sql, std::string* error = nullptr) noexcept;
    // Runs statements exactly as written, in SQLite's own dialect: for the schema scripts the
    // site databases are built from, whose comments and literals are no text of the windows.
    void executeVerbatim(const std::string& sql);
    // Runs one statement with the values of its parameters ?1..?n; prepared once and cached, so
    // a run of them (a row written at a time) costs a step each.
    void executeWith(const std::string& sql, const std::vector<Value>& args);
    // Runs a query and returns every row (column name -> value, in column order).
    std::vector<std::vector<std::pair<std::string, Value>>> query(const std::string& sql);
    // One row of a query, read in place: valid during the call it is handed to.
    class Row {
    public:
        explicit Row(sqlite3_stmt* s) : s_(s) {}
        std::size_t size() const;
        const char* name(std::size_t i) const;
        Value value(std::size_t i) const;
        // How the value is stored: Value reads binary data as a text, and sorting tells them apart.
        enum class Kind { Null, Integer, Real, Text, Blob };
        Kind kind(std::size_t i) const;
        // The value as Value::str() writes it; a text is not copied ('scratch' holds any other).
        std::string_view text(std::size_t i, std::string& scratch) const;

    private:
        sqlite3_stmt* s_;
    };
    // Runs a query and hands its rows to 'each' one at a time, as they are read: for results too
    // large to hold whole, such as a report of a million rows.
    void forEachRow(const std::string& sql, const std::function<void(const Row&)>& each);
    // A query read a row at a time, across as many calls (and yields) as its holder likes. Its
    // statement, and the read of the data that goes with it, stays open until the last row has
    // been read or the cursor goes: in a WAL database the rows are those of the moment the first
    // one was read, whatever other connections write meanwhile. Valid while its database is.
    class Cursor {
    public:
        Cursor(Cursor&& other) noexcept;
        Cursor& operator=(Cursor&&) = delete;
        ~Cursor();
        // Moves to the next row; false after the last one, which ends the read, and ever after.
        // Throws DbError, which ends the read too.
        bool next();
        // The current row; before the first next(), only its columns' names.
        const Row& row() const { return row_; }

    private:
        friend class Database;
        explicit Cursor(sqlite3_stmt* s) : s_(s), row_(s) {}
        void end();
        sqlite3_stmt* s_;
        Row row_;
        bool done_ = false;
    };
    // Prepares a query for reading with a cursor; throws DbError on faulty SQL.
    Cursor cursor(const std::string& sql);
    // True when a table of that name exists (case-insensitive).
    bool hasTable(const std::string& name);
    // Column names of a table in their declared order.
    std::vector<std::string> columns(const std::string& table);

    // Makes a scalar SQL function of 'arguments' arguments available to this connection's
    // statements (never to the stock shell: keep it out of indexes, triggers and views).
    using Function = std::function<Value(const std::vector<Value>&)>;
    void define(const std::string& name, int arguments, Function f);

    // How long a statement waits for another connection's lock before it fails with "database is
    // locked": DefaultBusyMs unless set. The line's writes wait briefly; the windows may wait longer.
    static constexpr int DefaultBusyMs = 2000;
    void setBusyTimeout(int ms);

    const std::string& path() const { return path_; }
    sqlite3* handle() { return db_; }
    // A prepared statement cached by its SQL text (old dialect accepted). The cache keeps the 64
    // most recently used statements; reset a statement when done with it.
    sqlite3_stmt* prepare(const std::string& sql);

private:
    struct Cached {
        sqlite3_stmt* stmt;
        std::uint64_t lastUse;
    };
    Database(sqlite3* db, std::string path);
    sqlite3* db_;
    std::string path_;
    std::map<std::string, Cached> cache_;
    std::uint64_t uses_ = 0;
};

// Rolls back unless committed. Nothing may yield while it is open: the other connections' writes
// would wait on its lock, and a nested handler's writes on the same connection would join it.
class Transaction {
public:
    explicit Transaction(Database& db);
    ~Transaction();
    void commit();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

private:
    Database& db_;
    bool done_ = false;
    std::optional<NoYield> open_{std::in_place, "a database transaction is open"};
};

}  // namespace vc

// The data control last: it builds on the connection above, and every includer of this header
// sees the whole database layer.
#include "platform/data_control.h"
