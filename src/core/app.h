#pragma once
// The application object: the platform services, the state the windows share, and the
// single-instance window registry. One per program run; every test builds a fresh one.

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/link/reader_line.h"
#include "core/log/transiti_sospesi.h"
#include "core/readers/dati_lettore.h"
#include "core/settings/impostazioni.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/events.h"
#include "platform/forms.h"
#include "platform/port_io.h"
#include "platform/report.h"
#include "platform/serial.h"

namespace vc {

// Thrown to end the program at once (the program's "End"): main() catches it and exits.
struct ProgramEnd {
    int code = 0;
};

// What the program uses of the machine. The real ones are chosen by main(), fakes by tests.
struct Services {
    Clock& clock;
    EventLoop& loop;
    Dialogs& dialogs;
    SerialLine& serial;
    PortIO& ports;
    std::string appPath;  // the site folder
    ReportRenderer* reports = nullptr;  // the front end's report preview and printing
};

class App final : public FormHost, private LineSettings {
public:
    explicit App(Services services);
    ~App() override;

    Services sys;

    // ---- shared state ----
    std::string CrLf = "\r\n";
    std::string PercorsoDb, PercorsoDbReport;
    Impostazioni imp;
    bool PollingAttivo = false;
    bool OutputAutomatico = false;
    std::int16_t FotogrammaPolling = 0;
    std::int16_t LettoreCorrente = 1;
    TabellaLettori Lettori{};
    std::int16_t NumeroLettori = 0;
    ReaderLine Linea;  // the readers' line, on the serial line and the board of 'sys'
    std::mt19937 Casuale;       // the random check's generator, seeded by Randomize
    bool ImparzialeInCorso = false;  // a run of the random check is drawing
    TransitiSospesi Sospesi;    // decided passages not yet written where they belong
    // Password state.
    std::string PasswordCorrente;
    bool PasswordPresente = false;
    bool AccessoConsentito = false;

    // ---- shared by the cards window and its companions ----
    bool FasceDaCarte = false;  // the schedules window was opened from the cards window
    std::int16_t PosizioneCarta = 0;  // 1-based position of the card shown, 0 when none
    std::int16_t TotaleCarte = 0;
    bool NuovoUtente = false;
    bool ModificaAttiva = false;        // a card is being entered or edited
    std::int16_t PosizioneSalvata = 0;  // where a save or a cancel returns (also the readers window's)
    std::array<std::int16_t, 64> LettoriCarta{};  // element i: the card shown is enabled on reader i+1
    bool CartaImparziale = false;       // the card shown is blocked by the random check

    // ---- shared by the reader administration windows ----
    std::int16_t PosizioneRecordLettore = 0;  // 1-based row shown by the readers window; 0 when none
    std::int16_t TotaleLettori = 0;           // rows of "Lettori"
    bool NuovoLettore = false;                // the row being entered is a new one

    // ---- shared by the history windows ----

    // A file of the site folder.
    std::string file(const std::string& name) const;

    // ---- dialogs ----
    // A message box; an empty title shows the application title. Both boxes count as yields
    // (platform/events.h).
    int MsgBox(const std::string& text, int style = 0, const std::string& title = "");
    std::string InputBox(const std::string& prompt, const std::string& title = "",
                         const std::string& initial = "");
    [[noreturn]] void End(int code = 0);

    // ---- windows ----
    // Every window class registers how to make it; the first touch loads it (hidden).
    using Factory = std::function<std::unique_ptr<Form>(App&)>;
    void registerForm(const std::string& name, Factory make);
    template <class F>
    void registerForm() {
        registerForm(F::kName, [](App& a) { return std::unique_ptr<Form>(new F(a)); });
    }
    // The window, loaded on first touch.
    Form& form(const std::string& name);
    template <class F>
    F& form() {
        return static_cast<F&>(form(F::kName));
    }
    bool isLoaded(const std::string& name) const;
    // The names of every window registered, loaded or not.
    std::vector<std::string> registeredForms() const;
    // Runs 'f' on every loaded window (the front end uses it to find what to show).
    void forEachForm(const std::function<void(Form&)>& f);
    // Called when a window is loaded, so the front end can follow it.
    std::function<void(Form&)> onFormLoaded;

    // FormHost
    EventLoop& loop() override { return sys.loop; }
    ReportRenderer* reports() override { return sys.reports; }
    void formUnloaded(Form& f) override;

private:
    // LineSettings: the board box of the settings window, read live, and the settings file's
    // board address and serial port.
    bool SchedaInstallata() override;
    std::uint16_t IndirizzoScheda() override;
    int PortaSeriale() override;
    void destroyUnloaded();

    std::map<std::string, Factory> factories_;
    std::map<std::string, std::unique_ptr<Form>> forms_;
    std::vector<std::unique_ptr<Form>> unloaded_;
};

}  // namespace vc
