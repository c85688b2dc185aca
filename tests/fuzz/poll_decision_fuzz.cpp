// The poll decision on a reply: one poll of a reader whose reply is any bytes (most often a
// well-framed card read, so the decision itself is reached), the grant answered as chosen.
// Whatever the reply, at most the grant or the refusal's all-off follows the poll, to the reader
// polled, only for a card read; and a passage is logged only for a card that is in "Carte" and enabled, after a grant.
//
// Input: a byte of options (bits 0-1 the reader, bit 2 four-digit cards, bit 3 the reply sent
// as it is instead of framed after the reader's address), the grant's reply status, then the reply.

#include "core/access/polling.h"
#include "core/link/reader_link.h"
#include "core/settings/frm_prog_setup.h"
#include "fuzz/fuzz.h"
#include "platform/database.h"
#include "reader_sim/reader_sim.h"

namespace vc::fuzz {

std::vector<std::string> Seeds() {
    // The card reads of the decision's tests: reader 1 "In", 2 "Out", 3 the archive reader.
    std::vector<std::string> seeds;
    for (const char* dati : {"0012000123ABCD", "0012000999", "0013000123", "0014000123", "A1B2C3zzzz",
                             "QQQQQQzzzz", "001", ""})
        for (std::uint8_t opzioni : {0, 1, 2, 4})
            for (const char* ingressi : {"00", "11"})
                seeds.push_back(Seed().byte(opzioni).byte('S').rest(std::string("I0") + ingressi + "0" + dati));
    seeds.push_back(Seed().byte(0).byte('D').rest("I0000" "0012000123"));
    seeds.push_back(Seed().byte(8).byte('S').rest("N0000"));
    return seeds;
}

namespace {

void Prepara(test::Station& s) {
    const char* lettori[][4] = {{"KOVA KV-M1", "In", "INGRESSO", "1"},
                                {"KOVA KV-M1", "Out", "USCITA  ", "2"},
                                {"KOVA KV-P", "InOut", "#VARCO  ", "3"}};
    for (auto& l : lettori)
        s.sql(std::string("INSERT INTO Lettori (TipoLettore, SituatoPresso, CodiceImpianto, Ritardo, Stato, ") +
              "PosCarta1, PosCarta2, PosCarta3, PosCarta4, PosCodice1, PosCodice2, PosCodice3, PosCodice4, "
              "PosCodice5, PosCodice6, NumeroLoop, NumeroIndirizzo) VALUES ('" + l[0] + "', '" + l[2] +
              "', '000123', 3, '" + l[1] + "', 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 1, " + l[3] + ")");
    // Enabled everywhere; in bands; disabled; checking its inputs; under the random check.
    s.sql("INSERT INTO Carte (Cognome, Nome, NumeroCarta, AbilitaCarta, Output1, Flag_online, Lettore, flag_fasce, "
          "ControllaInput, Input1, Imparziale) VALUES "
          "('Rossi', 'Mario', '0012', 1, 1, 1, '" + std::string(64, '1') + "', 0, 0, 0, 0), "
          "('Bianchi', 'Anna', '0013', 1, 0, 1, '" + std::string(64, '1') + "', 1, 0, 0, 0), "
          "('Verdi', 'Luca', '0014', 0, 1, 1, '" + std::string(64, '1') + "', 0, 0, 0, 0), "
          "('Neri', 'Sara', '0015', 1, 1, 1, '" + std::string(64, '1') + "', 0, 1, 1, 0), "
          "('Gialli', 'Ugo', '0016', 1, 1, 1, '" + std::string(64, '1') + "', 0, 0, 0, 1)");
    writeFile(s.site.file("ARCHIVIO.txt"), "\"001ZZZZZZ\"\r\n\"012A1B2C3\"\r\nxyz\r\n\r\n\"015QQQQQQ\"");
}

test::Station& Stazione() {
    test::Station& s = station(Prepara);
    static bool pronta = false;
    if (!pronta) {
        s.app().form<FrmProgSetup>();
        s.app().imp.FileTessaro = "ARCHIVIO";
        s.app().imp.FlagBeep = false;
        pronta = true;
    }
    s.app().PollingAttivo = true;
    return s;
}

struct Transito {
    std::int64_t indice = 0;
    std::string badge, nota;
};

Transito Ultimo(Database& db) {
    const auto righe = db.query("SELECT indice, NumeroBadge, nota FROM transiti ORDER BY indice DESC LIMIT 1");
    if (righe.empty()) return {};
    return {static_cast<std::int64_t>(righe[0][0].second.toDouble()), righe[0][1].second.str(),
            righe[0][2].second.str()};
}

}  // namespace

}  // namespace vc::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vc;
    test::Station& s = fuzz::Stazione();
    fuzz::Input in(data, size);
    const std::uint8_t opzioni = in.byte();
    const char statoConsenso = static_cast<char>(in.byte());
    const std::string corpo = in.rest();
    std::int16_t numero = static_cast<std::int16_t>(opzioni % 3 + 1);
    s.app().imp.FlagQuattroCifre = (opzioni & 4) != 0;
    const std::string prefisso = PrefissoLettore(s.app().Lettori[static_cast<std::size_t>(numero - 1)]);
    const std::string risposta = (opzioni & 8) ? corpo : sim::replyFrame(prefisso.substr(0, 2) + corpo);

    s.serial.writes.clear();
    s.serial.onWrite = [&](const std::string& frame) {
        const std::string testo = test::commandText(frame);
        if (testo == prefisso + "D") s.serial.deliver(risposta, 5);
        else s.serial.deliver(sim::replyFrame(prefisso.substr(0, 2) + statoConsenso), 5);
    };
    const auto db = Database::open(s.site.file("Varcanto.mdb"));
    const fuzz::Transito prima = fuzz::Ultimo(*db);
    polling_lettore(s.app(), numero);
    s.serial.onWrite = nullptr;

    const auto& scritti = s.serial.writes;
    fuzz::check(!scritti.empty() && test::commandText(scritti[0]) == prefisso + "D", "the poll goes to its reader");
    fuzz::check(scritti.size() <= 2, "at most the grant or the all-off follows the poll");
    const std::string seguito = scritti.size() == 2 ? test::commandText(scritti[1]) : "";
    const bool consenso = seguito.rfind(prefisso + "K1", 0) == 0;
    if (!seguito.empty()) {
        fuzz::check(consenso || seguito == prefisso + "K000000000",
                    "the grant or the all-off goes to the reader polled");
        fuzz::check(RispostaValida(risposta) && StatoRisposta(risposta) == 'I', "they follow a card read only");
    }
    const fuzz::Transito dopo = fuzz::Ultimo(*db);
    if (dopo.indice != prima.indice && dopo.nota == "Passaggio") {
        fuzz::check(consenso && statoConsenso == 'S', "a passage is logged only after a grant the reader took");
        const auto carta = db->query("SELECT count(*) FROM Carte WHERE NumeroCarta = " + sqlQuote(dopo.badge) +
                                     " AND AbilitaCarta <> 0 AND Flag_online <> 0");
        fuzz::check(carta[0][0].second.toDouble() == 1, "a passage is only for a card in \"Carte\", enabled");
    }
    return 0;
}
