#include "platform/recordset.h"

#include "platform/database_internal.h"
#include "platform/sql_recordset.h"
#include "platform/statement.h"
#include "platform/table_recordset.h"

namespace vc {
namespace {

using namespace detail;

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

std::unique_ptr<Recordset> openRecordset(std::shared_ptr<Database> db, const std::string& source) {
    if (isSelect(source)) return openSqlRecordset(std::move(db), source);
    std::string name = trimmed(source);
    std::optional<std::string> table = tableName(*db, name);
    if (!table) throw DbError("no such table: " + name);
    return openTableRecordset(std::move(db), *table);
}

}  // namespace vc
