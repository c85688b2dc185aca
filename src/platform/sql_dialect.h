#pragma once
// The old dialect the windows send, rewritten into SQLite's, and the quoting of text for SQL
// (the contracts are in database.h).

#include <string>
#include <string_view>

namespace vc {

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

}  // namespace vc
