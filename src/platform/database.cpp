#include "platform/database.h"

#include "platform/day_number.h"

#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <optional>

#include "platform/numtext.h"
#include "platform/safe_file.h"

namespace vc {
namespace {

// ---- text helpers -------------------------------------------------------------------------

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool iequals(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lower(x) == lower(y); });
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Letters, digits, '_' and any byte of a UTF-8 sequence, as in SQLite's identifiers.
bool isWordChar(char c) {
    auto u = static_cast<unsigned char>(c);
    return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_' ||
           u == '$' || u >= 0x80;
}

std::size_t skipBlanks(std::string_view s, std::size_t i) {
    while (i < s.size() && isBlank(s[i])) ++i;
    return i;
}

std::size_t wordEnd(std::string_view s, std::size_t i) {
    while (i < s.size() && isWordChar(s[i])) ++i;
    return i;
}

std::string quoteIdent(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        out += c;
        if (c == '"') out += '"';
    }
    return out + '"';
}

// ---- dates --------------------------------------------------------------------------------

// Reads the fixed shapes of a date text; each call consumes only on success.
class DateReader {
public:
    explicit DateReader(std::string_view s) : s_(s) {}

    bool number(int minDigits, int maxDigits, long& out) {
        std::size_t j = i_;
        long v = 0;
        while (j < s_.size() && j - i_ < static_cast<std::size_t>(maxDigits) && s_[j] >= '0' && s_[j] <= '9') {
            v = v * 10 + (s_[j++] - '0');
        }
        if (j - i_ < static_cast<std::size_t>(minDigits)) return false;
        out = v;
        i_ = j;
        return true;
    }
    bool symbol(char c) {
        if (i_ >= s_.size() || s_[i_] != c) return false;
        ++i_;
        return true;
    }
    bool blanks() {
        std::size_t j = skipBlanks(s_, i_);
        bool any = j > i_;
        i_ = j;
        return any;
    }
    bool atEnd() const { return i_ == s_.size(); }

private:
    std::string_view s_;
    std::size_t i_ = 0;
};

// "d/m/yyyy" or "d/m/yyyy h:mm[:ss]" as a date serial.
std::optional<double> dateSerial(std::string_view text) {
    DateReader r(text);
    long d = 0, m = 0, y = 0, h = 0, mi = 0, sec = 0;
    r.blanks();
    if (!r.number(1, 2, d) || !r.symbol('/') || !r.number(1, 2, m) || !r.symbol('/') || !r.number(4, 4, y)) {
        return std::nullopt;
    }
    bool blank = r.blanks();
    if (!r.atEnd()) {
        if (!blank || !r.number(1, 2, h) || !r.symbol(':') || !r.number(1, 2, mi)) return std::nullopt;
        if (r.symbol(':') && !r.number(1, 2, sec)) return std::nullopt;
        r.blanks();
        if (!r.atEnd()) return std::nullopt;
    }
    if (m < 1 || m > 12 || d < 1 || d > GiorniDelMese(static_cast<int>(y), static_cast<int>(m)) || h > 23 || mi > 59 || sec > 59) return std::nullopt;
    return static_cast<double>(NumeroGiorno(static_cast<int>(y), static_cast<int>(m), static_cast<int>(d))) + (h * 3600 + mi * 60 + sec) / 86400.0;
}

std::string shortestText(double v) {
    char buf[32];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, end);
}

// ---- SQL functions of the old dialect -----------------------------------------------------

std::string_view valueText(sqlite3_value* v) {
    return {reinterpret_cast<const char*>(sqlite3_value_text(v)), static_cast<std::size_t>(sqlite3_value_bytes(v))};
}

void cdateFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        sqlite3_result_double(ctx, sqlite3_value_double(argv[0]));
        return;
    case SQLITE_NULL:
        sqlite3_result_null(ctx);
        return;
    default:
        if (auto serial = dateSerial(valueText(argv[0]))) {
            sqlite3_result_double(ctx, *serial);
        } else {
            sqlite3_result_null(ctx);
        }
    }
}

void cdblFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        sqlite3_result_double(ctx, sqlite3_value_double(argv[0]));
        return;
    case SQLITE_NULL:
        sqlite3_result_null(ctx);
        return;
    default:
        sqlite3_result_double(ctx, numericValue(valueText(argv[0])));
    }
}

// ---- dialect rewrite ----------------------------------------------------------------------

// End of the string literal, quoted identifier or [bracketed name] that starts at i.
std::size_t literalEnd(std::string_view s, std::size_t i) {
    const char close = s[i] == '[' ? ']' : s[i];
    std::size_t j = i + 1;
    for (;;) {
        std::size_t pos = s.find(close, j);
        if (pos == std::string_view::npos) return s.size();
        if (close != ']' && pos + 1 < s.size() && s[pos + 1] == close) {
            j = pos + 2;
            continue;
        }
        return pos + 1;
    }
}

