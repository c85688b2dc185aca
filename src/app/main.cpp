// varcanto [--site DIR]: the operator station on a site folder (default: the working directory).

#include <QApplication>

#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>

#include "app/register_forms.h"
#include "core/app.h"
#include "gui/front_end.h"
#include "gui/qt_dialogs.h"
#include "gui/qt_reports.h"
#include "platform/port_io.h"
#include "platform/serial.h"

namespace {

bool set(const char* variable) {
    const char* v = std::getenv(variable);
    return v && *v;
}

// The site folder named on the command line, the working directory by default; nothing when the
// arguments make no sense.
std::optional<std::string> siteFolder(int argc, char** argv) {
    if (argc == 1) return std::filesystem::current_path().string();
    if (argc == 3 && std::string(argv[1]) == "--site") return std::string(argv[2]);
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<std::string> site = siteFolder(argc, argv);
    if (!site) {
        std::cerr << "usage: varcanto [--site DIR]\n";
        return 2;
    }
    if (!std::filesystem::is_directory(*site)) {
        std::cerr << "varcanto: the site folder " << *site << " does not exist\n";
        return 2;
    }
    if (!set("DISPLAY") && !set("WAYLAND_DISPLAY") && !set("QT_QPA_PLATFORM")) {
        std::cerr << "varcanto: no display (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                     "Run it on a virtual screen:   xvfb-run varcanto --site DIR\n"
                     "or with no screen at all:     QT_QPA_PLATFORM=offscreen varcanto --site DIR\n";
        return 2;
    }

    QApplication qt(argc, argv);
    vc::gui::prepareApplication(qt);
    vc::SystemClock clock;
    vc::EventLoop loop(clock);
    vc::gui::QtDialogs dialogs(clock);
    const auto serial = vc::makeSerialLine();
    const auto ports = vc::makePortIO();
    // With no screen to look at, a preview goes to a PDF in the site folder.
    const bool offscreen = QGuiApplication::platformName() == "offscreen";
    vc::gui::QtReports reports(offscreen ? *site + "/Anteprima.pdf" : std::string());
    vc::App app(vc::Services{clock, loop, dialogs, *serial, *ports, *site, &reports});
    vc::registerForms(app);
    int code = 0;
    {
        vc::gui::FrontEnd screen(app);
        // The main window's load handler is the whole start-up.
        loop.post([&app] { app.form("FrmMain").Show(); });
        try {
            loop.run([] { return false; });
        } catch (const vc::ProgramEnd& end) {
            code = end.code;
        } catch (const std::exception& e) {
            dialogs.msgBox(std::string("Errore imprevisto: ") + e.what(), vc::mb::Critical, "Errore");
            code = 1;
        }
    }
    return code;
}
