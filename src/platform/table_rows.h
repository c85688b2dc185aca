#pragma once
// A table's rows by rowid, written and read for both recordsets (not for the windows). Only the
// fields marked changed are written.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/database.h"

namespace vc::detail {

// Inserts a row and returns its rowid.
std::int64_t insertRow(Database& db, const std::string& table, const std::vector<std::string>& columns,
                       const std::vector<Value>& values, const std::vector<bool>& changed);
// Throws DbError when the row no longer exists.
void updateRow(Database& db, const std::string& table, std::int64_t rowid, const std::vector<std::string>& columns,
               const std::vector<Value>& values, const std::vector<bool>& changed);
void deleteRow(Database& db, const std::string& table, std::int64_t rowid);
// The row's values of 'columns'; throws DbError when it no longer exists.
std::vector<Value> readRow(Database& db, const std::string& table, const std::vector<std::string>& columns,
                           std::int64_t rowid);

}  // namespace vc::detail