// A #d/m/yyyy# literal at i becomes its date serial; anything else keeps its '#'.
std::size_t rewriteDateLiteral(std::string_view s, std::size_t i, std::string& out) {
    std::size_t close = s.find('#', i + 1);
    if (close != std::string_view::npos) {
        if (auto serial = dateSerial(s.substr(i + 1, close - i - 1))) {
            out += shortestText(*serial);
            return close + 1;
        }
    }
    out += '#';
    return i + 1;
}

std::size_t rewriteStep(std::string_view s, std::size_t i, std::string& out);

bool isColumnName(std::string_view word) {
    static constexpr std::string_view kRowids[] = {"rowid", "oid", "_rowid_"};
    if (word.empty() || (word[0] >= '0' && word[0] <= '9')) return false;
    return std::none_of(std::begin(kRowids), std::end(kRowids), [&](std::string_view r) { return iequals(word, r); });
}

// A column name at i, "name" or "table.name"; returns its end, or i when there is none.
std::size_t columnEnd(std::string_view s, std::size_t i) {
    std::size_t end = wordEnd(s, i);
    if (end < s.size() && s[end] == '.' && end + 1 < s.size() && isWordChar(s[end + 1])) {
        if (!isColumnName(s.substr(i, end - i))) return i;
        i = end + 1;
        end = wordEnd(s, i);
    }
    return isColumnName(s.substr(i, end - i)) ? end : i;
}

// "cdbl(CDATE(column))" or "CDATE(column)" at i: the column and the end of the call.
std::optional<std::pair<std::string_view, std::size_t>> dateOfColumn(std::string_view s, std::size_t i) {
    auto call = [&](std::size_t at, std::string_view name) -> std::size_t {
        const std::size_t end = wordEnd(s, at);
        if (!iequals(s.substr(at, end - at), name)) return std::string_view::npos;
        const std::size_t open = skipBlanks(s, end);
        return open < s.size() && s[open] == '(' ? skipBlanks(s, open + 1) : std::string_view::npos;
    };
    auto close = [&](std::size_t at) -> std::size_t {
        at = skipBlanks(s, at);
        return at < s.size() && s[at] == ')' ? at + 1 : std::string_view::npos;
    };
    std::size_t inner = call(i, "cdbl");
    const bool outer = inner != std::string_view::npos;
    inner = call(outer ? inner : i, "CDATE");
    if (inner == std::string_view::npos) return std::nullopt;
    const std::size_t nameEnd = columnEnd(s, inner);
    if (nameEnd == inner) return std::nullopt;
    std::size_t end = close(nameEnd);
    if (outer && end != std::string_view::npos) end = close(end);
    if (end == std::string_view::npos) return std::nullopt;
    return std::pair{s.substr(inner, nameEnd - inner), end};
}

// The old engine sorted text without regard to letter case: each ORDER BY term that is a column
// name sorts NOCASE (numbers sort as before). Stops where the list ends.
std::size_t rewriteOrderBy(std::string_view s, std::size_t i, std::string& out) {
    int depth = 0;
    bool termStart = true;
    while (i < s.size()) {
        const char c = s[i];
        if (isBlank(c)) {
            out += c;
            ++i;
            continue;
        }
        if (depth == 0 && (c == ')' || c == ';')) break;
        if (isWordChar(c) && depth == 0) {
            const std::size_t end = wordEnd(s, i);
            const std::string_view word = s.substr(i, end - i);
            if (iequals(word, "LIMIT") || iequals(word, "OFFSET") || iequals(word, "UNION") || iequals(word, "EXCEPT") ||
                iequals(word, "INTERSECT"))
                break;
            if (termStart) {
                termStart = false;
                const std::size_t name = columnEnd(s, i);
                const std::size_t next = skipBlanks(s, name);
                const std::size_t nextEnd = wordEnd(s, next);
                const std::string_view follower = s.substr(next, nextEnd - next);
                if (name != i && (next == s.size() || s[next] == ',' || s[next] == ')' || s[next] == ';' ||
                                  iequals(follower, "ASC") || iequals(follower, "DESC") ||
                                  iequals(follower, "LIMIT") || iequals(follower, "OFFSET"))) {
                    out += s.substr(i, name - i);
                    out += " COLLATE NOCASE";
                    i = name;
                    continue;
                }
            }
        }
        termStart = false;
        if (c == '(') ++depth;
        if (c == ')') --depth;
        if (c == ',' && depth == 0) termStart = true;
        if (c == '(' || c == ')' || c == ',') {
            out += c;
            ++i;
        } else {
            i = rewriteStep(s, i, out);
        }
    }
    return i;
}

