#pragma once
// What both recordsets share (not for the windows): the position, the edit buffer and field
// access over the moves and writes each source supplies.

#include <algorithm>
#include <string>
#include <vector>

#include "platform/database.h"
#include "platform/database_internal.h"

namespace vc::detail {

// Position, edit buffer and field access; the sources supply the moves and the writes.
class RecordsetBase : public Recordset {
public:
    bool BOF() const override {
        ready();
        return bof_;
    }
    bool EOF_() const override {
        ready();
        return eof_;
    }

    void MoveFirst() override {
        ready();
        leave();
        seekFirst() ? arrive() : none();
    }
    void MoveLast() override {
        ready();
        leave();
        seekLast() ? arrive() : none();
    }
    void MoveNext() override {
        ready();
        leave();
        if (eof_) return;
        if (bof_ ? seekFirst() : seekNext()) {
            arrive();
        } else {
            bof_ = deleted_ = false;
            eof_ = true;
        }
    }
    void MovePrevious() override {
        ready();
        leave();
        if (bof_) return;
        if (eof_ ? seekLast() : seekPrevious()) {
            arrive();
        } else {
            eof_ = deleted_ = false;
            bof_ = true;
        }
    }

    void FindFirst(const std::string& criteria, const std::vector<Value>& args) override {
        ready();
        settle(find(criteria, args, false));
    }
    void FindNext(const std::string& criteria, const std::vector<Value>& args) override {
        ready();
        settle(!eof_ && find(criteria, args, !bof_));
    }
    bool NoMatch() const override { return noMatch_; }

    Value field(const std::string& name) const override {
        std::size_t i = index(name);
        if (mode_ != Mode::None) return buffer_[i];
        ready();
        requireRecord();
        return current()[i];
    }
    void setField(const std::string& name, const Value& v) override {
        std::size_t i = index(name);
        if (mode_ == Mode::None) throw DbError("setField without Edit or AddNew.");
        buffer_[i] = v;
        changed_[i] = true;
    }
    std::vector<std::string> fieldNames() const override { return names_; }

    void AddNew() override {
        ready();
        requireUpdatable();
        buffer_.assign(names_.size(), Value());
        changed_.assign(names_.size(), false);
        mode_ = Mode::Add;
    }
    void Edit() override {
        ready();
        requireUpdatable();
        requireRecord();
        buffer_ = current();
        changed_.assign(names_.size(), false);
        mode_ = Mode::Edit;
    }
    void Update() override {
        if (mode_ == Mode::None) throw DbError("Update without Edit or AddNew.");
        if (mode_ == Mode::Add) {
            insertRecord();
            arrive();
        } else if (std::find(changed_.begin(), changed_.end(), true) != changed_.end()) {
            updateRecord();
        }
        mode_ = Mode::None;
    }
    void CancelUpdate() override { mode_ = Mode::None; }
    void Delete() override {
        ready();
        requireUpdatable();
        requireRecord();
        mode_ = Mode::None;
        deleteRecord();
        deleted_ = true;
    }
    bool editing() const override { return mode_ != Mode::None; }

    long AbsolutePosition() override {
        ready();
        return bof_ || eof_ ? -1 : ordinal();
    }
    void setAbsolutePosition(long pos) override {
        ready();
        leave();
        if (pos < 0 || !seekOrdinal(pos)) throw DbError("Invalid record position " + std::to_string(pos) + ".");
        arrive();
    }

protected:
    // A source that reads its records on first use calls this instead of MoveFirst when it opens;
    // the first call that needs a record then runs load() and stands on the first record.
    void defer() { deferred_ = true; }
    virtual void load() {}
    void ready() const {
        if (!deferred_) return;
        deferred_ = false;
        auto* self = const_cast<RecordsetBase*>(this);
        self->load();
        self->MoveFirst();
    }

    // Each seek positions on a record and returns true, or changes nothing and returns false.
    // "Next" and "previous" are relative to the current or the deleted record.
    virtual bool seekFirst() = 0;
    virtual bool seekLast() = 0;
    virtual bool seekNext() = 0;
    virtual bool seekPrevious() = 0;
    virtual bool seekOrdinal(long pos) = 0;
    // 'args' are the values of the criteria's parameters ?1..?n.
    virtual bool find(const std::string& criteria, const std::vector<Value>& args, bool afterCurrent) = 0;
    virtual long ordinal() = 0;
    virtual const std::vector<Value>& current() const = 0;
    virtual bool updatable() const = 0;
    // Writes buffer_/changed_; insertRecord also positions on the new record.
    virtual void insertRecord() = 0;
    virtual void updateRecord() = 0;
    virtual void deleteRecord() = 0;

    std::vector<std::string> names_;
    std::vector<Value> buffer_;
    std::vector<bool> changed_;
    bool deleted_ = false;

private:
    enum class Mode { None, Edit, Add };

    void leave() { mode_ = Mode::None; }
    void arrive() { bof_ = eof_ = deleted_ = false; }
    void none() {
        bof_ = eof_ = true;
        deleted_ = false;
    }
    void settle(bool found) {
        leave();
        noMatch_ = !found;
        if (found) arrive();
    }
    std::size_t index(const std::string& name) const {
        for (std::size_t i = 0; i < names_.size(); ++i) {
            if (iequals(names_[i], name)) return i;
        }
        throw DbError("No field named '" + name + "'.");
    }
    void requireRecord() const {
        if (bof_ || eof_) throw DbError("No current record.");
        if (deleted_) throw DbError("The current record is deleted.");
    }
    void requireUpdatable() const {
        if (!updatable()) throw DbError("Read-only recordset.");
    }

    mutable bool deferred_ = false;
    bool bof_ = true;
    bool eof_ = true;
    bool noMatch_ = false;
    Mode mode_ = Mode::None;
};

}  // namespace vc::detail
