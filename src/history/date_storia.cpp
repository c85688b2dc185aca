#include "history/date_storia.h"

#include <cmath>
#include <cstdio>
#include <utility>
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

// A number as "%02d" writes it.
void DueCifre(std::string& out, int n) {
    if (n < 0 || n > 99) {
        out += std::to_string(n);
        return;
    }
    out += static_cast<char>('0' + n / 10);
    out += static_cast<char>('0' + n % 10);
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

namespace {

// The digits of 'testo' at the places of the '9's in 'forma' (the rest must match it), as one
// number per run of '9's; nothing when they do not.
std::optional<std::vector<int>> Cifre(std::string_view testo, std::string_view forma) {
    if (testo.size() != forma.size()) return std::nullopt;
    std::vector<int> numeri;
    for (std::size_t i = 0; i < forma.size(); ++i) {
        if (forma[i] != '9') {
            if (testo[i] != forma[i]) return std::nullopt;
            continue;
        }
        if (testo[i] < '0' || testo[i] > '9') return std::nullopt;
        if (i == 0 || forma[i - 1] != '9') numeri.push_back(0);
        numeri.back() = numeri.back() * 10 + (testo[i] - '0');
    }
    return numeri;
}

}  // namespace

std::optional<double> DataOra(std::string_view data, std::string_view ora) {
    // The log's own forms, read without building texts: the history copies a million of them.
    const auto d = Cifre(data, "99/99/9999"), o = Cifre(ora, "99:99");
    if (d && o && (*d)[2] >= 100) {
        const int giorno = (*d)[0], mese = (*d)[1], anno = (*d)[2], h = (*o)[0], m = (*o)[1];
        if (mese < 1 || mese > 12 || giorno < 1 || giorno > GiorniDelMese(anno, mese) || h > 23 || m > 59)
            return std::nullopt;
        return static_cast<double>(NumeroGiorno(anno, mese, giorno)) + (h * 60 + m) / 1440.0;
    }
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
    // Written by hand rather than by snprintf: the attendance writes two of them per row.
    std::string out;
    out.reserve(17);
    const std::pair<int, char> parti[] = {{c.giorno, '/'},          {c.mese, '/'},
                                         {c.anno % 100, '-'},      {delGiorno / 3600, ':'},
                                         {delGiorno / 60 % 60, ':'}, {delGiorno % 60, '\0'}};
    for (const auto& [numero, dopo] : parti) {
        DueCifre(out, numero);
        if (dopo) out += dopo;
    }
    return out;
}

long MinutiTra(double da, double a) { return static_cast<long>(std::llround((a - da) * 1440.0)); }

}  // namespace vc
