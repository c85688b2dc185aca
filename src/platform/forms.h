#pragma once
// Headless windows and their controls. A Form owns its controls as members; each control knows
// its container (a frame or the form), so a disabled frame disables what it holds. Handlers are
// std::function members named after the event (Click, Change, KeyPress, Timer).
//
// Two ways to act on a control:
// - by code (setValue, setText, ...): events fire exactly as they would on the screen for that
//   change (a check box's Click runs on every change of Value, an option button clears the others
//   of its container);
// - as the operator (click(), type(), choose(), ...): ignored when the control, its containers or
//   its form are disabled or hidden; a locked text box may be selected, not edited.
// Every property change is reported to the form's observer, which the front end uses to repaint.

#include <algorithm>
#include <array>
#include <concepts>
#include <cstdlib>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/database.h"

namespace vc {

class EventLoop;
class Form;

struct Geometry {
    int left = 0, top = 0, width = 0, height = 0;
};

namespace colour {
constexpr std::int32_t Green = 65280, Red = 255, Yellow = 65535, White = 16777215, Black = 0;
constexpr std::int32_t ButtonFace = 0xC8D0D4;
}  // namespace colour

class Control {
public:
    // A control array element gets its index; a plain control has index -1.
    Control(Form& form, std::string name, Control* container = nullptr, int index = -1);
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    virtual const char* kind() const = 0;
    const std::string& name() const { return name_; }
    int index() const { return index_; }
    Form& form() const { return form_; }
    Control* container() const { return container_; }

    bool Enabled() const { return enabled_; }
    void setEnabled(bool e);
    bool Visible() const { return visible_; }
    void setVisible(bool v);
    // Enabled, and so are its containers and its form, which is loaded: a click queued before
    // the window was unloaded must not run its handler on the window left behind.
    bool effectivelyEnabled() const;
    bool effectivelyVisible() const;

    // Relative to the container (frame, tab control) or to the form.
    Geometry geometry;
    void place(int left, int top, int width, int height) { geometry = {left, top, width, height}; }
    // On a tab control: the page (0-based) the control is drawn on; -1 elsewhere.
    int page = -1;

protected:
    void changed();
    virtual void enabledChanged() {}
    bool operable() const { return effectivelyEnabled() && effectivelyVisible(); }

private:
    Form& form_;
    std::string name_;
    Control* container_;
    int index_;
    bool enabled_ = true;
    bool visible_ = true;
};

// Caption helper shared by the controls that carry one.
class Captioned : public Control {
public:
    using Control::Control;
    const std::string& Caption() const { return caption_; }
    void setCaption(const std::string& c);

private:
    std::string caption_;
};

class Label : public Captioned {
public:
    using Captioned::Captioned;
    const char* kind() const override { return "Label"; }
    std::int32_t BackColor() const { return back_; }
    void setBackColor(std::int32_t c);
    std::int32_t ForeColor() const { return fore_; }
    void setForeColor(std::int32_t c);
    bool opaque = false;   // draws its BackColor (a coloured block) rather than the form's
    int alignment = 0;     // 0 left, 1 right, 2 centre
    int fontSize = 0;      // 0 = the form's
    bool bold = false;

private:
    std::int32_t back_ = colour::ButtonFace;
    std::int32_t fore_ = colour::Black;
};

class CommandButton : public Captioned {
public:
    using Captioned::Captioned;
    const char* kind() const override { return "CommandButton"; }
    // The picture's resource name ("" for none).
    const std::string& Picture() const { return picture_; }
    void setPicture(const std::string& p);
    std::function<void()> Click;
    void click();  // as the operator
    bool isDefault = false;  // Enter presses it

private:
    std::string picture_;
};

class TextBox : public Control {
public:
    using Control::Control;
    const char* kind() const override { return "TextBox"; }
    const std::string& Text() const { return text_; }
    // By code: MaxLength does not apply, Change fires; the caret goes to the start, nothing
    // selected (even when the text is the same).
    void setText(const std::string& t);
    int MaxLength = 0;                   // 0 = no limit; counts characters
    bool Locked() const { return locked_; }
    void setLocked(bool l);
    std::string PasswordChar;            // "" or one character shown instead of each typed one
    std::int32_t BackColor() const { return back_; }
    void setBackColor(std::int32_t c) {
        if (back_ == c) return;
        back_ = c;
        changed();
    }
    std::int32_t ForeColor() const { return fore_; }
    void setForeColor(std::int32_t c) {
        if (fore_ == c) return;
        fore_ = c;
        changed();
    }

