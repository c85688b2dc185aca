#include "platform/forms.h"

#include <algorithm>

#include "platform/events.h"

namespace vc {

// ---- Control ----

Control::Control(Form& form, std::string name, Control* container, int index)
    : form_(form), name_(std::move(name)), container_(container), index_(index) {
    form_.add(this);
}

Control::~Control() { form_.remove(this); }

void Control::changed() { form_.notify(this); }

void Control::setEnabled(bool e) {
    if (enabled_ == e) return;
    enabled_ = e;
    enabledChanged();
    changed();
}

void Control::setVisible(bool v) {
    if (visible_ == v) return;
    visible_ = v;
    changed();
}

bool Control::effectivelyEnabled() const {
    for (const Control* c = this; c; c = c->container_)
        if (!c->enabled_) return false;
    return form_.Enabled() && form_.loaded();
}

bool Control::effectivelyVisible() const {
    for (const Control* c = this; c; c = c->container_) {
        if (!c->visible_) return false;
        if (auto* tabs = dynamic_cast<const TabControl*>(c->container_); tabs && c->page != tabs->Tab()) return false;
    }
    return true;
}

void Captioned::setCaption(const std::string& c) {
    if (caption_ == c) return;
    caption_ = c;
    changed();
}

void Label::setBackColor(std::int32_t c) {
    if (back_ == c) return;
    back_ = c;
    changed();
}

void Label::setForeColor(std::int32_t c) {
    if (fore_ == c) return;
    fore_ = c;
    changed();
}

// ---- CommandButton ----

void CommandButton::setPicture(const std::string& p) {
    if (picture_ == p) return;
    picture_ = p;
    changed();
}

void CommandButton::click() {
    if (operable() && Click) Click();
}

// ---- TextBox ----

namespace {
// The bytes of the UTF-8 character that starts at 'i'.
std::size_t charBytes(const std::string& s, std::size_t i) {
    const auto b = static_cast<unsigned char>(s[i]);
    const std::size_t n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    return std::min(n, s.size() - i);
}

// Splits UTF-8 text into its characters (each a UTF-8 sequence).
std::vector<std::string> characters(const std::string& s) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < s.size(); i += charBytes(s, i)) out.push_back(s.substr(i, charBytes(s, i)));
    return out;
}

int length(const std::string& s) {
    int n = 0;
    for (std::size_t i = 0; i < s.size(); i += charBytes(s, i)) ++n;
    return n;
}

// Where character 'n' starts; the end of the text past its last one.
std::size_t offsetOf(const std::string& s, int n) {
    std::size_t i = 0;
    for (; n > 0 && i < s.size(); --n) i += charBytes(s, i);
    return i;
}

// What a single-line box takes of a pasted text: its first line.
std::string firstLine(const std::string& s) { return s.substr(0, s.find_first_of("\r\n")); }
}  // namespace

void TextBox::setText(const std::string& t) {
    const bool other = text_ != t, moved = anchor_ != 0 || caret_ != 0;
    text_ = t;
    anchor_ = caret_ = 0;
    if (other || moved) changed();
    if (other && Change) Change();
}

void TextBox::setLocked(bool l) {
    if (locked_ == l) return;
    locked_ = l;
    changed();
}

void TextBox::selectRange(int anchor, int caret) {
    const int n = length(text_);
    anchor = std::clamp(anchor, 0, n);
    caret = std::clamp(caret, 0, n);
    if (anchor == anchor_ && caret == caret_) return;
    anchor_ = anchor;
    caret_ = caret;
    changed();
}

void TextBox::setSelStart(int s) { selectRange(s, s); }

void TextBox::setSelLength(int n) { selectRange(SelStart(), SelStart() + std::max(n, 0)); }

std::string TextBox::SelText() const {
    const std::size_t from = offsetOf(text_, SelStart());
    return text_.substr(from, offsetOf(text_, SelStart() + SelLength()) - from);
}

