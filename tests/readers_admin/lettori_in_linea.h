#pragma once
// Readers on the fake line for the bulk-operation tests: readers 1..n at addresses 1..n of loop
// 1, plant code 000123, located at "PORTAn" (blank-filled to 8); every command text they hear is
// kept, and 'risposta' gives the reply body (address echo, status, data), "" for silence.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/settings/frm_prog_setup.h"
#include "reader_sim/reader_sim.h"
#include "support/fakes.h"

namespace vc::test {

class LettoriInLinea {
public:
    // Inserts the readers and starts the station on them.
    LettoriInLinea(Station& s, int numero) : s_(s) {
        for (int n = 1; n <= numero; ++n)
            s.sql("INSERT INTO Lettori (TipoLettore, SituatoPresso, CodiceImpianto, Ritardo, Stato, NumeroLoop, "
                  "NumeroIndirizzo) VALUES ('KOVA KV-M1', 'PORTA" + std::to_string(n) + "  ', '000123', 1, 'In', 1, " +
                  std::to_string(n) + ")");
        s.serial.onWrite = [this](const std::string& frame) { ascolta(frame); };
        s.start();
        // The link reads the settings window; its first load reads the file again, so load it
        // now and the settings a test changes stay changed.
        s.app().form<FrmProgSetup>();
    }

    // Every reader accepts by default.
    std::function<std::string(const std::string& testo)> risposta = [](const std::string& t) {
        return t.substr(0, 2) + "S";
    };
    std::vector<std::string> comandi;   // command texts, framing removed
    std::vector<std::int64_t> istanti;  // the clock when each was sent
    // Run on every command, before it is answered (to look at the windows meanwhile).
    std::function<void()> durante;
    // Does 'azione' at the yield of the n-th command sent (1-based), as the operator would.
    void alComando(std::size_t n, std::function<void()> azione) {
        durante = [this, n, azione = std::move(azione)] {
            if (comandi.size() == n) s_.loop.post(azione);
        };
    }

    // The commands sent to reader 'n', without its prefix.
    std::vector<std::string> a(int n) const {
        std::vector<std::string> out;
        const std::string prefisso = (n < 10 ? "0" : "") + std::to_string(n) + "000123";
        for (const auto& c : comandi)
            if (c.rfind(prefisso, 0) == 0) out.push_back(c.substr(8));
        return out;
    }

private:
    void ascolta(const std::string& frame) {
        const std::string testo = test::commandText(frame);
        comandi.push_back(testo);
        istanti.push_back(s_.clock.monotonicMs());
        if (durante) durante();
        const std::string corpo = risposta(testo);
        if (!corpo.empty()) s_.serial.deliver(sim::replyFrame(corpo), 5);
    }
    Station& s_;
};

}  // namespace vc::test
