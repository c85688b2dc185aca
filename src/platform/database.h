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
//   position, pending edit and database). A handler that walks or edits across a yield (doEvents,
//   a sleep, a modal wait, an exchange with a reader) keeps its own pointer until it is done, so
//   nothing a nested handler refreshes meanwhile can free what it works on. A plain reference
//   (*recordset()) does where nothing yields before its last use.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/value.h"

struct sqlite3;
struct sqlite3_stmt;

namespace vc {

class DbError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// 'text' as an SQL text value: a literal with its single quotes doubled, or, for a text holding a
// NUL byte (a literal cannot), the bytes spelled out in hexadecimal and cast to text, so the whole
// text is compared and nothing of it is read as SQL.
std::string sqlQuote(std::string_view text);

// Rewrites the old dialect into SQLite's (see the contracts above). Exposed for tests.
std::string rewriteDialect(std::string_view sql);

// CDATE of a column written in SQLite's built-in functions, equal to it for every value. The
// rewrite puts it in place of CDATE(column) and cdbl(CDATE(column)), so an index on this
// expression (which the stock sqlite3 shell maintains too) serves date ranges and date order.
std::string dateSerialSql(std::string_view column);

class Database {
public:
    // Opens (does not create) the file; throws DbError when it is missing or not a database.
    static std::shared_ptr<Database> open(const std::string& path, bool durable = true);
    // Creates the file when missing (used to build site folders and in tests).
    static std::shared_ptr<Database> create(const std::string& path, bool durable = true);
    // A private in-memory database (tests).
    static std::shared_ptr<Database> memory();
    ~Database();

    // Runs one or more statements; returns the rows changed by the last one.
    int execute(const std::string& sql);
    bool tryExecute(const std::string& sql, std::string* error = nullptr) noexcept;
    // Runs one statement with the values of its parameters ?1..?n; prepared once and cached, so
    // a run of them (a row written at a time) costs a step each.
    void executeWith(const std::string& sql, const std::vector<Value>& args);
    // Runs a query and returns every row (column name -> value, in column order).
    std::vector<std::vector<std::pair<std::string, Value>>> query(const std::string& sql);
    // Runs a query and hands each row's values, in column order, to 'row' as it is read; 'names',
    // when given, gets the columns' names before the first row.
    void forEachRow(const std::string& sql, const std::function<void(const std::vector<Value>&)>& row,
                    std::vector<std::string>* names = nullptr);
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

// Rolls back unless committed.
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
};

class Recordset {
public:
    virtual ~Recordset() = default;

    virtual bool BOF() const = 0;
    virtual bool EOF_() const = 0;  // EOF is a macro in <cstdio>
    // The number of records (the whole source; callers may MoveLast first, as the windows do).
    virtual long RecordCount() = 0;

    // A move cancels an edit in progress. MoveNext at EOF and MovePrevious at BOF stay where they
    // are; MoveFirst and MoveLast on no records leave BOF and EOF both true.
    virtual void MoveFirst() = 0;
    virtual void MoveLast() = 0;
    virtual void MoveNext() = 0;
    virtual void MovePrevious() = 0;

    // Positions on the first record that matches 'criteria' (an SQL condition on the source's
    // columns); NoMatch() tells whether none did, and then the position is unchanged. Parameters
    // ?1..?n of the criteria take the values of 'args', so one text serves every value looked up
    // and its statement is prepared once.
    virtual void FindFirst(const std::string& criteria, const std::vector<Value>& args = {}) = 0;
    virtual void FindNext(const std::string& criteria, const std::vector<Value>& args = {}) = 0;
    virtual bool NoMatch() const = 0;

    // Field of the current record by name, case-insensitive. Throws DbError at BOF/EOF or for an
    // unknown field. While editing, reads give the edited value.
    virtual Value field(const std::string& name) const = 0;
    // Sets a field of the record being edited or added (after Edit or AddNew).
    virtual void setField(const std::string& name, const Value& v) = 0;
    virtual std::vector<std::string> fieldNames() const = 0;

    virtual void AddNew() = 0;    // starts a new record; Update inserts it and makes it current
    virtual void Edit() = 0;      // starts editing the current record
    virtual void Update() = 0;    // writes the edit or the new record (durable when it returns)
    virtual void CancelUpdate() = 0;
    virtual void Delete() = 0;    // deletes the current record; the position stays on it (deleted)
                                  // until the next move, as the windows expect
    virtual bool editing() const = 0;

    // Position as a 0-based ordinal among the records, for grids and bookmarks; -1 at BOF/EOF.
    virtual long AbsolutePosition() = 0;
    virtual void setAbsolutePosition(long pos) = 0;  // throws DbError when out of range
    // The values of the record at a 0-based position, in fieldNames() order, without moving or
    // touching an edit (for grids); throws DbError when out of range.
    virtual std::vector<Value> valuesAt(long pos) = 0;
};

// The data control: DatabaseName + RecordSource, Refresh opens the recordset on its first record.
class DataControl {
public:
    std::string DatabaseName;
    std::string RecordSource;  // a table name or an SQL SELECT
    bool durable = true;

    // Opens the database (once per DatabaseName) and the recordset; throws DbError.
    void Refresh();
    bool tryRefresh(std::string* error = nullptr) noexcept;
    // The recordset of the last Refresh, shared with whoever still holds an earlier one; throws
    // DbError when never refreshed.
    std::shared_ptr<Recordset> recordset();
    bool bound() const { return rs_ != nullptr; }
    Database& database();

private:
    std::shared_ptr<Database> db_;
    std::string openPath_;
    std::shared_ptr<Recordset> rs_;
};

// Opens the recordset of a record source on an open database.
std::unique_ptr<Recordset> openRecordset(std::shared_ptr<Database> db, const std::string& source);

}  // namespace vc
