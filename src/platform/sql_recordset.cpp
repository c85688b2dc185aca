#include "platform/sql_recordset.h"

#include <map>
#include <optional>

#include "platform/recordset_base.h"
#include "platform/sql_dialect.h"
#include "platform/statement.h"
#include "platform/table_rows.h"

namespace vc::detail {
namespace {

// The rows of a SELECT, in the order read at open. Writable when every column comes from one
// table, which the recordset learns by asking SQLite for each column's origin after adding the
// rowid; such a source keeps only the rowids and reads a row when it is visited, so a million
// rows cost megabytes, not a copy of every value. Any other source keeps its values.
class SqlRecordset final : public RecordsetBase {
public:
    // Prepared at once (a faulty SQL fails here); run when first read, so a source replaced
    // before anyone reads it costs nothing.
    SqlRecordset(std::shared_ptr<Database> db, std::string_view select) : db_(std::move(db)) {
        statement_ = prepareWithRowid(select);
        if (!statement_) statement_ = prepareOnce(db_->handle(), std::string(select));
        for (int i = table_.empty() ? 0 : 1; i < sqlite3_column_count(statement_.get()); ++i)
            names_.push_back(sqlite3_column_name(statement_.get(), i));
        defer();
    }

    long RecordCount() override {
        ready();
        return static_cast<long>(size());
    }
    std::vector<Value> valuesAt(long pos) override {
        ready();
        if (pos < 0 || static_cast<std::size_t>(pos) >= size())
            throw DbError("Invalid record position " + std::to_string(pos) + ".");
        return row(static_cast<std::size_t>(pos));
    }

private:
    // "SELECT rowid AS __rowid, ..." when that is one table's rows, else null.
    OwnedStatement prepareWithRowid(std::string_view select) {
        const std::size_t keyword = skipBlanks(select, 0) + 6;
        std::string sql = "SELECT rowid AS __rowid," + std::string(select.substr(keyword));
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(db_->handle(), rewriteDialect(sql).c_str(), -1, &raw, nullptr) != SQLITE_OK) return nullptr;
        OwnedStatement s(raw);
        const char* table = sqlite3_column_table_name(raw, 0);
        if (!table) return nullptr;
        std::vector<std::string> origins;
        for (int i = 1; i < sqlite3_column_count(raw); ++i) {
            const char* t = sqlite3_column_table_name(raw, i);
            const char* origin = sqlite3_column_origin_name(raw, i);
            if (!t || !origin || std::string_view(t) != table) return nullptr;
            origins.push_back(origin);
        }
        table_ = table;
        origins_ = std::move(origins);
        return s;
    }

    void load() override {
        sqlite3_stmt* s = statement_.get();
        while (step(s)) {
            if (table_.empty())
                rows_.push_back(rowValues(s, 0));
            else
                rowids_.push_back(sqlite3_column_int64(s, 0));
        }
        statement_.reset();
    }

    std::size_t size() const { return table_.empty() ? rows_.size() : rowids_.size(); }
    const std::vector<Value>& row(std::size_t i) const {
        if (table_.empty()) return rows_[i];
        if (i < blockStart_ || i >= blockStart_ + block_.size()) readBlock(i - i % kBlock);
        const auto& r = block_[i - blockStart_];
        if (!r) throw DbError("The record no longer exists.");
        return *r;
    }

    // Rows are read kBlock at a time, in one statement: a walk pays one read per block, not per row.
    static constexpr std::size_t kBlock = 256;
    void readBlock(std::size_t start) const {
        const std::size_t n = std::min(kBlock, rowids_.size() - start);
        if (blockSql_.empty()) {
            std::vector<std::string> names, marks;
            for (const auto& c : origins_) names.push_back(quoteIdent(c));
            for (std::size_t k = 1; k <= kBlock; ++k) marks.push_back("?" + std::to_string(k));
            blockSql_ = "SELECT rowid, " + joined(names) + " FROM " + quoteIdent(table_) + " WHERE rowid IN (" + joined(marks) + ")";
        }
        sqlite3_stmt* s = db_->prepare(blockSql_);
        StatementUse use(s);
        for (std::size_t k = 0; k < n; ++k) bind(s, static_cast<int>(k + 1), Value(rowids_[start + k]));
        std::map<std::int64_t, std::vector<Value>> found;
        while (step(s)) found.emplace(sqlite3_column_int64(s, 0), rowValues(s, 1));
        block_.assign(n, std::nullopt);
        for (std::size_t k = 0; k < n; ++k)
            if (auto it = found.find(rowids_[start + k]); it != found.end()) block_[k] = it->second;
        blockStart_ = start;
    }
    void forgetBlock() { block_.clear(); }

    bool seekFirst() override { return moveTo(0); }
    bool seekLast() override { return size() > 0 && moveTo(size() - 1); }
    // A deleted row was erased, so its successor already stands at at_.
    bool seekNext() override { return moveTo(deleted_ ? at_ : at_ + 1); }
    bool seekPrevious() override { return at_ > 0 && moveTo(at_ - 1); }
    bool seekOrdinal(long pos) override { return moveTo(static_cast<std::size_t>(pos)); }
    bool moveTo(std::size_t i) {
        if (i >= size()) return false;
        at_ = i;
        return true;
    }

    // The criteria are evaluated by SQLite over each held row, bound as a one-row subquery whose
    // columns take the parameters after the criteria's own.
    bool find(const std::string& criteria, const std::vector<Value>& args, bool afterCurrent) override {
        std::vector<std::string> columns;
        for (std::size_t i = 0; i < names_.size(); ++i) {
            columns.push_back("?" + std::to_string(args.size() + i + 1) + " AS " + quoteIdent(names_[i]));
        }
        sqlite3_stmt* s = db_->prepare("SELECT 1 FROM (SELECT " + joined(columns) + ") WHERE (" + criteria + ")");
        for (std::size_t i = afterCurrent ? (deleted_ ? at_ : at_ + 1) : 0; i < size(); ++i) {
            StatementUse use(s);
            bindAll(s, args);
            bindAll(s, row(i), args.size() + 1);
            if (step(s)) return moveTo(i);
        }
        return false;
    }
    long ordinal() override { return static_cast<long>(at_); }
    const std::vector<Value>& current() const override { return row(at_); }
    bool updatable() const override { return !table_.empty(); }

    void insertRecord() override {
        rowids_.push_back(insertRow(*db_, table_, origins_, buffer_, changed_));
        forgetBlock();
        moveTo(rowids_.size() - 1);
    }
    void updateRecord() override {
        updateRow(*db_, table_, rowids_[at_], origins_, buffer_, changed_);
        forgetBlock();
    }
    void deleteRecord() override {
        deleteRow(*db_, table_, rowids_[at_]);
        rowids_.erase(rowids_.begin() + static_cast<std::ptrdiff_t>(at_));
        forgetBlock();
    }

    std::shared_ptr<Database> db_;
    OwnedStatement statement_;          // until the rows are read
    std::string table_;                 // empty: read-only, the values held in rows_
    std::vector<std::string> origins_;  // the table column behind each field
    std::vector<std::vector<Value>> rows_;
    std::vector<std::int64_t> rowids_;
    std::size_t at_ = 0;
    mutable std::string blockSql_;
    mutable std::size_t blockStart_ = 0;
    mutable std::vector<std::optional<std::vector<Value>>> block_;  // rows blockStart_.., Null when gone
};

}  // namespace

std::unique_ptr<Recordset> openSqlRecordset(std::shared_ptr<Database> db, std::string_view select) {
    return std::make_unique<SqlRecordset>(std::move(db), select);
}

}  // namespace vc::detail
