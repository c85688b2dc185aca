#pragma once
// A database field value: Null, a whole number, a floating number or a text (UTF-8).
// Yes/No fields are stored as 1/0 and read back with toBool().

#include <cstdint>
#include <string>
#include <variant>

namespace vc {

class Value {
public:
    Value() = default;
    Value(std::nullptr_t) {}
    Value(int v) : v_(static_cast<std::int64_t>(v)) {}
    Value(std::int64_t v) : v_(v) {}
    Value(double v) : v_(v) {}
    Value(bool v) : v_(static_cast<std::int64_t>(v ? 1 : 0)) {}
    Value(std::string v) : v_(std::move(v)) {}
    Value(const char* v) : v_(std::string(v)) {}

    bool isNull() const { return std::holds_alternative<std::monostate>(v_); }
    bool isInteger() const { return std::holds_alternative<std::int64_t>(v_); }
    bool isReal() const { return std::holds_alternative<double>(v_); }
    bool isText() const { return std::holds_alternative<std::string>(v_); }

    // Text form: Null gives "", numbers their plain decimal text (no leading blank).
    std::string str() const;
    // Numeric forms: Null gives 0, a text its numeric value (leading number, as Val does).
    double toDouble() const;
    std::int64_t toInt() const;  // rounded to nearest, halves to even
    // Yes/No: any non-zero number is True; a text is True when its numeric value is non-zero
    // or it reads "True" (any letter case).
    bool toBool() const;

    bool operator==(const Value&) const = default;

    const std::variant<std::monostate, std::int64_t, double, std::string>& raw() const { return v_; }

private:
    std::variant<std::monostate, std::int64_t, double, std::string> v_;
};

}  // namespace vc
