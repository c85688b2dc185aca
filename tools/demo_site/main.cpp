// demo_site SITE_DIR [READERS]: three readers (or READERS, up to 99, at addresses 1..READERS) and
// six cards in a site folder made by make_site, and the reader line on port 1, for the demo and
// the line-load bench with reader_sim. Run again, it puts the same ones back.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>

#include "platform/database.h"
#include "platform/profile.h"

namespace {

struct Lettore {
    int indirizzo;
    const char* presso;  // 8 characters, blank-filled
    const char* stato;
};
constexpr Lettore Lettori[] = {{1, "INGRESSO", "In"}, {2, "USCITA  ", "Out"}, {3, "VARCO   ", "InOut"}};

struct Carta {
    const char* numero;
    const char* cognome;
    const char* nome;
    bool abilitata;
};
// The disabled one shows a refusal.
constexpr Carta Carte[] = {{"0001", "Rossi", "Mario", true},   {"0002", "Bianchi", "Anna", true},
                           {"0003", "Verdi", "Luca", true},    {"0004", "Russo", "Giulia", true},
                           {"0005", "Ferrari", "Marco", true}, {"0006", "Esposito", "Sara", false}};

struct Riga {
    int indirizzo;
    std::string presso, stato;
};

// The demo's three, then more of the same kinds at the next addresses.
Riga lettore(int indirizzo) {
    const Lettore& tipo = Lettori[(indirizzo - 1) % 3];
    if (indirizzo <= 3) return {indirizzo, tipo.presso, tipo.stato};
    char presso[9];
    std::snprintf(presso, sizeof presso, "VARCO %02d", indirizzo);
    return {indirizzo, presso, tipo.stato};
}

void riempi(vc::Database& db, int lettori) {
    vc::Transaction t(db);
    db.execute("DELETE FROM Lettori");
    db.execute("DELETE FROM Carte");
    // Card digits at data positions 0-3, the plant code at 4-9, as reader_sim --positions puts them.
    for (int n = 1; n <= lettori; ++n) {
        const Riga l = lettore(n);
        db.execute(std::string("INSERT INTO Lettori (TipoLettore, SituatoPresso, CodiceImpianto, Ritardo, Stato, "
                               "PosCarta1, PosCarta2, PosCarta3, PosCarta4, PosCodice1, PosCodice2, PosCodice3, "
                               "PosCodice4, PosCodice5, PosCodice6, NumeroLoop, NumeroIndirizzo) VALUES "
                               "('KOVA KV-M1', ") +
                   vc::sqlQuote(l.presso) + ", '000123', 3, " + vc::sqlQuote(l.stato) +
                   ", 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 1, " + std::to_string(l.indirizzo) + ")");
    }
    const std::string ovunque(64, '1');
    for (const Carta& c : Carte)
        db.execute(
            "INSERT INTO Carte (Cognome, Nome, NumeroCarta, AbilitaCarta, Output1, Output2, Flag_online, "
            "Lettore) VALUES (" +
            vc::sqlQuote(c.cognome) + ", " + vc::sqlQuote(c.nome) + ", " + vc::sqlQuote(c.numero) + ", " +
            (c.abilitata ? "1" : "0") + ", 1, 0, 1, " + vc::sqlQuote(ovunque) + ")");
    t.commit();
}

}  // namespace

int main(int argc, char** argv) {
    const int lettori = argc == 3 ? std::atoi(argv[2]) : 3;
    if ((argc != 2 && argc != 3) || lettori < 1 || lettori > 99) {
        std::cerr << "usage: demo_site SITE_DIR [READERS]\n";
        return 1;
    }
    const std::string site = argv[1];
    try {
        riempi(*vc::Database::open(site + "/Varcanto.mdb"), lettori);
    } catch (const std::exception& e) {
        std::cerr << "demo_site: " << e.what() << '\n';
        return 1;
    }
    if (!vc::profile::writeString("Impostazioni", "Seriale", "1", site + "/Accessi.ini")) {
        std::cerr << "demo_site: cannot write " << site << "/Accessi.ini\n";
        return 1;
    }
    return 0;
}