    // The selection, in characters. SelStart is where it begins (the caret, when nothing is
    // selected), SelLength how many characters it holds, SelText what they are. By code:
    // SelStart moves the caret and selects nothing, SelLength selects from SelStart on, both cut
    // to the text; SelText replaces the selection (MaxLength does not apply, Change fires) and
    // leaves the caret after what it put.
    int SelStart() const { return std::min(anchor_, caret_); }
    void setSelStart(int s);
    int SelLength() const { return std::abs(caret_ - anchor_); }
    void setSelLength(int n);
    std::string SelText() const;
    void setSelText(const std::string& t);
    // The end of the selection the caret is at: Shift with a caret key moves it, the other end stays.
    int caret() const { return caret_; }

    std::function<void()> Change;
    // Gets each typed key's code; setting it to 0 swallows the key.
    std::function<void(int& keyAscii)> KeyPress;
    // As the operator: each character through KeyPress, then in place of the selection at the
    // caret, within MaxLength. A "\r" in the text is the Enter key (KeyPress only), a "\b"
    // Backspace (the selection, or else the character before the caret).
    void type(const std::string& utf8);
    // As the operator: selects all, erases it and types 'utf8'.
    void retype(const std::string& utf8);
    // As the operator: Home, End, Left and Right move the caret (with Shift in 'shift', the
    // selection's far end); Delete erases the selection, or else the character after the caret.
    void keyDown(int keyCode, int shift);
    void selectAll();  // as the operator (a locked box too)
    // As the operator, with the mouse: the selection from 'anchor' to 'caret', cut to the text.
    void select(int anchor, int caret);
    // As the operator: the first line of 'utf8' in place of the selection, cut to what MaxLength
    // leaves room for. Pasted text is not typed: KeyPress does not see it.
    void paste(const std::string& utf8);
    // As the operator: erases the selection and gives it back for the clipboard; a locked box
    // keeps it, and a masked one gives nothing away.
    std::string cut();
    // Runs when the operator leaves the box for another control.
    std::function<void()> LostFocus;
    void leave();  // as the operator

private:
    bool editable() const { return operable() && !locked_; }
    void selectRange(int anchor, int caret);  // cut to the text

