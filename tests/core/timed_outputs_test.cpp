#include <gtest/gtest.h>

#include <fstream>

#include "core/main/frm_main.h"
#include "core/schedule/uscite_temporizzate.h"
#include "core/settings/frm_prog_setup.h"
#include "support/fakes.h"

namespace vc {
namespace {

// A schedule line: the text placed at its 1-based columns, blanks elsewhere.
std::string riga(std::initializer_list<std::pair<std::size_t, std::string>> pezzi) {
    std::string r(44, ' ');
    for (auto& [colonna, testo] : pezzi) r.replace(colonna - 1, testo.size(), testo);
    return r;
}

std::string rigaData(const char* giorno, const char* mese, const char* da, const char* a, const char* segno = "X") {
    return riga({{1, "Data"}, {6, giorno}, {8, "/"}, {9, mese}, {25, da}, {36, a}, {42, segno}});
}

std::string rigaGiorno(const std::string& giorno, const char* da, const char* a, const char* segno = "X") {
    return riga({{1, giorno}, {17, da}, {28, a}, {34, segno}});
}

TEST(TimedOutputs, LineKinds) {
    const std::pair<const char*, int> casi[] = {
        {"Data 10/12", 1}, {"Luned\xEC", 3}, {"Marted\xEC qualcosa", 4}, {"Mercoled\xEC", 5}, {"Gioved\xEC", 6},
        {"Venerd\xEC", 7}, {"Sabato", 8}, {"Domenica", 2}, {"Orario", 9}, {"data 10/12", 0}, {"", 0}, {"Lunedi", 0},
    };
    for (auto [testo, tipo] : casi) EXPECT_EQ(TipoRigaDate(testo), tipo) << testo;
}

class Outputs : public ::testing::Test {
protected:
    Outputs() {
        for (int i = 1; i <= 2; ++i)
            s.sql("INSERT INTO Lettori (CodiceImpianto, Stato, NumeroLoop, NumeroIndirizzo) VALUES ('000123', 'In', 1, " +
                  std::to_string(i) + ")");
        s.start();
        s.app().form<FrmProgSetup>();
        s.app().OutputAutomatico = true;
    }
    void date(const std::vector<std::string>& righe) {
        std::ofstream f(s.site.file("Date.txt"), std::ios::binary);
        for (auto& r : righe) f << r << "\r\n";
    }
    // The command texts sent by one tick at hh:mm on Thursday 10/12/2026.
    std::vector<std::string> tick(int ora, int minuto) {
        s.clock.set({2026, 12, 10, ora, minuto, 30});
        s.serial.writes.clear();
        UsciteTemporizzate(s.app());
        return s.serial.takeTexts();
    }
    using V = std::vector<std::string>;
    test::Station s;
};

TEST_F(Outputs, DateLineBandIsInclusive) {
    date({rigaData("10", "12", "08:00", "18:00")});
    EXPECT_EQ(tick(18, 0), (V{"01000123O01", "02000123O01"}));
    EXPECT_EQ(tick(18, 1), (V{"01000123O00", "02000123O00"}));
    EXPECT_EQ(tick(7, 59), (V{"01000123O00", "02000123O00"}));
}

TEST_F(Outputs, FirstActiveRuleThatAppliesDecides) {
    date({rigaData("11", "12", "00:00", "23:59"),                  // another day
          rigaGiorno("Gioved\xEC", "08:00", "09:00", " "),         // not marked
          "Orario, e una virgola" + std::string(30, ' ') + "X",    // split: no part has its mark column
          "data 10/12",                                            // lower case: never
          rigaGiorno("Gioved\xEC", "10:00", "11:00"),              // decides
          rigaGiorno("Orario", "00:00", "23:59")});
    EXPECT_EQ(tick(8, 30), (V{"01000123O00", "02000123O00"}));
    EXPECT_EQ(tick(10, 30), (V{"01000123O01", "02000123O01"}));
}

TEST_F(Outputs, NothingIsSentWithoutARuleFileOrSwitch) {
    EXPECT_EQ(tick(10, 0), V{});  // no file
    date({rigaGiorno("Orario", "00:00", "23:59")});
    s.app().OutputAutomatico = false;
    EXPECT_EQ(tick(10, 0), V{});
    s.app().OutputAutomatico = true;
    s.app().NumeroLettori = 0;
    EXPECT_EQ(tick(10, 0), V{});
}

TEST_F(Outputs, TimerTwoRunsTheTickWhileAutomaticOutputsAreOn) {
    date({rigaGiorno("Orario", "00:00", "23:59")});
    s.app().OutputAutomatico = false;
    auto& m = s.app().form<FrmMain>();
    m.Command6.click();
    s.serial.writes.clear();
    s.clock.advance(10000);
    s.loop.doEvents();
    EXPECT_EQ(s.serial.writes.size(), 2u);
}

}  // namespace
}  // namespace vc