std::size_t rewriteWord(std::string_view s, std::size_t i, std::string& out) {
    const std::size_t end = wordEnd(s, i);
    const std::string_view word = s.substr(i, end - i);
    if (auto date = dateOfColumn(s, i)) {
        out += dateSerialSql(date->first);
        return date->second;
    }
    if (iequals(word, "True")) {
        out += '1';
    } else if (iequals(word, "False")) {
        out += '0';
    } else {
        out += word;
        if (iequals(word, "DELETE")) {
            std::size_t star = skipBlanks(s, end);
            if (star < s.size() && s[star] == '*') {
                std::size_t from = skipBlanks(s, star + 1);
                if (iequals(s.substr(from, wordEnd(s, from) - from), "FROM")) {
                    out += ' ';
                    return from;
                }
            }
        }
        if (iequals(word, "ORDER")) {
            const std::size_t by = skipBlanks(s, end);
            const std::size_t byEnd = wordEnd(s, by);
            if (by > end && iequals(s.substr(by, byEnd - by), "BY")) {
                out += s.substr(end, byEnd - end);
                return rewriteOrderBy(s, byEnd, out);
            }
        }
    }
    return end;
}

// One token of the text: a literal or name copied whole, a date literal, a word, or a character.
std::size_t rewriteStep(std::string_view s, std::size_t i, std::string& out) {
    const char c = s[i];
    if (c == '\'' || c == '"' || c == '[') {
        const std::size_t end = literalEnd(s, i);
        out += s.substr(i, end - i);
        return end;
    }
    if (c == '#') return rewriteDateLiteral(s, i, out);
    if (isWordChar(c)) return rewriteWord(s, i, out);
    out += c;
    return i + 1;
}

// ---- statements ---------------------------------------------------------------------------

[[noreturn]] void fail(sqlite3* db) { throw DbError(sqlite3_errmsg(db)); }

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

