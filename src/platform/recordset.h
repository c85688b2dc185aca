#pragma once
// A recordset: a current record that moves and edits, over a table or an SQL SELECT (the
// contracts are in database.h).

#include <memory>
#include <string>
#include <vector>

#include "platform/value.h"

namespace vc {

class Database;

class Recordset {
public:
    virtual ~Recordset() = default;

    virtual bool BOF() const = 0;
    virtual bool EOF_() const = 0;  // EOF is a macro in <cstdio>
    // The number of records (the whole source; callers may MoveLast first, as the windows do).
    virtual long RecordCount() = 0;

    // A move cancels an edit in progress. MoveNext at EOF and MovePrevious at BOF stay where they
    // are; MoveFirst and MoveLast on no records leave BOF and EOF both true.
    virtual void MoveFirst() = 0;
    virtual void MoveLast() = 0;
    virtual void MoveNext() = 0;
    virtual void MovePrevious() = 0;

    // Positions on the first record that matches 'criteria' (an SQL condition on the source's
    // columns); NoMatch() tells whether none did, and then the position is unchanged. Parameters
    // ?1..?n of the criteria take the values of 'args', so one text serves every value looked up
    // and its statement is prepared once.
    virtual void FindFirst(const std::string& criteria, const std::vector<Value>& args = {}) = 0;
    virtual void FindNext(const std::string& criteria, const std::vector<Value>& args = {}) = 0;
    virtual bool NoMatch() const = 0;

    // Field of the current record by name, case-insensitive. Throws DbError at BOF/EOF or for an
    // unknown field. While editing, reads give the edited value.
    virtual Value field(const std::string& name) const = 0;
    // Sets a field of the record being edited or added (after Edit or AddNew).
    virtual void setField(const std::string& name, const Value& v) = 0;
    virtual std::vector<std::string> fieldNames() const = 0;

    virtual void AddNew() = 0;    // starts a new record; Update inserts it and makes it current
    virtual void Edit() = 0;      // starts editing the current record
    virtual void Update() = 0;    // writes the edit or the new record (durable when it returns)
    virtual void CancelUpdate() = 0;
    virtual void Delete() = 0;    // deletes the current record; the position stays on it (deleted)
                                  // until the next move, as the windows expect
    virtual bool editing() const = 0;

    // Position as a 0-based ordinal among the records, for grids and bookmarks; -1 at BOF/EOF.
    virtual long AbsolutePosition() = 0;
    virtual void setAbsolutePosition(long pos) = 0;  // throws DbError when out of range
    // The values of the record at a 0-based position, in fieldNames() order, without moving or
    // touching an edit (for grids); throws DbError when out of range.
    virtual std::vector<Value> valuesAt(long pos) = 0;
};

// Opens the recordset of a record source on an open database.
std::unique_ptr<Recordset> openRecordset(std::shared_ptr<Database> db, const std::string& source);

}  // namespace vc