    std::string text_;
    int anchor_ = 0, caret_ = 0;  // characters; the selection runs between them
    bool locked_ = false;
    std::int32_t back_ = colour::White;
    std::int32_t fore_ = colour::Black;
};

class CheckBox : public Captioned {
public:
    using Captioned::Captioned;
    const char* kind() const override { return "CheckBox"; }
    int Value() const { return value_; }
    bool checked() const { return value_ == 1; }
    void setValue(int v);  // Click fires when the value changes
    std::function<void()> Click;
    void click();  // as the operator: toggles
    std::string picture;  // an image drawn beside the caption, if any

private:
    int value_ = 0;
};

class OptionButton : public Captioned {
public:
    using Captioned::Captioned;
    const char* kind() const override { return "OptionButton"; }
    bool Value() const { return value_; }
    // Setting True clears the other option buttons of the same container; Click fires when it
    // becomes True.
    void setValue(bool v);
    std::function<void()> Click;
    void click();  // as the operator

private:
    bool value_ = false;
};

class Frame : public Captioned {
public:
    using Captioned::Captioned;
    const char* kind() const override { return "Frame"; }
    // The caption's colour.
    std::int32_t ForeColor() const { return fore_; }
    void setForeColor(std::int32_t c) {
        if (fore_ == c) return;
        fore_ = c;
        changed();
    }

private:
    std::int32_t fore_ = colour::Black;
};

class Shape : public Control {
public:
    using Control::Control;
    const char* kind() const override { return "Shape"; }
    std::int32_t FillColor() const { return fill_; }
    void setFillColor(std::int32_t c);
    bool round = false;

private:
    std::int32_t fill_ = colour::White;
};

class Image : public Control {
public:
    using Control::Control;
    const char* kind() const override { return "Image"; }
    std::string Picture;  // the resource name the front end draws
};

class ComboBox : public Control {
public:
    using Control::Control;
    const char* kind() const override { return "ComboBox"; }
    void AddItem(const std::string& item);
    void Clear();
    int ListCount() const { return static_cast<int>(items_.size()); }
    const std::string& List(int i) const { return items_.at(static_cast<std::size_t>(i)); }
    int ListIndex() const { return index_; }
    void setListIndex(int i);  // Click fires on a change
    std::string Text() const { return index_ >= 0 ? items_[static_cast<std::size_t>(index_)] : text_; }
    void setText(const std::string& t);
    std::function<void()> Click;
    void choose(int i);  // as the operator
    // Set at design time: the operator may type a text of his own, not only choose an item.
    bool editable = false;
    // As the operator, in an editable box: its text replaced by 'utf8', no item chosen.
    void retype(const std::string& utf8);

private:
    std::vector<std::string> items_;
    int index_ = -1;
    std::string text_;
};

class ProgressBar : public Control {
public:
    using Control::Control;
    const char* kind() const override { return "ProgressBar"; }
    int Min = 0, Max = 100;
    int Value() const { return value_; }
    void setValue(int v);

private:
    int value_ = 0;
};

class Timer : public Control {
public:
    Timer(Form& form, std::string name, int interval = 0);
    ~Timer() override;
    const char* kind() const override { return "Timer"; }
    int Interval() const { return interval_; }
    void setInterval(int ms);  // 0 stops the ticks; the platform's range is 0-65535
    // A timer's Enabled is its running state.
    bool running() const { return Enabled(); }
    std::function<void()> TimerEvent;
    void fire();

protected:
    void enabledChanged() override;

private:
    int interval_;
};

// Tabs; the controls it holds show on their own page only.
class TabControl : public Control {
public:
    using Control::Control;
    const char* kind() const override { return "TabControl"; }
    std::vector<std::string> TabCaptions;
    int Tab() const { return tab_; }
    void setTab(int t);  // Click fires on a change
    std::function<void()> Click;
    void choose(int t);  // as the operator

private:
    int tab_ = 0;
};

// The data control: a Control that is also a DataControl.
class Data : public Control, public DataControl {
public:
    using Control::Control;
    const char* kind() const override { return "Data"; }
};

// A read-only grid over a data control's recordset: one column per field (or those named), one
// row per record. Code calls Refresh() after it refreshes the data control.
class DataGrid : public Control {
public:
    DataGrid(Form& form, std::string name, Data& source, Control* container = nullptr)
        : Control(form, std::move(name), container), source_(source) {}
    const char* kind() const override { return "DataGrid"; }
    Data& source() const { return source_; }
    std::vector<std::string> columns;  // empty: every field
    std::vector<int> columnWidths;     // least pixels, in column order; wider to fit the contents
    void Refresh() { changed(); }

private:
    Data& source_;
};

// What a window needs from its host (the registry that creates and destroys windows).
class ReportRenderer;

class FormHost {
public:
    virtual ~FormHost() = default;
    virtual EventLoop& loop() = 0;
    // Where report controls send what they produce; nullptr when nothing can show a report.
    virtual ReportRenderer* reports() { return nullptr; }
    // Called by Form::Unload after the form's own Unload handler.
    virtual void formUnloaded(Form& f) = 0;
};

class Form {
public:
    Form(FormHost& host, std::string name);
    virtual ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    const std::string& name() const { return name_; }
    const std::string& Caption() const { return caption_; }
    void setCaption(const std::string& c);
    bool Enabled() const { return enabled_; }
    void setEnabled(bool e);
    bool Visible() const { return visible_; }
    bool loaded() const { return loaded_; }
    bool modal() const { return modal_; }

