#include "core/app.h"

#include <stdexcept>

#include "core/settings/frm_prog_setup.h"

namespace vc {

App::App(Services services)
    : sys(std::move(services)), Linea(sys.serial, sys.ports, sys.clock, sys.loop, *this) {
    sys.loop.setIdleHook([this] { destroyUnloaded(); });
    sys.loop.setErrorReporter(
        [this](const std::exception& e) { MsgBox(std::string("Errore imprevisto: ") + e.what(), mb::Critical, "Errore"); });
}

App::~App() {
    sys.loop.setIdleHook(nullptr);
    sys.loop.setErrorReporter(nullptr);
    // Windows may reach one another while they go: take them out of the registry first.
    auto forms = std::move(forms_);
    forms.clear();
    unloaded_.clear();
}

std::string App::file(const std::string& name) const {
    if (sys.appPath.empty()) return name;
    return sys.appPath + (sys.appPath.back() == '/' ? "" : "/") + name;
}

bool App::SchedaInstallata() { return ModoScheda(*this); }
std::uint16_t App::IndirizzoScheda() { return static_cast<std::uint16_t>(imp.IndirizzoScheda485); }
int App::PortaSeriale() { return imp.PortaSeriale; }

int App::MsgBox(const std::string& text, int style, const std::string& title) {
    NoYield::check();
    return sys.dialogs.msgBox(text, style, title.empty() ? "Varcanto" : title);
}

std::string App::InputBox(const std::string& prompt, const std::string& title, const std::string& initial) {
    NoYield::check();
    return sys.dialogs.inputBox(prompt, title.empty() ? "Varcanto" : title, initial);
}

void App::End(int code) { throw ProgramEnd{code}; }

void App::registerForm(const std::string& name, Factory make) { factories_[name] = std::move(make); }

std::vector<std::string> App::registeredForms() const {
    std::vector<std::string> names;
    for (const auto& [name, make] : factories_) names.push_back(name);
    return names;
}

Form& App::form(const std::string& name) {
    if (auto it = forms_.find(name); it != forms_.end()) return *it->second;
    auto f = factories_.find(name);
    if (f == factories_.end()) throw std::logic_error("window not registered: " + name);
    Form& made = *(forms_[name] = f->second(*this));
    if (onFormLoaded) onFormLoaded(made);
    made.load();
    return made;
}

bool App::isLoaded(const std::string& name) const { return forms_.count(name) != 0; }

void App::forEachForm(const std::function<void(Form&)>& f) {
    for (auto& [name, form] : forms_) f(*form);
}

void App::formUnloaded(Form& f) {
    auto it = forms_.find(f.name());
    if (it == forms_.end() || it->second.get() != &f) return;
    // The window may be running one of its own handlers: destroy it when the main loop is idle.
    unloaded_.push_back(std::move(it->second));
    forms_.erase(it);
}

void App::destroyUnloaded() { unloaded_.clear(); }

}  // namespace vc
