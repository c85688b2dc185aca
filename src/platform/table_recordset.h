#pragma once
// The recordset over a table (not for the windows; openRecordset chooses it).

#include <memory>
#include <string>

#include "platform/database.h"

namespace vc::detail {

std::unique_ptr<Recordset> openTableRecordset(std::shared_ptr<Database> db, std::string table);

}  // namespace vc::detail
