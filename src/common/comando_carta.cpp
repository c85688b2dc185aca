#include "common/comando_carta.h"

#include "common/text.h"
#include "platform/database.h"

namespace vc {

namespace {
char cifra(bool v) { return v ? '1' : '0'; }
}  // namespace

OpzioniCarta OpzioniDaRecord(const Recordset& carta) {
    auto si = [&carta](const char* campo) { return carta.field(campo).toBool(); };
    return {si("MetodoInput"), si("ControllaInput"), si("Input2"), si("Input1"),
            // A missing band (Null) reads as all day rather than leaving the digit out.
            Num(carta.field("SceltaFascia").toInt()), si("Output1"), si("Output2")};
}

std::string CampoCarta(const std::string& numeroCarta, bool quattroCifre) {
    return quattroCifre ? Right("0000" + numeroCarta, 4) : Right("000" + numeroCarta, 3);
}

bool FasciaValida(const std::string& fascia) { return fascia.size() == 1 && fascia[0] >= '0' && fascia[0] <= '3'; }

std::optional<std::string> ComandoMemorizzaCarta(const std::string& numeroCarta, bool quattroCifre,
                                                 const OpzioniCarta& o) {
    if (!FasciaValida(o.Fascia)) return std::nullopt;
    std::string comando = "B";
    comando += CampoCarta(numeroCarta, quattroCifre);
    for (bool cifraOpzione : {o.MetodoInput, !o.ControllaInput, o.Input2, o.Input1}) comando += cifra(cifraOpzione);
    comando += o.Fascia;
    for (bool cifraOpzione : {o.Output1, o.Output2}) comando += cifra(cifraOpzione);
    return comando;
}

std::string ComandoCancellaCarta(const std::string& numeroCarta, bool quattroCifre) {
    return "C" + CampoCarta(numeroCarta, quattroCifre);
}

ComandoLettore ComandoPerLettore(const std::string& numeroCarta, bool quattroCifre, bool memorizza,
                                 const OpzioniCarta& opzioni) {
    if (!memorizza) return {ComandoCancellaCarta(numeroCarta, quattroCifre)};
    if (auto comando = ComandoMemorizzaCarta(numeroCarta, quattroCifre, opzioni)) return {std::move(*comando)};
    return {ComandoCancellaCarta(numeroCarta, quattroCifre), true};
}

std::string TestoCarteRifiutate(const CarteRifiutate& carte) {
    constexpr std::size_t Elencate = 10;
    std::string testo;
    for (std::size_t i = 0; i < carte.size() && i < Elencate; ++i)
        testo += "Carta " + carte[i].first + ": fascia oraria " + carte[i].second +
                 " non valida, la carta è stata cancellata dai lettori invece di essere memorizzata.\n";
    if (carte.size() > Elencate) testo += "Altre " + Num(static_cast<std::int64_t>(carte.size() - Elencate)) +
                                          " carte cancellate dai lettori per lo stesso motivo.\n";
    if (!testo.empty()) testo.pop_back();
    return testo;
}

}  // namespace vc
