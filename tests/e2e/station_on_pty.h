#pragma once
// A station on a fresh site folder whose COM1 is simulated readers behind a pseudo-terminal:
// the real serial line, real SQLite files, real time.

#include <cstdlib>
#include <memory>

#include "app/register_forms.h"
#include "common/site_folder.h"
#include "core/app.h"
#include "reader_sim/reader_sim.h"
#include "support/fakes.h"

namespace vc::test {

class StationOnPty {
protected:
    StationOnPty() { makeSiteFolder(VARCANTO_SITE_TEMPLATE, site.path()); }
    ~StationOnPty() {
        app.reset();
        unsetenv("VARCANTO_COM1");
    }
    // Once the site and the simulated readers are set: COM1 on the simulator, every window.
    void apriStazione() {
        setenv("VARCANTO_COM1", pty.slavePath().c_str(), 1);
        loop.setExternalPump([this] { pty.step(0); });
        app = std::make_unique<App>(Services{clock, loop, dialogs, *serial, ports, site.path()});
        registerForms(*app);
    }

    TempDir site;
    sim::Simulator sim;
    sim::PtyServer pty{sim};
    SystemClock clock;
    EventLoop loop{clock};
    ScriptedDialogs dialogs;
    std::unique_ptr<SerialLine> serial = makeSerialLine();
    FakePortIO ports;
    std::unique_ptr<App> app;
};

}  // namespace vc::test
