#include "gui/qt_dialogs.h"

#include <QApplication>
#include <QCursor>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

#include <utility>
#include <vector>

#include "gui/qt_text.h"

namespace vc::gui {

namespace {

struct Choice {
    QMessageBox::StandardButton button;
    int answer;
};

std::vector<Choice> choices(int style) {
    using B = QMessageBox;
    switch (mb::buttons(style)) {
        case mb::OKCancel: return {{B::Ok, mb::OK}, {B::Cancel, mb::Cancel}};
        case mb::AbortRetryIgnore: return {{B::Abort, mb::Abort}, {B::Retry, mb::Retry}, {B::Ignore, mb::Ignore}};
        case mb::YesNoCancel: return {{B::Yes, mb::Yes}, {B::No, mb::No}, {B::Cancel, mb::Cancel}};
        case mb::YesNo: return {{B::Yes, mb::Yes}, {B::No, mb::No}};
        case mb::RetryCancel: return {{B::Retry, mb::Retry}, {B::Cancel, mb::Cancel}};
        default: return {{B::Ok, mb::OK}};
    }
}

QString caption(QMessageBox::StandardButton b) {
    switch (b) {
        case QMessageBox::Cancel: return "Annulla";
        case QMessageBox::Abort: return "Interrompi";
        case QMessageBox::Retry: return "Riprova";
        case QMessageBox::Ignore: return "Ignora";
        case QMessageBox::Yes: return "Sì";
        case QMessageBox::No: return "No";
        default: return "OK";
    }
}

QMessageBox::Icon iconOf(int style) {
    switch (mb::icon(style)) {
        case mb::Critical: return QMessageBox::Critical;
        case mb::Question: return QMessageBox::Question;
        case mb::Exclamation: return QMessageBox::Warning;
        case mb::Information: return QMessageBox::Information;
        default: return QMessageBox::NoIcon;
    }
}

// The model writes line breaks as CR LF.
QString lines(const std::string& text) { return qs(text).replace("\r\n", "\n"); }

}  // namespace

QtDialogs::QtDialogs(const Clock& clock, std::function<void()> sound)
    : clock_(clock), sound_(sound ? std::move(sound) : std::function<void()>(QApplication::beep)) {}

QtDialogs::~QtDialogs() { setBusyPointer(false); }

int QtDialogs::msgBox(const std::string& text, int style, const std::string& title) {
    QMessageBox box(iconOf(style), qs(title), lines(text), QMessageBox::NoButton, QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    const std::vector<Choice> offered = choices(style);
    for (const Choice& c : offered) box.addButton(c.button)->setText(caption(c.button));
    box.setDefaultButton(offered.front().button);
    box.exec();
    for (const Choice& c : offered)
        if (box.clickedButton() == box.button(c.button)) return c.answer;
    return offered.back().answer;  // closed without a button: the least committal answer
}

std::string QtDialogs::inputBox(const std::string& prompt, const std::string& title, const std::string& initial) {
    QInputDialog box(QApplication::activeWindow());
    box.setWindowTitle(qs(title));
    box.setLabelText(lines(prompt));
    box.setTextValue(qs(initial));
    box.setOkButtonText("OK");
    box.setCancelButtonText("Annulla");
    return box.exec() == QDialog::Accepted ? utf8(box.textValue()) : std::string();
}

void QtDialogs::beep() {
    const std::int64_t now = clock_.monotonicMs();
    if (lastBeep_ && now - *lastBeep_ < 100) return;
    lastBeep_ = now;
    sound_();
}

void QtDialogs::setBusyPointer(bool busy) {
    if (busy == busy_) return;
    busy_ = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

}  // namespace vc::gui
