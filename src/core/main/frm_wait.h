#pragma once
// The wait window shown around long operations, and the long runs over the readers that the
// operator follows in it and may stop.

#include <string>

#include "core/app.h"

namespace vc {

class CorsaInterrompibile;

class FrmWait final : public Form {
public:
    static constexpr const char* kName = "FrmWait";
    explicit FrmWait(App& app);

    Label Label1{*this, "Label1"};
    Label Label2{*this, "Label2"};              // where a stoppable run stands
    CommandButton Command1{*this, "Command1"};  // "Annulla": stops it

    // The run the window follows from now on (nullptr: none): its progress and "Annulla" show.
    void Segui(CorsaInterrompibile* corsa);
    void Command1_Click();

protected:
    // During a run closing the window is "Annulla"; the window stays until the run ends.
    void Form_QueryClose() override;
    // Whoever unloads it, an unloaded window follows no run.
    void Form_Unload() override { corsa_ = nullptr; }

private:
    CorsaInterrompibile* corsa_ = nullptr;
};

// The wait window's message; touching it loads the window (hidden) when it is not loaded yet.
inline Label& MessaggioAttesa(App& app) { return app.form<FrmWait>().Label1; }

// A run that sends one command after another to the readers, shown in the wait window with its
// progress and "Annulla" for as long as it lives. "Annulla" runs as a nested handler while the
// run yields, so it only asks: the run looks at fermata() before each command it sends, and the
// command under way always ends first. The windows the run must keep undisturbed are disabled
// by the run itself; the wait window stays enabled, so "Annulla" can be pressed.
class CorsaInterrompibile {
public:
    explicit CorsaInterrompibile(App& app);
    ~CorsaInterrompibile();
    CorsaInterrompibile(const CorsaInterrompibile&) = delete;
    CorsaInterrompibile& operator=(const CorsaInterrompibile&) = delete;

    // Shows where the run stands, bringing the wait window back if a nested handler took it away.
    void avanzamento(const std::string& testo);
    bool fermata() const { return fermata_; }
    // What "Annulla" does: taken at the run's next step.
    void ferma() { fermata_ = true; }
    // The wait window goes, before the run's closing message.
    void chiudi();

private:
    FrmWait& attesa();

    App& app_;
    bool fermata_ = false;
    bool chiusa_ = false;
};

}  // namespace vc
