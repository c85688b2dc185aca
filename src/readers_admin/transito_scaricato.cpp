#include "readers_admin/transito_scaricato.h"

#include "common/carte.h"
#include "common/text.h"

namespace vc {

namespace {

// The reader sends no year: a transit dated later than now (month and day, then hour and
// minute, compared as two-digit texts) was stored last year.
int AnnoDelTransito(const DateTime& adesso, const std::string& mese, const std::string& giorno,
                    const std::string& ora, const std::string& minuto) {
    const std::string data = mese + "/" + giorno, oggi = Pad(adesso.month, 2) + "/" + Pad(adesso.day, 2);
    const std::string orario = ora + ":" + minuto, orarioAdesso = Pad(adesso.hour, 2) + ":" + Pad(adesso.minute, 2);
    const bool annoScorso = data > oggi || (data == oggi && orario > orarioAdesso);
    return annoScorso ? adesso.year - 1 : adesso.year;
}

}  // namespace

// Positions count from the SOH: 1-4 are the framing, the address echo and the status; the card
// follows, then hour, minute, day and month. A record is whole when all of them come before the
// frame's end byte and checksum, and the date and time are digits.
std::optional<TransitoScaricato> LeggiTransito(const std::string& r, bool quattroCifre, const DateTime& adesso) {
    const std::size_t p = quattroCifre ? 9 : 8;
    if (r.size() < p + 7 + 2) return std::nullopt;
    if (Mid(r, p, 8).find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    TransitoScaricato t;
    t.carta = NumeroCartaLetto(Mid(r, 5, quattroCifre ? 4 : 3), quattroCifre);
    t.ora = Mid(r, p, 2);
    t.minuto = Mid(r, p + 2, 2);
    t.giorno = Mid(r, p + 4, 2);
    t.mese = Mid(r, p + 6, 2);
    t.anno = AnnoDelTransito(adesso, t.mese, t.giorno, t.ora, t.minuto);
    return t;
}

}  // namespace vc
