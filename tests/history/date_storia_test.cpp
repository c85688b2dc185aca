#include "history/date_storia.h"

#include <gtest/gtest.h>

namespace vc {
namespace {

// The log's own forms take a short road; every other text the long one. Both must agree.
TEST(DataOra, TheLogsFormsAndOthersReadAlike) {
    struct Caso {
        const char *data, *ora;
        std::optional<double> valore;
    } casi[] = {
        {"10/12/2026", "07:30", 46366 + 450 / 1440.0},
        {"29/02/2024", "23:59", NumeroGiorno(2024, 2, 29) + 1439 / 1440.0},
        {"29/02/2023", "08:00", std::nullopt},
        {"10/13/2026", "08:00", std::nullopt},
        {"00/12/2026", "08:00", std::nullopt},
        {"10/12/2026", "24:00", std::nullopt},
        {"10/12/2026", "08:60", std::nullopt},
        {"10/12/0099", "08:00", std::nullopt},
        {"10/12/0100", "08:00", NumeroGiorno(100, 12, 10) + 480 / 1440.0},
        {"1/5/10", "8:5", NumeroGiorno(2010, 5, 1) + 485 / 1440.0},
        {" 10/12/2026", "07:30", 46366 + 450 / 1440.0},
        {"10/12/2026", "07:30:00", std::nullopt},
        {"10/12/2026", "", std::nullopt},
    };
    for (const auto& c : casi) EXPECT_EQ(DataOra(c.data, c.ora), c.valore) << c.data << " " << c.ora;
}

TEST(DataOra, WrittenWithTwoDigitsEach) {
    struct Caso {
        double dataOra;
        const char* testo;
    } casi[] = {
        {46366 + 450 / 1440.0, "10/12/26-07:30:00"},
        {NumeroGiorno(2000, 1, 5) + 0.5, "05/01/00-12:00:00"},
        {NumeroGiorno(2009, 3, 1) + (86399.6 / 86400.0), "02/03/09-00:00:00"},  // rounded to the second
        {NumeroGiorno(1999, 12, 31) + 86399 / 86400.0, "31/12/99-23:59:59"},
        {NumeroGiorno(1905, 7, 9) + 3723 / 86400.0, "09/07/05-01:02:03"},
        {-1.25, "28/12/99-18:00:00"},
        {NumeroGiorno(-5, 1, 1) + 0.0, "01/01/-5-00:00:00"},
    };
    for (const auto& c : casi) EXPECT_EQ(TestoDataOra(c.dataOra), c.testo) << c.dataOra;
}

}  // namespace
}  // namespace vc
