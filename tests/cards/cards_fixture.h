#pragma once
// A station with readers, cards and schedules put straight into the site database, and the cards
// window opened on it.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "cards/frm_cards_abil.h"
#include "core/settings/frm_prog_setup.h"
#include "platform/database.h"
#include "reader_sim/reader_sim.h"
#include "support/fakes.h"

namespace vc::test {

// A station of its own; case tables make one per case.
class Postazione {
public:
    // A reader of plant code 123 on 'loop' at 'indirizzo'.
    void lettore(int indirizzo, const std::string& presso, int loop = 1) {
        s.sql("INSERT INTO Lettori (TipoLettore, SituatoPresso, CodiceImpianto, Ritardo, Stato, NumeroLoop, "
              "NumeroIndirizzo) VALUES ('KOVA KV-M1', " + sqlQuote(presso) + ", '000123', 3, 'In', " +
              std::to_string(loop) + ", " + std::to_string(indirizzo) + ")");
    }
    // A card enabled on every reader, band "Attivo 24 ore"; 'modifiche' is an SQL SET list.
    void carta(const std::string& numero, const std::string& cognome = "Rossi", const std::string& modifiche = "") {
        s.sql("INSERT INTO Carte (Cognome, Nome, NumeroCarta, AbilitaCarta, SceltaFascia, Lettore) VALUES (" +
              sqlQuote(cognome) + ", 'Mario', " + sqlQuote(numero) + ", 1, 0, '" + std::string(64, '1') + "')");
        if (!modifiche.empty())
            s.sql("UPDATE Carte SET " + modifiche + " WHERE rowid = (SELECT max(rowid) FROM Carte)");
    }
    void fascia(const std::string& nome, const std::string& modifiche = "") {
        s.sql("INSERT INTO Fasce (Nome) VALUES (" + sqlQuote(nome) + ")");
        if (!modifiche.empty())
            s.sql("UPDATE Fasce SET " + modifiche + " WHERE rowid = (SELECT max(rowid) FROM Fasce)");
    }

    // Starts the station and shows the cards window. The settings window is loaded first: its
    // first load reads the settings file again, so what a test sets in App stays set.
    FrmCardsAbil& apri() {
        s.start();
        s.app().form<FrmProgSetup>();
        s.app().form("FrmMain").Hide();
        FrmCardsAbil& w = s.app().form<FrmCardsAbil>();
        w.Show();
        return w;
    }

    // The rows of a query on the site database, each field by name.
    std::vector<std::map<std::string, std::string>> righe(const std::string& sql) {
        std::vector<std::map<std::string, std::string>> out;
        for (auto& row : Database::open(s.site.file("Varcanto.mdb"))->query(sql)) {
            auto& r = out.emplace_back();
            for (auto& [k, v] : row) r[k] = v.isNull() ? "<null>" : v.str();
        }
        return out;
    }
    std::map<std::string, std::string> cartaNumero(const std::string& numero) {
        auto r = righe("SELECT * FROM Carte WHERE NumeroCarta = " + sqlQuote(numero));
        return r.empty() ? std::map<std::string, std::string>{} : r.front();
    }

    // Readers answer every command with a status of their own: 'S' by default, 0 for silence.
    // Polls ("D") get the card queued for the reader, or "no card".
    void rispondi() {
        s.serial.onWrite = [this](const std::string& frame) {
            const std::string testo = test::commandText(frame);
            comandi.push_back(testo);
            const std::string indirizzo = testo.substr(0, 2);
            const int n = std::stoi(indirizzo);
            if (testo.at(8) == 'D') {
                auto it = letture.find(n);
                if (it == letture.end() || it->second.polls-- > 0)
                    return s.serial.deliver(sim::replyFrame(indirizzo + "N0000"), 5);
                const std::string dati = it->second.dati;
                letture.erase(it);
                return s.serial.deliver(sim::replyFrame(indirizzo + "I0000" + dati), 5);
            }
            const auto st = stati.find(n);
            const char stato = st == stati.end() ? 'S' : st->second;
            if (stato) s.serial.deliver(sim::replyFrame(indirizzo + std::string(1, stato)), 5);
        };
    }
    struct Lettura {
        int polls;  // polls answered "no card" before the card is read
        std::string dati;
    };

    std::vector<std::string> comandi;  // every command text received, without framing
    std::map<int, char> stati;         // by reader address
    std::map<int, Lettura> letture;    // by reader address
    Station s;
};

class CardsTest : public ::testing::Test, public Postazione {};

}  // namespace vc::test