    // Run by the registry right after construction.
    void load();
    void Show();
    // Shows the window and runs the event loop until it is hidden or unloaded. Yields (events.h).
    void ShowModal();
    void Hide();
    // Runs the Unload handler, hides the window and hands it back to the host to destroy.
    void Unload();

    // The operator's keys reach the form before its controls (key preview).
    void keyDown(int keyCode, int shift);
    void keyPress(int keyAscii);
    // The operator closes the window with the title-bar button; a disabled window ignores it,
    // as it ignores every other input. So does a hidden one: a close queued before a handler
    // hid it for a companion window would otherwise take the way back from under that window.
    void close();

    const std::vector<Control*>& controls() const { return controls_; }
    Control* control(const std::string& name, int index = -1) const;
    // The front end's observer of property changes (nullptr for none).
    void setObserver(std::function<void(Form&, Control*)> obs) { observer_ = std::move(obs); }
    void notify(Control* c) {
        if (observer_) observer_(*this, c);
    }

    Geometry geometry{0, 0, 480, 360};
    FormHost& host() { return host_; }

protected:
    virtual void Form_Load() {}
    virtual void Form_Activate() {}
    virtual void Form_Unload() {}
    virtual void Form_KeyDown(int /*keyCode*/, int /*shift*/) {}
    virtual void Form_KeyPress(int& /*keyAscii*/) {}
    // The title-bar close: unloads by default.
    virtual void Form_QueryClose() { Unload(); }

private:
    friend class Control;
    void add(Control* c) { controls_.push_back(c); }
    void remove(Control* c);

    FormHost& host_;
    std::string name_;
    std::string caption_;
    bool enabled_ = true;
    bool visible_ = false;
    bool loaded_ = false;
    bool modal_ = false;
    std::vector<Control*> controls_;
    std::function<void(Form&, Control*)> observer_;
};

// Keeps a window disabled for the length of a run that yields, so that nothing the operator does
// to it meanwhile (a click, a key, the title-bar close) starts a second run inside the first;
// however the run ends, leaves the window as it found it: one disabled before (by a window it
// opened, by an outer run) stays disabled.
class FormBusy {
public:
    explicit FormBusy(Form& f) : f_(f), abilitata_(f.Enabled()) { f_.setEnabled(false); }
    ~FormBusy() { f_.setEnabled(abilitata_); }
    FormBusy(const FormBusy&) = delete;
    FormBusy& operator=(const FormBusy&) = delete;

private:
    Form& f_;
    bool abilitata_;
};

// A control array: elements 0..N-1 of one name, each with its index.
template <class C, int N>
class ControlArray {
public:
    ControlArray(Form& form, const std::string& name, Control* container = nullptr) {
        for (int i = 0; i < N; ++i) items_[static_cast<std::size_t>(i)] = std::make_unique<C>(form, name, container, i);
    }
    // Each element in a container of its own (the frames of a frame array).
    template <std::invocable<int> Containers>
    ControlArray(Form& form, const std::string& name, Containers containerOf) {
        for (int i = 0; i < N; ++i)
            items_[static_cast<std::size_t>(i)] = std::make_unique<C>(form, name, &containerOf(i), i);
    }
    C& operator[](int i) { return *items_.at(static_cast<std::size_t>(i)); }
    const C& operator[](int i) const { return *items_.at(static_cast<std::size_t>(i)); }
    static constexpr int size() { return N; }

private:
    std::array<std::unique_ptr<C>, N> items_;
};

// Key codes used by the windows.
namespace key {
constexpr int Backspace = 8, Return = 13, Escape = 27, End = 35, Home = 36, Left = 37, Right = 39, Delete = 46,
              F1 = 112;
constexpr int ShiftMask = 1;  // in a keyDown's 'shift'
}

}  // namespace vc
