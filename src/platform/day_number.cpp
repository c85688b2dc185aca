#include "platform/day_number.h"

namespace vc {

namespace {

// Days since 1 January 1970 of a civil date, and back (the proleptic Gregorian calendar).
constexpr long daysFromCivil(long y, long m, long d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

DataCivile civilFromDays(long z) {
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return {static_cast<int>(yoe + era * 400 + (m <= 2)), m, d};
}

constexpr long kEpoca = daysFromCivil(1899, 12, 30);

}  // namespace

long NumeroGiorno(int anno, int mese, int giorno) { return daysFromCivil(anno, mese, giorno) - kEpoca; }

DataCivile DataDaNumero(long numero) { return civilFromDays(numero + kEpoca); }

int GiorniDelMese(int anno, int mese) {
    static constexpr int kGiorni[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool bisestile = (anno % 4 == 0 && anno % 100 != 0) || anno % 400 == 0;
    return mese == 2 && bisestile ? 29 : kGiorni[mese - 1];
}

}  // namespace vc
