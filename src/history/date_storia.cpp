#include "history/date_storia.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "common/text.h"
#include "platform/day_number.h"

namespace vc {

namespace {

// The parts of a text between its "/", each one to four digits with blanks around; nothing when
// any part is not.
std::optional<std::vector<int>> Parti(std::string_view testo) {
    std::vector<int> parti;
    std::size_t inizio = 0;
    for (;;) {
        const std::size_t fine = testo.find('/', inizio);
        const std::string parte = Trim(testo.substr(inizio, fine == std::string_view::npos ? fine : fine - inizio));
        if (parte.empty() || parte.size() > 4 || parte.find_first_not_of("0123456789") != std::string::npos)
            return std::nullopt;
        parti.push_back(std::stoi(parte));
        if (fine == std::string_view::npos) return parti;
        inizio = fine + 1;
    }
}

int AnnoPieno(int anno, std::size_t cifre) {
    if (cifre > 2) return anno;
    return anno < 30 ? 2000 + anno : 1900 + anno;
}

}  // namespace

std::optional<long> ConvertiData(std::string_view testo, int annoCorrente) {
    const auto parti = Parti(testo);
    if (!parti || parti->size() < 2 || parti->size() > 3) return std::nullopt;
    const int giorno = (*parti)[0], mese = (*parti)[1];
    int anno = annoCorrente;
    if (parti->size() == 3) {
        const std::string cifre = Trim(testo.substr(testo.rfind('/') + 1));
        anno = AnnoPieno((*parti)[2], cifre.size());
        if (anno < 100) return std::nullopt;
    }
    if (mese < 1 || mese > 12 || giorno < 1 || giorno > GiorniDelMese(anno, mese)) return std::nullopt;
    return NumeroGiorno(anno, mese, giorno);
}

std::optional<double> DataOra(std::string_view data, std::string_view ora) {
    const auto giorno = ConvertiData(data, 0);
    const std::size_t duePunti = ora.find(':');
    if (!giorno || duePunti == std::string_view::npos) return std::nullopt;
    const std::string ore = Trim(ora.substr(0, duePunti)), minuti = Trim(ora.substr(duePunti + 1));
    for (const auto& p : {ore, minuti})
        if (p.empty() || p.size() > 2 || p.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    const int h = std::stoi(ore), m = std::stoi(minuti);
    if (h > 23 || m > 59) return std::nullopt;
    return static_cast<double>(*giorno) + (h * 60 + m) / 1440.0;
}

std::string TestoData(long numeroGiorno) {
    const DataCivile c = DataDaNumero(numeroGiorno);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", c.giorno, c.mese, c.anno);
    return buf;
}

std::string TestoDataOra(double dataOra) {
    // Rounded to the second first, so a time a hair below midnight does not read 24:00:00.
    const long long secondi = std::llround(dataOra * 86400.0);
    const long long giorno = secondi >= 0 ? secondi / 86400 : -((-secondi + 86399) / 86400);
    const int delGiorno = static_cast<int>(secondi - giorno * 86400);
    const DataCivile c = DataDaNumero(static_cast<long>(giorno));
    char buf[64];
    std::snprintf(buf, sizeof buf, "%02d/%02d/%02d-%02d:%02d:%02d", c.giorno, c.mese, c.anno % 100, delGiorno / 3600,
                  delGiorno / 60 % 60, delGiorno % 60);
    return buf;
}

long MinutiTra(double da, double a) { return static_cast<long>(std::llround((a - da) * 1440.0)); }

}  // namespace vc