void TextBox::setSelText(const std::string& with) {
    const int start = SelStart();
    const std::size_t from = offsetOf(text_, start);
    const std::size_t to = offsetOf(text_, start + SelLength());
    std::string t = text_.substr(0, from) + with + text_.substr(to);
    const int after = start + length(with);
    const bool other = t != text_;
    if (!other && anchor_ == after && caret_ == after) return;
    text_ = std::move(t);
    anchor_ = caret_ = after;
    changed();
    if (other && Change) Change();
}

void TextBox::type(const std::string& utf8) {
    if (!operable()) return;
    for (const auto& ch : characters(utf8)) {
        int code = static_cast<unsigned char>(ch[0]);
        if (ch.size() > 1) code = 0x100;  // a non-ASCII character: passed on as typed
        if (KeyPress) KeyPress(code);
        if (code == 0 || code == key::Return || locked_) continue;
        if (code == key::Backspace) {
            if (SelLength() == 0) selectRange(caret_, caret_ - 1);
            setSelText("");
            continue;
        }
        // Typing over a selection frees its room first.
        if (MaxLength > 0 && length(text_) - SelLength() >= MaxLength) continue;
        setSelText(code == 0x100 ? ch : std::string(1, static_cast<char>(code)));
    }
}

void TextBox::retype(const std::string& utf8) {
    if (!editable()) return;
    selectAll();
    keyDown(key::Delete, 0);
    type(utf8);
}

void TextBox::keyDown(int keyCode, int shift) {
    if (!operable()) return;
    const bool extend = (shift & key::ShiftMask) != 0;
    auto moveTo = [&](int to) { selectRange(extend ? anchor_ : to, to); };
    switch (keyCode) {
        case key::Home: return moveTo(0);
        case key::End: return moveTo(length(text_));
        // Without Shift, an arrow first drops the selection at its own side.
        case key::Left: return moveTo(extend || SelLength() == 0 ? caret_ - 1 : SelStart());
        case key::Right: return moveTo(extend || SelLength() == 0 ? caret_ + 1 : SelStart() + SelLength());
        case key::Delete:
            if (locked_) return;
            if (SelLength() == 0) selectRange(caret_, caret_ + 1);
            return setSelText("");
        default: return;
    }
}

void TextBox::selectAll() {
    if (operable()) selectRange(0, length(text_));
}

void TextBox::select(int anchor, int caret) {
    if (operable()) selectRange(anchor, caret);
}

void TextBox::paste(const std::string& utf8) {
    if (!editable()) return;
    const auto chars = characters(firstLine(utf8));
    std::size_t fits = chars.size();
    if (MaxLength > 0) fits = std::min(fits, static_cast<std::size_t>(std::max(0, MaxLength - length(text_) + SelLength())));
    if (fits == 0) return;
    std::string with;
    for (std::size_t i = 0; i < fits; ++i) with += chars[i];
    setSelText(with);
}

std::string TextBox::cut() {
    if (!editable() || !PasswordChar.empty()) return "";
    std::string t = SelText();
    setSelText("");
    return t;
}

void TextBox::leave() {
    if (operable() && LostFocus) LostFocus();
}

// ---- CheckBox, OptionButton ----

void CheckBox::setValue(int v) {
    if (value_ == v) return;
    value_ = v;
    changed();
    if (Click) Click();
}

void CheckBox::click() {
    if (operable()) setValue(value_ == 1 ? 0 : 1);
}

void OptionButton::setValue(bool v) {
    if (value_ == v) return;
    value_ = v;
    changed();
    if (!v) return;
    for (Control* c : form().controls()) {
        auto* other = dynamic_cast<OptionButton*>(c);
        if (other && other != this && other->container() == container()) other->setValue(false);
    }
    if (Click) Click();
}

void OptionButton::click() {
    if (operable()) setValue(true);
}

// ---- Shape, ComboBox, ProgressBar ----

