#include "platform/sql_dialect.h"

#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <optional>

#include "platform/database_internal.h"
#include "platform/day_number.h"
#include "platform/numtext.h"

namespace vc {
namespace {

using namespace detail;

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

// A number stays that number and NULL stays NULL; a text is read by 'fromText' (NULL when it
// gives nothing).
template <class FromText>
void numberFunction(sqlite3_context* ctx, sqlite3_value* arg, FromText fromText) {
    switch (sqlite3_value_type(arg)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        sqlite3_result_double(ctx, sqlite3_value_double(arg));
        return;
    case SQLITE_NULL:
        sqlite3_result_null(ctx);
        return;
    default:
        if (const std::optional<double> n = fromText(valueText(arg))) {
            sqlite3_result_double(ctx, *n);
        } else {
            sqlite3_result_null(ctx);
        }
    }
}

void cdateFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    numberFunction(ctx, argv[0], [](std::string_view t) { return dateSerial(t); });
}

void cdblFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    numberFunction(ctx, argv[0], [](std::string_view t) { return std::optional<double>(numericValue(t)); });
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
}  // namespace

namespace detail {

void defineDialectFunctions(sqlite3* db) {
    constexpr int kFlags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function_v2(db, "CDATE", 1, kFlags, nullptr, cdateFunction, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "CDBL", 1, kFlags, nullptr, cdblFunction, nullptr, nullptr, nullptr);
}

}  // namespace detail

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

}  // namespace vc
