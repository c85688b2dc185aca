#pragma once
// The recordset over an SQL SELECT (not for the windows; openRecordset chooses it).

#include <memory>
#include <string_view>

#include "platform/database.h"

namespace vc::detail {

std::unique_ptr<Recordset> openSqlRecordset(std::shared_ptr<Database> db, std::string_view select);

}  // namespace vc::detail
