#pragma once
// The data control a window binds to a database file and a record source (the contracts are in
// database.h).

#include <memory>
#include <string>

#include "platform/database.h"
#include "platform/recordset.h"

namespace vc {

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

}  // namespace vc
