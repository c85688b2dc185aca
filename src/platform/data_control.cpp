#include "platform/data_control.h"

namespace vc {

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
