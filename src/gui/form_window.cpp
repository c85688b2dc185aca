#include "gui/form_window.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QScreen>
#include <QWindow>

#include <string>
#include <vector>

#include "gui/qt_text.h"
#include "gui/views.h"

namespace vc::gui {

namespace {

// The classic key code of a key the windows may look at; 0 for the others.
int keyCode(int k) {
    if (k >= Qt::Key_F1 && k <= Qt::Key_F16) return key::F1 + (k - Qt::Key_F1);
    if ((k >= Qt::Key_A && k <= Qt::Key_Z) || (k >= Qt::Key_0 && k <= Qt::Key_9) || k == Qt::Key_Space) return k;
    static const std::map<int, int> others{
        {Qt::Key_Return, key::Return},
        {Qt::Key_Enter, key::Return},
        {Qt::Key_Escape, key::Escape},
        {Qt::Key_Backspace, 8},
        {Qt::Key_Shift, 16},
        {Qt::Key_Control, 17},
        {Qt::Key_Alt, 18},
        {Qt::Key_PageUp, 33},
        {Qt::Key_PageDown, 34},
        {Qt::Key_End, 35},
        {Qt::Key_Home, 36},
        {Qt::Key_Left, 37},
        {Qt::Key_Up, 38},
        {Qt::Key_Right, 39},
        {Qt::Key_Down, 40},
        {Qt::Key_Insert, 45},
        {Qt::Key_Delete, 46},
    };
    const auto it = others.find(k);
    return it == others.end() ? 0 : it->second;
}

int shiftState(Qt::KeyboardModifiers m) {
    return (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) | (m & Qt::AltModifier ? 4 : 0);
}

// What a key types: Enter, Backspace and Escape as their control characters, printable text as
// it is, nothing for the other keys (and for Ctrl with a letter).
std::string typedBy(const QKeyEvent& k) {
    switch (k.key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter: return "\r";
        case Qt::Key_Backspace: return "\b";
        case Qt::Key_Escape: return "\x1b";
        default: break;
    }
    const QString text = k.text();
    for (QChar ch : text)
        if (!ch.isPrint()) return "";
    return utf8(text);
}

// The key codes Form::keyPress gets for typed text; a non-ASCII character passes as TextBox::type
// passes it.
std::vector<int> keyAsciiCodes(const std::string& typed) {
    std::vector<int> codes;
    for (const unsigned char b : typed) {
        if (b < 0x80)
            codes.push_back(b);
        else if (b >= 0xC0)
            codes.push_back(0x100);
    }
    return codes;
}

// What a key does to the text box that has the focus, after the form has seen it; nothing for
// the keys that leave the box alone.
std::function<void(TextBox&)> boxEdit(const QKeyEvent& k, int code, int shift, const std::string& typed) {
    if (k.matches(QKeySequence::SelectAll)) return [](TextBox& b) { b.selectAll(); };
    if (k.matches(QKeySequence::Paste))
        return [t = utf8(QGuiApplication::clipboard()->text())](TextBox& b) { b.paste(t); };
    if (k.matches(QKeySequence::Cut))
        return [](TextBox& b) {
            if (const std::string t = b.cut(); !t.empty()) QGuiApplication::clipboard()->setText(qs(t));
        };
    switch (code) {
        case key::Home:
        case key::End:
        case key::Left:
        case key::Right:
        case key::Delete: return [code, shift](TextBox& b) { b.keyDown(code, shift); };
        default: break;
    }
    if (typed.empty() || typed == "\x1b") return {};
    return [typed](TextBox& b) { b.type(typed); };
}

std::string widgetName(const Control& c) {
    return c.index() < 0 ? c.name() : c.name() + "(" + std::to_string(c.index()) + ")";
}

}  // namespace

FormWindow::FormWindow(Form& form, EventLoop& loop) : QWidget(nullptr, Qt::Window), form_(form), loop_(loop) {
    setObjectName(qs(form.name()));
    for (Control* c : form.controls()) build(*c);
    for (Control* c : form.controls()) refresh(*c);
    refreshForm();
    form.setObserver([self = QPointer<FormWindow>(this)](Form&, Control* c) {
        if (self) self->changed(c);
    });
}

FormWindow::~FormWindow() {
    if (attached_) form_.setObserver(nullptr);
}

QWidget* FormWindow::widgetOf(const Control& c) const {
    const auto it = views_.find(&c);
    return it != views_.end() && it->second ? it->second->widget() : nullptr;
}

// Containers first, so every widget is made inside its container's.
View* FormWindow::build(Control& c) {
    if (const auto it = views_.find(&c); it != views_.end()) return it->second;
    QWidget* parent = this;
    if (Control* holder = c.container())
        if (View* v = build(*holder)) parent = v->widget();
    View* v = makeView(c, parent, [this, &c](std::function<void()> action) { operate(&c, std::move(action)); });
    views_[&c] = v;
    if (v) v->widget()->setObjectName(qs(widgetName(c)));
    return v;
}

void FormWindow::changed(Control* c) {
    if (!attached_) return;
    if (c)
        refresh(*c);
    else if (!form_.loaded())
        detach();
    else
        refreshForm();
}

void FormWindow::refresh(Control& c) {
    const auto it = views_.find(&c);
    if (it == views_.end() || !it->second) return;
    QWidget* w = it->second->widget();
    const Geometry& g = c.geometry;
    w->setGeometry(g.left, g.top, g.width, g.height);
    w->setEnabled(c.Enabled());
    w->setVisible(shown(c));
    it->second->sync();
    if (dynamic_cast<TabControl*>(&c))
        for (auto& [held, view] : views_)
            if (view && held->container() == &c) view->widget()->setVisible(shown(*held));
}

void FormWindow::refreshForm() {
    setWindowTitle(qs(form_.Caption()));
    setEnabled(form_.Enabled());
    setFixedSize(form_.geometry.width, form_.geometry.height);
    // Data controls are bound by code that sends no notification: show where they stand now.
    for (auto& [c, view] : views_)
        if (view && dynamic_cast<const Data*>(c)) view->sync();
}

// Visible, and on the current page when it sits on a tab control; containers hide their own.
bool FormWindow::shown(const Control& c) const {
    const auto* tabs = dynamic_cast<const TabControl*>(c.container());
    return c.Visible() && (!tabs || c.page == tabs->Tab());
}

void FormWindow::applyVisibility() {
    if (!attached_) return;
    const bool wanted = form_.Visible();
    const Qt::WindowModality modality = form_.modal() ? Qt::ApplicationModal : Qt::NonModal;
    if (isVisible() && (!wanted || windowModality() != modality)) hide();
    if (!wanted || isVisible()) return;
    setWindowModality(modality);
    if (!placed_) {
        const Geometry& g = form_.geometry;
        const QPoint centred = screen()->availableGeometry().center() - QPoint(width() / 2, height() / 2);
        move(g.left || g.top ? QPoint(g.left, g.top) : centred);
        placed_ = true;
    }
    show();
    activateWindow();
    if (QWindow* w = windowHandle()) w->installEventFilter(this);  // installing it again keeps one
}

void FormWindow::detach() {
    attached_ = false;
    hide();
    deleteLater();
}

void FormWindow::operate(Control* c, std::function<void()> action) {
    loop_.post([self = QPointer<FormWindow>(this), c, action = std::move(action)] {
        if (!self || !self->attached_) return;
        action();
        if (c && self && self->attached_) self->refresh(*c);
    });
}

void FormWindow::closeEvent(QCloseEvent* e) {
    // The form decides: its QueryClose may unload it, or keep it open.
    e->ignore();
    operate(nullptr, [this] { form_.close(); });
}

bool FormWindow::eventFilter(QObject* watched, QEvent* e) {
    if (attached_ && watched == windowHandle() && e->type() == QEvent::KeyPress)
        return keyPressed(focusWidget() ? focusWidget() : this, *static_cast<QKeyEvent*>(e));
    return QWidget::eventFilter(watched, e);
}

// Returns true when the key is the model's alone and the widget must not see it.
bool FormWindow::keyPressed(QWidget* target, const QKeyEvent& k) {
    if (k.key() == Qt::Key_Tab || k.key() == Qt::Key_Backtab) return false;  // the focus moves as usual
    View* view = viewOf(target);
    auto* box = view ? dynamic_cast<TextBox*>(&view->control()) : nullptr;
    const int code = keyCode(k.key());
    const int shift = shiftState(k.modifiers());
    const std::string typed = typedBy(k);
    CommandButton* press = !box && typed == "\r" ? buttonForEnter(view) : nullptr;
    auto edit = box ? boxEdit(k, code, shift, typed) : nullptr;
    operate(box, [self = QPointer<FormWindow>(this), code, shift, typed, box, press, edit] {
        // Each step may unload the form: the next one runs only while it is there.
        auto here = [&self] { return self && self->attached_; };
        Form& f = self->form_;
        if (code) f.keyDown(code, shift);
        for (int ascii : keyAsciiCodes(typed))
            if (here()) f.keyPress(ascii);
        if (!here()) return;
        if (edit) edit(*box);
        if (press) press->click();
    });
    // A text box shows only what the model makes of a key; copying its text is left to Qt.
    return (box && !k.matches(QKeySequence::Copy)) || press;
}

// Enter presses the button that has the focus, or else the window's default button.
CommandButton* FormWindow::buttonForEnter(View* target) const {
    if (target)
        if (auto* b = dynamic_cast<CommandButton*>(&target->control())) return b;
    for (Control* c : form_.controls())
        if (auto* b = dynamic_cast<CommandButton*>(c); b && b->isDefault) return b;
    return nullptr;
}

}  // namespace vc::gui
