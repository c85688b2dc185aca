// varcanto [--site DIR] [--polling]: the operator station on a site folder (default: the working
// directory); --polling switches polling on once started, as the operator's first click would.

#include <QApplication>

#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>

#include "app/register_forms.h"
#include "core/app.h"
#include "core/main/frm_main.h"
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

struct Options {
    std::string site;
    bool polling = false;  // switch polling on once started, as the operator would (the demo)
};

// "--site DIR" (the working directory by default) and "--polling"; nothing when the arguments
// make no sense.
std::optional<Options> options(int argc, char** argv) {
    Options o{std::filesystem::current_path().string()};
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--site" && i + 1 < argc)
            o.site = argv[++i];
        else if (a == "--polling")
            o.polling = true;
        else
            return std::nullopt;
    }
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<Options> opt = options(argc, argv);
    if (!opt) {
        std::cerr << "usage: varcanto [--site DIR] [--polling]\n";
        return 2;
    }
    const std::string& site = opt->site;
    if (!std::filesystem::is_directory(site)) {
        std::cerr << "varcanto: the site folder " << site << " does not exist\n";
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
    vc::gui::QtReports reports(offscreen ? site + "/Anteprima.pdf" : std::string(), site);
    vc::App app(vc::Services{clock, loop, dialogs, *serial, *ports, site, &reports});
    vc::registerForms(app);
    int code = 0;
    {
        vc::gui::FrontEnd screen(app);
        // The main window's load handler is the whole start-up.
        loop.post([&app, &opt] {
            auto& main = app.form<vc::FrmMain>();
            main.Show();
            if (opt->polling) main.Command4.click();
        });
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