// Binds args to the parameters first, first + 1, ...
void bindAll(sqlite3_stmt* s, const std::vector<Value>& args, std::size_t first = 1) {
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

// Columns from..end of the current row.
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

// Runs a cached statement for its effect.
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

sqlite3* openHandle(const std::string& path, int flags, bool durable) {
    // SQLite opens whatever stands under the name: a pipe, a device or a link planted there is
    // refused first, as every site file is.
    if (path != ":memory:")
        if (const std::optional<std::string> why = safe_file::problem(path))
            throw DbError("cannot open database '" + path + "': " + *why);
    sqlite3* db = nullptr;
    // The program runs on one thread: a connection needs no mutex of its own, which every call
    // (each field of each row read) would otherwise take and release.
    if (sqlite3_open_v2(path.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        std::string msg = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close_v2(db);
        throw DbError("cannot open database '" + path + "': " + msg);
    }
    sqlite3_busy_timeout(db, Database::DefaultBusyMs);
    constexpr int kFlags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function_v2(db, "CDATE", 1, kFlags, nullptr, cdateFunction, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "CDBL", 1, kFlags, nullptr, cdblFunction, nullptr, nullptr, nullptr);
    // The first read of the schema is what tells a database from any other file.
    const char* setup = durable ? "SELECT count(*) FROM sqlite_master; PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;"
                                : "SELECT count(*) FROM sqlite_master;";
    char* err = nullptr;
    if (sqlite3_exec(db, setup, nullptr, nullptr, &err) != SQLITE_OK) {
        std::string msg = err ? err : sqlite3_errmsg(db);
        sqlite3_free(err);
        sqlite3_close_v2(db);
        throw DbError("cannot open database '" + path + "': " + msg);
    }
    return db;
}

// ---- writes by rowid, shared by both recordsets ------------------------------------------

std::string joined(const std::vector<std::string>& parts) {
    std::string out;
    for (const auto& p : parts) out += (out.empty() ? "" : ", ") + p;
    return out;
}

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
    args.push_back(Value(rowid));
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

// ---- recordsets ---------------------------------------------------------------------------

// Position, edit buffer and field access; the sources supply the moves and the writes.
class RecordsetBase : public Recordset {
public:
    bool BOF() const override {
        ready();
        return bof_;
    }
    bool EOF_() const override {
        ready();
        return eof_;
    }

    void MoveFirst() override {
        ready();
        leave();
        seekFirst() ? arrive() : none();
    }
    void MoveLast() override {
        ready();
        leave();
        seekLast() ? arrive() : none();
    }
    void MoveNext() override {
        ready();
        leave();
        if (eof_) return;
        if (bof_ ? seekFirst() : seekNext()) {
            arrive();
        } else {
            bof_ = deleted_ = false;
            eof_ = true;
        }
    }
    void MovePrevious() override {
        ready();
        leave();
        if (bof_) return;
        if (eof_ ? seekLast() : seekPrevious()) {
            arrive();
        } else {
            eof_ = deleted_ = false;
            bof_ = true;
        }
    }

    void FindFirst(const std::string& criteria, const std::vector<Value>& args) override {
        ready();
        settle(find(criteria, args, false));
    }
    void FindNext(const std::string& criteria, const std::vector<Value>& args) override {
        ready();
        settle(!eof_ && find(criteria, args, !bof_));
    }
    bool NoMatch() const override { return noMatch_; }

    Value field(const std::string& name) const override {
        std::size_t i = index(name);
        if (mode_ != Mode::None) return buffer_[i];
        ready();
        requireRecord();
        return current()[i];
    }
    void setField(const std::string& name, const Value& v) override {
        std::size_t i = index(name);
        if (mode_ == Mode::None) throw DbError("setField without Edit or AddNew.");
        buffer_[i] = v;
        changed_[i] = true;
    }
    std::vector<std::string> fieldNames() const override { return names_; }

    void AddNew() override {
        ready();
        requireUpdatable();
        buffer_.assign(names_.size(), Value());
        changed_.assign(names_.size(), false);
        mode_ = Mode::Add;
    }
    void Edit() override {
        ready();
        requireUpdatable();
        requireRecord();
        buffer_ = current();
        changed_.assign(names_.size(), false);
        mode_ = Mode::Edit;
    }
    void Update() override {
        if (mode_ == Mode::None) throw DbError("Update without Edit or AddNew.");
        if (mode_ == Mode::Add) {
            insertRecord();
            arrive();
        } else if (std::find(changed_.begin(), changed_.end(), true) != changed_.end()) {
            updateRecord();
        }
        mode_ = Mode::None;
    }
    void CancelUpdate() override { mode_ = Mode::None; }
    void Delete() override {
        ready();
        requireUpdatable();
        requireRecord();
        mode_ = Mode::None;
        deleteRecord();
        deleted_ = true;
    }
    bool editing() const override { return mode_ != Mode::None; }

    long AbsolutePosition() override {
        ready();
        return bof_ || eof_ ? -1 : ordinal();
    }
    void setAbsolutePosition(long pos) override {
        ready();
        leave();
        if (pos < 0 || !seekOrdinal(pos)) throw DbError("Invalid record position " + std::to_string(pos) + ".");
        arrive();
    }

protected:
    // A source that reads its records on first use calls this instead of MoveFirst when it opens;
    // the first call that needs a record then runs load() and stands on the first record.
    void defer() { deferred_ = true; }
    virtual void load() {}
    void ready() const {
        if (!deferred_) return;
        deferred_ = false;
        auto* self = const_cast<RecordsetBase*>(this);
        self->load();
        self->MoveFirst();
    }

    // Each seek positions on a record and returns true, or changes nothing and returns false.
    // "Next" and "previous" are relative to the current or the deleted record.
    virtual bool seekFirst() = 0;
    virtual bool seekLast() = 0;
    virtual bool seekNext() = 0;
    virtual bool seekPrevious() = 0;
    virtual bool seekOrdinal(long pos) = 0;
    // 'args' are the values of the criteria's parameters ?1..?n.
    virtual bool find(const std::string& criteria, const std::vector<Value>& args, bool afterCurrent) = 0;
    virtual long ordinal() = 0;
    virtual const std::vector<Value>& current() const = 0;
    virtual bool updatable() const = 0;
    // Writes buffer_/changed_; insertRecord also positions on the new record.
    virtual void insertRecord() = 0;
    virtual void updateRecord() = 0;
    virtual void deleteRecord() = 0;

    std::vector<std::string> names_;
    std::vector<Value> buffer_;
    std::vector<bool> changed_;
    bool deleted_ = false;

private:
    enum class Mode { None, Edit, Add };

    void leave() { mode_ = Mode::None; }
    void arrive() { bof_ = eof_ = deleted_ = false; }
    void none() {
        bof_ = eof_ = true;
        deleted_ = false;
    }
    void settle(bool found) {
        leave();
        noMatch_ = !found;
        if (found) arrive();
    }
    std::size_t index(const std::string& name) const {
        for (std::size_t i = 0; i < names_.size(); ++i) {
            if (iequals(names_[i], name)) return i;
        }
        throw DbError("No field named '" + name + "'.");
    }
    void requireRecord() const {
        if (bof_ || eof_) throw DbError("No current record.");
        if (deleted_) throw DbError("The current record is deleted.");
    }
    void requireUpdatable() const {
        if (!updatable()) throw DbError("Read-only recordset.");
    }

    mutable bool deferred_ = false;
    bool bof_ = true;
    bool eof_ = true;
    bool noMatch_ = false;
    Mode mode_ = Mode::None;
};

// A live view of a table in rowid order: only the current row is held.
class TableRecordset final : public RecordsetBase {
public:
    TableRecordset(std::shared_ptr<Database> db, std::string table)
        : db_(std::move(db)), table_(std::move(table)), from_(" FROM " + quoteIdent(table_)) {
        MoveFirst();
    }

    long RecordCount() override { return static_cast<long>(count(*db_, "SELECT count(*)" + from_, {})); }
    std::vector<Value> valuesAt(long pos) override {
        sqlite3_stmt* s = db_->prepare("SELECT *" + from_ + " ORDER BY rowid LIMIT 1 OFFSET ?1");
        StatementUse use(s);
        bind(s, 1, Value(static_cast<std::int64_t>(pos)));
        if (pos < 0 || !step(s)) throw DbError("Invalid record position " + std::to_string(pos) + ".");
        std::vector<Value> row = rowValues(s, 0);
        row.resize(names_.size());
        return row;
    }

private:
    bool seekFirst() override { return fetch("ORDER BY rowid LIMIT 1", {}); }
    bool seekLast() override { return fetch("ORDER BY rowid DESC LIMIT 1", {}); }
    bool seekNext() override { return fetch("WHERE rowid > ?1 ORDER BY rowid LIMIT 1", {Value(rowid_)}); }
    bool seekPrevious() override { return fetch("WHERE rowid < ?1 ORDER BY rowid DESC LIMIT 1", {Value(rowid_)}); }
    bool seekOrdinal(long pos) override {
        return fetch("ORDER BY rowid LIMIT 1 OFFSET ?1", {Value(static_cast<std::int64_t>(pos))});
    }
    bool find(const std::string& criteria, const std::vector<Value>& args, bool afterCurrent) override {
        if (!afterCurrent) return fetch("WHERE (" + criteria + ") ORDER BY rowid LIMIT 1", args);
        // The current rowid takes the parameter after the criteria's own.
        std::vector<Value> all = args;
        all.emplace_back(rowid_);
        return fetch("WHERE (" + criteria + ") AND rowid > ?" + std::to_string(all.size()) + " ORDER BY rowid LIMIT 1",
                     all);
    }
    long ordinal() override {
        return static_cast<long>(count(*db_, "SELECT count(*)" + from_ + " WHERE rowid < ?1", {Value(rowid_)}));
    }
    const std::vector<Value>& current() const override {
        if (written_) {
            row_ = readRow(*db_, table_, names_, rowid_);
            written_ = false;
        }
        return row_;
    }
    bool updatable() const override { return true; }

    // The row written is read back when it is next read (its defaults included), not at once: a
    // run of AddNew/Update costs one write per record.
    void insertRecord() override {
        rowid_ = insertRow(*db_, table_, names_, buffer_, changed_);
        written_ = true;
    }
    void updateRecord() override {
        updateRow(*db_, table_, rowid_, names_, buffer_, changed_);
        written_ = true;
    }
    void deleteRecord() override { deleteRow(*db_, table_, rowid_); }

    std::string select(const std::string& tail) const { return "SELECT rowid, *" + from_ + " " + tail; }

    // Reads the one row that "SELECT rowid, * FROM table <tail>" gives, if any.
    bool fetch(const std::string& tail, const std::vector<Value>& args) {
        sqlite3_stmt* s = db_->prepare(select(tail));
        StatementUse use(s);
        bindAll(s, args);
        const bool found = step(s);
        followFields(s);
        if (!found) return false;
        rowid_ = sqlite3_column_int64(s, 0);
        row_ = rowValues(s, 1);
        row_.resize(names_.size());
        written_ = false;
        return true;
    }

    // The fields are those of the statement just stepped: a step prepares a cached statement
    // again when the table has changed, so a recordset kept open follows a changed table, and
    // opening one costs no read of the table's schema.
    void followFields(sqlite3_stmt* s) {
        const auto n = static_cast<std::size_t>(sqlite3_column_count(s) - 1);
        bool same = n == names_.size();
        for (std::size_t i = 0; same && i < n; ++i) same = names_[i] == sqlite3_column_name(s, static_cast<int>(i + 1));
        if (same) return;
        names_.clear();
        for (std::size_t i = 0; i < n; ++i) names_.emplace_back(sqlite3_column_name(s, static_cast<int>(i + 1)));
    }

    std::shared_ptr<Database> db_;
    std::string table_;
    std::string from_;
    std::int64_t rowid_ = 0;
    mutable std::vector<Value> row_;
    mutable bool written_ = false;  // row_ is older than the record just written
};

// The rows of a SELECT, in the order read at open. Writable when every column comes from one
// table, which the recordset learns by asking SQLite for each column's origin after adding the
// rowid; such a source keeps only the rowids and reads a row when it is visited, so a million
// rows cost megabytes, not a copy of every value. Any other source keeps its values.
class SqlRecordset final : public RecordsetBase {
public:
    // Prepared at once (a faulty SQL fails here); run when first read, so a source replaced
    // before anyone reads it costs nothing.
    SqlRecordset(std::shared_ptr<Database> db, std::string_view select) : db_(std::move(db)) {
        statement_ = prepareWithRowid(select);
        if (!statement_) statement_ = prepareOnce(db_->handle(), std::string(select));
        for (int i = table_.empty() ? 0 : 1; i < sqlite3_column_count(statement_.get()); ++i)
            names_.push_back(sqlite3_column_name(statement_.get(), i));
        defer();
    }

    long RecordCount() override {
        ready();
        return static_cast<long>(size());
    }
    std::vector<Value> valuesAt(long pos) override {
        ready();
        if (pos < 0 || static_cast<std::size_t>(pos) >= size())
            throw DbError("Invalid record position " + std::to_string(pos) + ".");
        return row(static_cast<std::size_t>(pos));
    }

private:
    // "SELECT rowid AS __rowid, ..." when that is one table's rows, else null.
    OwnedStatement prepareWithRowid(std::string_view select) {
        const std::size_t keyword = skipBlanks(select, 0) + 6;
        std::string sql = "SELECT rowid AS __rowid," + std::string(select.substr(keyword));
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(db_->handle(), rewriteDialect(sql).c_str(), -1, &raw, nullptr) != SQLITE_OK) return nullptr;
        OwnedStatement s(raw);
        const char* table = sqlite3_column_table_name(raw, 0);
        if (!table) return nullptr;
        std::vector<std::string> origins;
        for (int i = 1; i < sqlite3_column_count(raw); ++i) {
            const char* t = sqlite3_column_table_name(raw, i);
            const char* origin = sqlite3_column_origin_name(raw, i);
            if (!t || !origin || std::string_view(t) != table) return nullptr;
            origins.push_back(origin);
        }
        table_ = table;
        origins_ = std::move(origins);
        return s;
    }

    void load() override {
        sqlite3_stmt* s = statement_.get();
        while (step(s)) {
            if (table_.empty())
                rows_.push_back(rowValues(s, 0));
            else
                rowids_.push_back(sqlite3_column_int64(s, 0));
        }
        statement_.reset();
    }

    std::size_t size() const { return table_.empty() ? rows_.size() : rowids_.size(); }
    const std::vector<Value>& row(std::size_t i) const {
        if (table_.empty()) return rows_[i];
        if (i < blockStart_ || i >= blockStart_ + block_.size()) readBlock(i - i % kBlock);
        const auto& r = block_[i - blockStart_];
        if (!r) throw DbError("The record no longer exists.");
        return *r;
    }

    // Rows are read kBlock at a time, in one statement: a walk pays one read per block, not per row.
    static constexpr std::size_t kBlock = 256;
    void readBlock(std::size_t start) const {
        const std::size_t n = std::min(kBlock, rowids_.size() - start);
        if (blockSql_.empty()) {
            std::vector<std::string> names, marks;
            for (const auto& c : origins_) names.push_back(quoteIdent(c));
            for (std::size_t k = 1; k <= kBlock; ++k) marks.push_back("?" + std::to_string(k));
            blockSql_ = "SELECT rowid, " + joined(names) + " FROM " + quoteIdent(table_) + " WHERE rowid IN (" + joined(marks) + ")";
        }
        sqlite3_stmt* s = db_->prepare(blockSql_);
        StatementUse use(s);
        for (std::size_t k = 0; k < n; ++k) bind(s, static_cast<int>(k + 1), Value(rowids_[start + k]));
        std::map<std::int64_t, std::vector<Value>> found;
        while (step(s)) found.emplace(sqlite3_column_int64(s, 0), rowValues(s, 1));
        block_.assign(n, std::nullopt);
        for (std::size_t k = 0; k < n; ++k)
            if (auto it = found.find(rowids_[start + k]); it != found.end()) block_[k] = it->second;
        blockStart_ = start;
    }
    void forgetBlock() { block_.clear(); }

    bool seekFirst() override { return moveTo(0); }
    bool seekLast() override { return size() > 0 && moveTo(size() - 1); }
    // A deleted row was erased, so its successor already stands at at_.
    bool seekNext() override { return moveTo(deleted_ ? at_ : at_ + 1); }
    bool seekPrevious() override { return at_ > 0 && moveTo(at_ - 1); }
    bool seekOrdinal(long pos) override { return moveTo(static_cast<std::size_t>(pos)); }
    bool moveTo(std::size_t i) {
        if (i >= size()) return false;
        at_ = i;
        return true;
    }

    // The criteria are evaluated by SQLite over each held row, bound as a one-row subquery whose
    // columns take the parameters after the criteria's own.
    bool find(const std::string& criteria, const std::vector<Value>& args, bool afterCurrent) override {
        std::vector<std::string> columns;
        for (std::size_t i = 0; i < names_.size(); ++i) {
            columns.push_back("?" + std::to_string(args.size() + i + 1) + " AS " + quoteIdent(names_[i]));
        }
        sqlite3_stmt* s = db_->prepare("SELECT 1 FROM (SELECT " + joined(columns) + ") WHERE (" + criteria + ")");
        for (std::size_t i = afterCurrent ? (deleted_ ? at_ : at_ + 1) : 0; i < size(); ++i) {
            StatementUse use(s);
            bindAll(s, args);
            bindAll(s, row(i), args.size() + 1);
            if (step(s)) return moveTo(i);
        }
        return false;
    }
    long ordinal() override { return static_cast<long>(at_); }
    const std::vector<Value>& current() const override { return row(at_); }
    bool updatable() const override { return !table_.empty(); }

    void insertRecord() override {
        rowids_.push_back(insertRow(*db_, table_, origins_, buffer_, changed_));
        forgetBlock();
        moveTo(rowids_.size() - 1);
    }
    void updateRecord() override {
        updateRow(*db_, table_, rowids_[at_], origins_, buffer_, changed_);
        forgetBlock();
    }
    void deleteRecord() override {
        deleteRow(*db_, table_, rowids_[at_]);
        rowids_.erase(rowids_.begin() + static_cast<std::ptrdiff_t>(at_));
        forgetBlock();
    }

    std::shared_ptr<Database> db_;
    OwnedStatement statement_;          // until the rows are read
    std::string table_;                 // empty: read-only, the values held in rows_
    std::vector<std::string> origins_;  // the table column behind each field
    std::vector<std::vector<Value>> rows_;
    std::vector<std::int64_t> rowids_;
    std::size_t at_ = 0;
    mutable std::string blockSql_;
    mutable std::size_t blockStart_ = 0;
    mutable std::vector<std::optional<std::vector<Value>>> block_;  // rows blockStart_.., Null when gone
};

bool isSelect(std::string_view source) {
    std::size_t i = skipBlanks(source, 0);
    return iequals(source.substr(i, 6), "SELECT") && (i + 6 == source.size() || !isWordChar(source[i + 6]));
}

std::string trimmed(std::string_view s) {
    std::size_t b = skipBlanks(s, 0);
    std::size_t e = s.size();
    while (e > b && isBlank(s[e - 1])) --e;
    return std::string(s.substr(b, e - b));
}

}  // namespace

