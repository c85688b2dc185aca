#pragma once
// A record window's fields and the controls that show them, as one table that both shows a
// record and saves it, so the two directions cannot drift apart:
//
//   const std::vector<FieldControl> campi = {
//       {"Cognome", text1},
//       {"SituatoPresso", Text3, Situato},     // saved as the conversion makes it
//       {"AbilitaCarta", Check1},
//       {"MetodoInput", Option3, Option4},      // a yes/no field as a pair of options
//       {"SceltaFascia", {&Option12, &Option9, &Option10, &Option11}},
//   };
//   showRecord(rs, campi);   // each row in its order, events firing as they would on screen
//   saveRecord(rs, campi);   // between Edit/AddNew and Update
//
// Each kind of row converts as its control needs:
// - a text box or a combo box shows the field's text (Null as ""), and saves its text, or what
//   the row's conversion makes of it;
// - a check box is ticked for a yes/no field that is True, and saves it as 1/0;
// - a pair of option buttons chooses the first for True, the second for False, and saves
//   whether the first is chosen;
// - a group of option buttons chooses the one at the field's number; Null or a number outside
//   the group leaves them as they are. It saves the number of the one chosen after the first,
//   0 when none of those is.

#include <functional>
#include <string>
#include <vector>

#include "platform/forms.h"

namespace vc {

class FieldControl {
public:
    // What a text is saved as, when not as itself.
    using FromText = std::function<Value(const std::string& text)>;

    FieldControl(const char* field, TextBox& t, FromText save = nullptr);
    FieldControl(const char* field, ComboBox& c, FromText save = nullptr);
    FieldControl(const char* field, CheckBox& c);
    FieldControl(const char* field, OptionButton& yes, OptionButton& no);
    FieldControl(const char* field, std::vector<OptionButton*> byNumber);

    void show(const Recordset& rs) const { show_(rs.field(field_)); }
    void save(Recordset& rs) const { rs.setField(field_, save_()); }

private:
    const char* field_;
    std::function<void(const Value&)> show_;
    std::function<Value()> save_;
};

inline void showRecord(const Recordset& rs, const std::vector<FieldControl>& table) {
    for (const FieldControl& f : table) f.show(rs);
}

inline void saveRecord(Recordset& rs, const std::vector<FieldControl>& table) {
    for (const FieldControl& f : table) f.save(rs);
}

}  // namespace vc
