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
    return form_.Enabled();
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
// Splits UTF-8 text into its characters (each a UTF-8 sequence).
std::vector<std::string> characters(const std::string& s) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        std::size_t n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        n = std::min(n, s.size() - i);
        out.push_back(s.substr(i, n));
        i += n;
    }
    return out;
}
}  // namespace

void TextBox::setText(const std::string& t) {
    if (text_ == t) return;
    text_ = t;
    changed();
    if (Change) Change();
}

void TextBox::setLocked(bool l) {
    if (locked_ == l) return;
    locked_ = l;
    changed();
}

void TextBox::type(const std::string& utf8) {
    if (!operable()) return;
    for (const auto& ch : characters(utf8)) {
        int code = static_cast<unsigned char>(ch[0]);
        if (ch.size() > 1) code = 0x100;  // a non-ASCII character: passed on as typed
        if (KeyPress) KeyPress(code);
        if (code == 0 || code == key::Return || locked_) continue;
        std::string add = code == 0x100 ? ch : std::string(1, static_cast<char>(code));
        if (code == 8) {  // backspace
            auto chars = characters(text_);
            if (!chars.empty()) chars.pop_back();
            std::string t;
            for (auto& c : chars) t += c;
            setText(t);
            continue;
        }
        if (MaxLength > 0 && static_cast<int>(characters(text_).size()) >= MaxLength) continue;
        setText(text_ + add);
    }
}

void TextBox::leave() {
    if (operable() && LostFocus) LostFocus();
}

void TextBox::retype(const std::string& utf8) {
    if (!operable() || locked_) return;
    setText("");
    type(utf8);
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
    if (enabled_) Form_QueryClose();
}

}  // namespace vc