// ---- free functions -----------------------------------------------------------------------

std::string sqlQuote(std::string_view text) {
    if (text.find('\0') != std::string_view::npos) {
        // A literal cannot hold a NUL: spell the bytes out, so the text is matched whole.
        static const char* const hex = "0123456789ABCDEF";
        std::string out = "CAST(X'";
        for (unsigned char c : text) {
            out += hex[c >> 4];
            out += hex[c & 15];
        }
        return out + "' AS TEXT)";
    }
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out + "'";
}

std::string dateSerialSql(std::string_view column) {
    const std::string c(column);
    // The serial of a day, Null when the month has no such day.
    auto serial = [](const std::string& y, const std::string& m, const std::string& d) {
        const std::string leap = "(" + y + " % 4 = 0 AND (" + y + " % 100 <> 0 OR " + y + " % 400 = 0))";
        const std::string days = "CASE WHEN " + m + " = 2 THEN 28 + " + leap + " WHEN " + m + " IN (4, 6, 9, 11) THEN 30 ELSE 31 END";
        return "CASE WHEN " + m + " BETWEEN 1 AND 12 AND " + d + " BETWEEN 1 AND " + days + " THEN julianday(printf('%04d-%02d-%02d', " +
               y + ", " + m + ", " + d + ")) - 2415018.5 END";
    };
    auto integer = [](const std::string& text) { return "CAST(" + text + " AS INTEGER)"; };
    const std::string digit = "[0-9]", year = digit + digit + digit + digit;

    // dd/mm/yyyy, as the transit log writes it, read at fixed places.
    const std::string usual = "typeof(" + c + ") = 'text' AND length(CAST(" + c + " AS BLOB)) = 10 AND " + c + " GLOB '" +
                              digit + digit + "/" + digit + digit + "/" + year + "'";
    const std::string usualSerial =
        serial(integer("substr(" + c + ", 7, 4)"), integer("substr(" + c + ", 4, 2)"), integer("substr(" + c + ", 1, 2)"));

    // Any other text: blanks trimmed and the inner ones made spaces; the date runs to the first
    // space, the time (if any) follows the spaces.
    const std::string spaced = "replace(replace(replace(trim(" + c + ", char(32, 9, 10, 13)), char(9), ' '), char(10), ' '), char(13), ' ')";
    const std::string gap = "instr(" + spaced + " || ' ', ' ')";
    const std::string date = "substr(" + spaced + ", 1, " + gap + " - 1)";
    const std::string time = "ltrim(substr(" + spaced + ", " + gap + "))";
    std::string shapes;
    for (const std::string& d : {digit, digit + digit})
        for (const std::string& m : {digit, digit + digit})
            shapes += (shapes.empty() ? "" : " OR ") + date + " GLOB '" + d + "/" + m + "/" + year + "'";
    const std::string afterHour = "substr(" + time + ", instr(" + time + ", ':') + 1)";
    const std::string colon2 = "instr(" + afterHour + ", ':')";
    const std::string h = integer(time), mi = integer(afterHour);
    const std::string sec = "(CASE WHEN " + colon2 + " > 0 THEN " + integer("substr(" + afterHour + ", " + colon2 + " + 1)") + " ELSE 0 END)";
    const std::string timeOk = "(" + time + " = '' OR (" + time + " NOT GLOB '*[^0-9:]*' AND instr(" + time + ", ':') IN (2, 3) AND (CASE WHEN " +
                               colon2 + " = 0 THEN length(" + afterHour + ") IN (1, 2) ELSE " + colon2 + " IN (2, 3) AND length(substr(" +
                               afterHour + ", " + colon2 + " + 1)) IN (1, 2) END) AND " + h + " <= 23 AND " + mi + " <= 59 AND " + sec +
                               " <= 59))";
    const std::string otherSerial = "(" +
                                    serial(integer("substr(" + date + ", -4)"),
                                           integer("substr(" + date + ", instr(" + date + ", '/') + 1)"), integer(date)) +
                                    ") + (" + h + " * 3600 + " + mi + " * 60 + " + sec + ") / 86400.0";

    return "(CASE WHEN typeof(" + c + ") IN ('integer', 'real') THEN CAST(" + c + " AS REAL) WHEN " + usual + " THEN " + usualSerial +
           " WHEN instr(CAST(" + c + " AS BLOB), x'00') = 0 AND (" + shapes + ") AND " + timeOk + " THEN " + otherSerial + " END)";
}

