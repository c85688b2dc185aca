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
    // DbError when never refreshed. Used in place (*recordset()) only where nothing yields before
    // the last use; across a yield (events.h) it is held in a HeldRecordset.
    std::shared_ptr<Recordset> recordset();
    bool bound() const { return rs_ != nullptr; }
    Database& database();

private:
    std::shared_ptr<Database> db_;
    std::string openPath_;
    std::shared_ptr<Recordset> rs_;
};

// A data control's recordset held across yields (events.h). It owns what it holds: a nested
// handler that refreshes the control, or gives it another source or database, leaves it as it
// was, its records, position and pending edit included. Until then it is the control's own
// recordset, so a move made through the control is a move of the held one (the window shows
// the record a walk stands on).
class HeldRecordset {
public:
    HeldRecordset() = default;  // holds nothing (a look-up that found nothing)
    // Throws DbError when the control was never refreshed.
    explicit HeldRecordset(DataControl& d) : rs_(d.recordset()) {}
    explicit operator bool() const { return rs_ != nullptr; }
    Recordset& operator*() const { return *rs_; }
    Recordset* operator->() const { return rs_.get(); }

private:
    std::shared_ptr<Recordset> rs_;
};

}  // namespace vc
