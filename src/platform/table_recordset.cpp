#include "platform/table_recordset.h"

#include "platform/recordset_base.h"
#include "platform/statement.h"
#include "platform/table_rows.h"

namespace vc::detail {
namespace {

// A live view of a table in rowid order: only the current row is held.
class TableRecordset final : public RecordsetBase {
public:
    TableRecordset(std::shared_ptr<Database> db, std::string table)
        : db_(std::move(db)), table_(std::move(table)), from_(" FROM " + quoteIdent(table_)) {
        MoveFirst();
    }

    long RecordCount() override { return static_cast<long>(count(*db_, "SELECT count(*)" + from_, {})); }
    std::vector<Value> valuesAt(long pos) override {
        sqlite3_stmt* s = db_->prepare("SELECT *" + from_ + " ORDER BY rowid LIMIT 1 OFFSET ?1");
        StatementUse use(s);
        bind(s, 1, Value(static_cast<std::int64_t>(pos)));
        if (pos < 0 || !step(s)) throw DbError("Invalid record position " + std::to_string(pos) + ".");
        std::vector<Value> row = rowValues(s, 0);
        row.resize(names_.size());
        return row;
    }

private:
    bool seekFirst() override { return fetch("ORDER BY rowid LIMIT 1", {}); }
    bool seekLast() override { return fetch("ORDER BY rowid DESC LIMIT 1", {}); }
    bool seekNext() override { return fetch("WHERE rowid > ?1 ORDER BY rowid LIMIT 1", {Value(rowid_)}); }
    bool seekPrevious() override { return fetch("WHERE rowid < ?1 ORDER BY rowid DESC LIMIT 1", {Value(rowid_)}); }
    bool seekOrdinal(long pos) override {
        return fetch("ORDER BY rowid LIMIT 1 OFFSET ?1", {Value(static_cast<std::int64_t>(pos))});
    }
    bool find(const std::string& criteria, const std::vector<Value>& args, bool afterCurrent) override {
        if (!afterCurrent) return fetch("WHERE (" + criteria + ") ORDER BY rowid LIMIT 1", args);
        // The current rowid takes the parameter after the criteria's own.
        std::vector<Value> all = args;
        all.emplace_back(rowid_);
        return fetch("WHERE (" + criteria + ") AND rowid > ?" + std::to_string(all.size()) + " ORDER BY rowid LIMIT 1",
                     all);
    }
    long ordinal() override {
        return static_cast<long>(count(*db_, "SELECT count(*)" + from_ + " WHERE rowid < ?1", {Value(rowid_)}));
    }
    const std::vector<Value>& current() const override {
        if (written_) {
            row_ = readRow(*db_, table_, names_, rowid_);
            written_ = false;
        }
        return row_;
    }
    bool updatable() const override { return true; }

    // The row written is read back when it is next read (its defaults included), not at once: a
    // run of AddNew/Update costs one write per record.
    void insertRecord() override {
        rowid_ = insertRow(*db_, table_, names_, buffer_, changed_);
        written_ = true;
    }
    void updateRecord() override {
        updateRow(*db_, table_, rowid_, names_, buffer_, changed_);
        written_ = true;
    }
    void deleteRecord() override { deleteRow(*db_, table_, rowid_); }

    std::string select(const std::string& tail) const { return "SELECT rowid, *" + from_ + " " + tail; }

    // Reads the one row that "SELECT rowid, * FROM table <tail>" gives, if any.
    bool fetch(const std::string& tail, const std::vector<Value>& args) {
        sqlite3_stmt* s = db_->prepare(select(tail));
        StatementUse use(s);
        bindAll(s, args);
        const bool found = step(s);
        followFields(s);
        if (!found) return false;
        rowid_ = sqlite3_column_int64(s, 0);
        row_ = rowValues(s, 1);
        row_.resize(names_.size());
        written_ = false;
        return true;
    }

    // The fields are those of the statement just stepped: a step prepares a cached statement
    // again when the table has changed, so a recordset kept open follows a changed table, and
    // opening one costs no read of the table's schema.
    void followFields(sqlite3_stmt* s) {
        const auto n = static_cast<std::size_t>(sqlite3_column_count(s) - 1);
        bool same = n == names_.size();
        for (std::size_t i = 0; same && i < n; ++i) same = names_[i] == sqlite3_column_name(s, static_cast<int>(i + 1));
        if (same) return;
        names_.clear();
        for (std::size_t i = 0; i < n; ++i) names_.emplace_back(sqlite3_column_name(s, static_cast<int>(i + 1)));
    }

    std::shared_ptr<Database> db_;
    std::string table_;
    std::string from_;
    std::int64_t rowid_ = 0;
    mutable std::vector<Value> row_;
    mutable bool written_ = false;  // row_ is older than the record just written
};

}  // namespace

std::unique_ptr<Recordset> openTableRecordset(std::shared_ptr<Database> db, std::string table) {
    return std::make_unique<TableRecordset>(std::move(db), std::move(table));
}

}  // namespace vc::detail