std::string rewriteDialect(std::string_view sql) {
    std::string out;
    out.reserve(sql.size());
    for (std::size_t i = 0; i < sql.size();) i = rewriteStep(sql, i, out);
    return out;
}

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

int Database::execute(const std::string& sql) {
    char* err = nullptr;
    if (sqlite3_exec(db_, rewriteDialect(sql).c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::string msg = err ? err : sqlite3_errmsg(db_);
        sqlite3_free(err);
        throw DbError(msg);
    }
    return sqlite3_changes(db_);
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
    OwnedStatement s = prepareOnce(db_, sql);
    std::vector<std::vector<std::pair<std::string, Value>>> rows;
    while (step(s.get())) {
        auto& row = rows.emplace_back();
        for (int i = 0; i < sqlite3_column_count(s.get()); ++i) {
            row.emplace_back(sqlite3_column_name(s.get(), i), column(s.get(), i));
        }
    }
    return rows;
}

void Database::executeWith(const std::string& sql, const std::vector<Value>& args) { run(*this, sql, args); }

void Database::forEachRow(const std::string& sql, const std::function<void(const std::vector<Value>&)>& row,
                          std::vector<std::string>* names) {
    OwnedStatement s = prepareOnce(db_, sql);
    if (names) {
        names->clear();
        for (int i = 0; i < sqlite3_column_count(s.get()); ++i) names->emplace_back(sqlite3_column_name(s.get(), i));
    }
    while (step(s.get())) row(rowValues(s.get(), 0));
}

void Database::setBusyTimeout(int ms) { sqlite3_busy_timeout(db_, ms); }

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
}

// ---- DataControl --------------------------------------------------------------------------

std::unique_ptr<Recordset> openRecordset(std::shared_ptr<Database> db, const std::string& source) {
    if (isSelect(source)) return std::make_unique<SqlRecordset>(std::move(db), source);
    std::string name = trimmed(source);
    std::optional<std::string> table = tableName(*db, name);
    if (!table) throw DbError("no such table: " + name);
    return std::make_unique<TableRecordset>(std::move(db), *table);
}

void DataControl::Refresh() {
    std::shared_ptr<Database> db = db_;
    if (!db || openPath_ != DatabaseName) db = Database::open(DatabaseName, durable);
    rs_ = openRecordset(db, RecordSource);
    db_ = std::move(db);
    openPath_ = DatabaseName;
}

bool DataControl::tryRefresh(std::string* error) noexcept {
    try {
        Refresh();
        return true;
    } catch (const std::exception& e) {
        if (error) *error = e.what();
        return false;
    }
}

std::shared_ptr<Recordset> DataControl::recordset() {
    if (!rs_) throw DbError("The data control has not been refreshed.");
    return rs_;
}

Database& DataControl::database() {
    if (!db_) throw DbError("The data control has not been refreshed.");
    return *db_;
}

}  // namespace vc
