#include "core/settings/settings_file.h"

#include "common/val.h"
#include "platform/cp1252.h"
#include "platform/profile.h"

namespace vc {

std::string LeggiBuffer(const std::string& file, const std::string& key) {
    std::string buffer(10, ' ');
    profile::getString(SezioneImpostazioni, key, "", buffer, file);
    return buffer;
}

bool RegolaSi(const std::string& b) { return b.compare(0, 2, "Si") == 0; }

bool RegolaNo(const std::string& b) {
    return !(b.compare(0, 2, "No") == 0 || b.compare(0, 2, "NO") == 0);
}

double RegolaNumero(const std::string& b) { return Val(b); }

std::int16_t RegolaIndirizzo(const std::string& b) { return CInt(Val("&h" + b.substr(0, 3))); }

std::int16_t RegolaPorta(const std::string& b) { return CInt(Val(b.substr(0, 1))); }

std::string RegolaOrario(const std::string& b) { return cp1252::toUtf8(b.substr(0, 5)); }

std::string PulisciStringa(const std::string& text, const std::function<void()>& yield) {
    std::string out;
    for (char c : text) {
        if (yield) yield();
        if (c == '\0') break;
        out += c;
    }
    return out;
}

void LeggiImpostazioni(const std::string& file, Impostazioni& imp, bool conUtenti,
                       const std::function<void()>& yield) {
    auto b = [&](const char* key) { return LeggiBuffer(file, key); };
    imp.IndirizzoScheda485 = RegolaIndirizzo(b("Indirizzo485"));
    imp.FlagCancellaStorico = RegolaSi(b("CancellaStorico"));
    imp.PortaSeriale = RegolaPorta(b("Seriale"));
    imp.SchedaK880 = RegolaSi(b("SchedaK-880"));
    imp.TempoPolling = CLng(RegolaNumero(b("Polling")));
    imp.MassimoIngressi = CLng(RegolaNumero(b("MassimoNumeroIngressi")));
    imp.FlagMassimoIngressi = RegolaSi(b("FlagMassimoNumeroIngressi"));
    imp.RitardoRisposta = CInt(RegolaNumero(b("Ritardo")));
    imp.FlagQuattroCifre = RegolaSi(b("QuattroCifre"));
    imp.UsaFasceOrarie = RegolaSi(b("FasceOrarie"));
    imp.FlagImparziale = RegolaNo(b("Imparziale"));
    imp.NumeroImparziale = CInt(RegolaNumero(b("NumeroImparziale")));
    imp.FlagStoricoEsterno = RegolaNo(b("StoricoEsterno"));
    imp.FileTessaro = cp1252::toUtf8(PulisciStringa(b("FileTessaro"), yield));
    imp.FlagScattareAdOrario = RegolaNo(b("ScattareAdOrario"));
    imp.OrarioImparziale = RegolaOrario(b("OraImparziale"));
    imp.FlagTastieraOutput1 = RegolaNo(b("TastieraOutput1"));
    imp.FlagTastieraOutput2 = RegolaNo(b("TastieraOutput2"));
    imp.OutputImparziale = CInt(RegolaNumero(b("AttivaOutput")));
    imp.OrarioInizio1 = RegolaOrario(b("OrarioIniziale1"));
    imp.OrarioInizio2 = RegolaOrario(b("OrarioIniziale2"));
    imp.OrarioInizio3 = RegolaOrario(b("OrarioIniziale3"));
    imp.OrarioFine1 = RegolaOrario(b("OrarioFinale1"));
    imp.OrarioFine2 = RegolaOrario(b("OrarioFinale2"));
    imp.OrarioFine3 = RegolaOrario(b("OrarioFinale3"));
    if (conUtenti) imp.UtentiPresenti = CLng(RegolaNumero(b("Utenti")));
    imp.FlagBeep = RegolaNo(b("Beep"));
    CalcolaFasceAttive(imp);
}

void CalcolaFasceAttive(Impostazioni& imp) {
    auto attiva = [](const std::string& da, const std::string& a) { return da != "##:##" && a != "##:##"; };
    imp.FasciaAttiva1 = attiva(imp.OrarioInizio1, imp.OrarioFine1);
    imp.FasciaAttiva2 = attiva(imp.OrarioInizio2, imp.OrarioFine2);
    imp.FasciaAttiva3 = attiva(imp.OrarioInizio3, imp.OrarioFine3);
}

bool ScriviImpostazione(const std::string& file, const std::string& key, const std::string& value) {
    return profile::writeString(SezioneImpostazioni, key, cp1252::fromUtf8(value), file);
}

}  // namespace vc
