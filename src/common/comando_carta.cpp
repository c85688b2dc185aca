#include "common/comando_carta.h"

#include "common/text.h"
#include "platform/database.h"

namespace vc {

namespace {
const char* cifra(bool v) { return v ? "1" : "0"; }
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

std::string ComandoMemorizzaCarta(const std::string& numeroCarta, bool quattroCifre, const OpzioniCarta& o) {
    return "B" + CampoCarta(numeroCarta, quattroCifre) + cifra(o.MetodoInput) + cifra(!o.ControllaInput) +
           cifra(o.Input2) + cifra(o.Input1) + o.Fascia + cifra(o.Output1) + cifra(o.Output2);
}

std::string ComandoCancellaCarta(const std::string& numeroCarta, bool quattroCifre) {
    return "C" + CampoCarta(numeroCarta, quattroCifre);
}

}  // namespace vc
