#include "platform/record_fields.h"

#include <utility>

namespace vc {

namespace {

std::function<Value()> savedText(std::function<std::string()> text, FieldControl::FromText convert) {
    if (!convert) return [text = std::move(text)] { return Value(text()); };
    return [text = std::move(text), convert = std::move(convert)] { return convert(text()); };
}

}  // namespace

FieldControl::FieldControl(const char* field, TextBox& t, FromText save)
    : field_(field),
      show_([&t](const Value& v) { t.setText(v.str()); }),
      save_(savedText([&t] { return t.Text(); }, std::move(save))) {}

FieldControl::FieldControl(const char* field, ComboBox& c, FromText save)
    : field_(field),
      show_([&c](const Value& v) { c.setText(v.str()); }),
      save_(savedText([&c] { return c.Text(); }, std::move(save))) {}

FieldControl::FieldControl(const char* field, CheckBox& c)
    : field_(field),
      show_([&c](const Value& v) { c.setValue(v.toBool() ? 1 : 0); }),
      save_([&c] { return Value(c.checked()); }) {}

FieldControl::FieldControl(const char* field, OptionButton& yes, OptionButton& no)
    : field_(field),
      show_([&yes, &no](const Value& v) { (v.toBool() ? yes : no).setValue(true); }),
      save_([&yes] { return Value(yes.Value()); }) {}

FieldControl::FieldControl(const char* field, std::vector<OptionButton*> byNumber)
    : field_(field),
      show_([byNumber](const Value& v) {
          if (v.isNull() || v.toInt() < 0 || v.toInt() >= static_cast<std::int64_t>(byNumber.size())) return;
          byNumber[static_cast<std::size_t>(v.toInt())]->setValue(true);
      }),
      save_([byNumber] {
          for (std::size_t i = 1; i < byNumber.size(); ++i)
              if (byNumber[i]->Value()) return Value(static_cast<int>(i));
          return Value(0);
      }) {}

}  // namespace vc
