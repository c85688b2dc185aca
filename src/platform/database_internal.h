#pragma once
// Helpers shared by the files of the database layer (not for the windows): the scanning of SQL
// text, and the SQL functions the old dialect needs on every connection.

#include <sqlite3.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace vc::detail {

inline char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

inline bool iequals(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lower(x) == lower(y); });
}

inline bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Letters, digits, '_' and any byte of a UTF-8 sequence, as in SQLite's identifiers.
inline bool isWordChar(char c) {
    auto u = static_cast<unsigned char>(c);
    return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_' ||
           u == '$' || u >= 0x80;
}

inline std::size_t skipBlanks(std::string_view s, std::size_t i) {
    while (i < s.size() && isBlank(s[i])) ++i;
    return i;
}

inline std::size_t wordEnd(std::string_view s, std::size_t i) {
    while (i < s.size() && isWordChar(s[i])) ++i;
    return i;
}

inline std::string quoteIdent(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        out += c;
        if (c == '"') out += '"';
    }
    return out + '"';
}

inline std::string joined(const std::vector<std::string>& parts) {
    std::string out;
    for (const auto& p : parts) out += (out.empty() ? "" : ", ") + p;
    return out;
}

inline std::string_view valueText(sqlite3_value* v) {
    return {reinterpret_cast<const char*>(sqlite3_value_text(v)), static_cast<std::size_t>(sqlite3_value_bytes(v))};
}

// Registers CDATE and CDBL on a connection just opened (sql_dialect.cpp).
void defineDialectFunctions(sqlite3* db);

}  // namespace vc::detail
