#include "gui/front_end.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QStyle>
#include <QStyleFactory>
#include <QTranslator>

#include <algorithm>

#include "core/app.h"
#include "gui/form_window.h"

namespace vc::gui {

namespace {

// The model's loop blocks on the reader line and its own timers, not on the window system's
// connection, so a wait is cut this short for Qt to look at its input: a click is taken within
// this time, and an idle station wakes this often for a few microseconds of Qt's processing.
constexpr int QtInputEveryMs = 10;

// Italian as the default locale, and Qt's Italian translations for the buttons and dialogs Qt draws
// itself (the print dialog, the preview's tools); without them installed, those stay in English.
void speakItalian(QApplication& app) {
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    auto* qt = new QTranslator(&app);
    if (qt->load(QLocale(), "qtbase", "_", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(qt);
    else
        delete qt;
}

}  // namespace

FrontEnd::FrontEnd(App& app) : app_(app) {
    app_.onFormLoaded = [this](Form& f) { windows_.emplace_back(new FormWindow(f, app_.sys.loop)); };
    app_.sys.loop.setExternalPump([this] { pump(); }, QtInputEveryMs);
}

FrontEnd::~FrontEnd() {
    app_.sys.loop.setExternalPump(nullptr);
    app_.onFormLoaded = nullptr;
    for (auto& w : windows_) delete w.data();
}

FormWindow* FrontEnd::window(const std::string& formName) const {
    for (const auto& w : windows_)
        if (w && w->attached() && w->form().name() == formName) return w.data();
    return nullptr;
}

void FrontEnd::pump() {
    std::erase_if(windows_, [](const QPointer<FormWindow>& w) { return w.isNull(); });
    for (const auto& w : windows_) w->applyVisibility();
    QCoreApplication::processEvents();
    // Without a running Qt loop, deleteLater() waits for this.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void prepareApplication(QApplication& app) {
    QApplication::setApplicationName("Varcanto");
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    QApplication::setPalette(QApplication::style()->standardPalette());
    QApplication::setFont(QFont("DejaVu Sans", 9));
    // Windows close only when their forms say so; the program ends when the model ends it.
    app.setQuitOnLastWindowClosed(false);
    speakItalian(app);
}

}  // namespace vc::gui