void Shape::setFillColor(std::int32_t c) {
    if (fill_ == c) return;
    fill_ = c;
    changed();
}

void ComboBox::AddItem(const std::string& item) {
    items_.push_back(item);
    changed();
}

void ComboBox::Clear() {
    items_.clear();
    index_ = -1;
    changed();
}

void ComboBox::setListIndex(int i) {
    if (i < -1 || i >= ListCount() || i == index_) return;
    index_ = i;
    changed();
    if (Click) Click();
}

void ComboBox::setText(const std::string& t) {
    for (int i = 0; i < ListCount(); ++i)
        if (items_[static_cast<std::size_t>(i)] == t) return setListIndex(i);
    index_ = -1;
    text_ = t;
    changed();
}

void ComboBox::choose(int i) {
    if (operable()) setListIndex(i);
}

void ComboBox::retype(const std::string& utf8) {
    if (!editable || !operable() || (index_ < 0 && text_ == utf8)) return;
    index_ = -1;
    text_ = utf8;
    changed();
}

void ProgressBar::setValue(int v) {
    v = std::clamp(v, Min, Max);
    if (value_ == v) return;
    value_ = v;
    changed();
}

void TabControl::setTab(int t) {
    if (t == tab_ || t < 0 || t >= static_cast<int>(TabCaptions.size())) return;
    tab_ = t;
    changed();
    if (Click) Click();
}

void TabControl::choose(int t) {
    if (operable()) setTab(t);
}

// ---- Timer ----

Timer::Timer(Form& form, std::string name, int interval) : Control(form, std::move(name)), interval_(interval) {
    form.host().loop().addTimer(this);
    form.host().loop().armTimer(this);
}

Timer::~Timer() { form().host().loop().removeTimer(this); }

void Timer::setInterval(int ms) {
    ms = std::clamp(ms, 0, 65535);
    if (interval_ == ms) return;
    interval_ = ms;
    form().host().loop().armTimer(this);
    changed();
}

void Timer::enabledChanged() { form().host().loop().armTimer(this); }

void Timer::fire() {
    if (TimerEvent) TimerEvent();
}

// ---- Form ----

Form::Form(FormHost& host, std::string name) : host_(host), name_(std::move(name)) {}

Form::~Form() = default;

void Form::remove(Control* c) { std::erase(controls_, c); }

void Form::setCaption(const std::string& c) {
    if (caption_ == c) return;
    caption_ = c;
    notify(nullptr);
}

void Form::setEnabled(bool e) {
    if (enabled_ == e) return;
    enabled_ = e;
    notify(nullptr);
}

Control* Form::control(const std::string& n, int index) const {
    for (Control* c : controls_)
        if (c->name() == n && c->index() == index) return c;
    return nullptr;
}

void Form::load() {
    loaded_ = true;
    Form_Load();
}

void Form::Show() {
    if (!loaded_) return;
    const bool wasVisible = visible_;
    visible_ = true;
    modal_ = false;
    notify(nullptr);
    if (!wasVisible) Form_Activate();
}

void Form::ShowModal() {
    if (!loaded_) return;
    visible_ = true;
    modal_ = true;
    notify(nullptr);
    Form_Activate();
    host_.loop().runUntil([this] { return !loaded_ || !visible_; });
    modal_ = false;
}

void Form::Hide() {
    if (!visible_) return;
    visible_ = false;
    notify(nullptr);
}

void Form::Unload() {
    if (!loaded_) return;
    Form_Unload();
    visible_ = false;
    loaded_ = false;
    notify(nullptr);
    host_.formUnloaded(*this);
}

void Form::keyDown(int keyCode, int shift) {
    if (enabled_) Form_KeyDown(keyCode, shift);
}

void Form::keyPress(int keyAscii) {
    if (enabled_) Form_KeyPress(keyAscii);
}

void Form::close() {
    if (enabled_ && visible_) Form_QueryClose();
}

}  // namespace vc
