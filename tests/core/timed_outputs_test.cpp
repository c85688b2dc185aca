#include <gtest/gtest.h>

#include <fstream>

#include "core/access/polling.h"
#include "core/main/frm_main.h"
#include "core/schedule/uscite_temporizzate.h"
#include "core/settings/frm_prog_setup.h"
#include "reader_sim/reader_sim.h"
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

// The multi-loop board fitted, and a reader at address 1 with plant code 123 on loop 1 and
// another on loop 2: only the loop the board selects tells them apart.
class OnTwoLoops : public ::testing::Test {
protected:
    OnTwoLoops() {
        for (int loop : {1, 2}) {
            s.sql("INSERT INTO Lettori (TipoLettore, SituatoPresso, CodiceImpianto, Stato, PosCarta1, PosCarta2, "
                  "PosCarta3, PosCarta4, PosCodice1, PosCodice2, PosCodice3, PosCodice4, PosCodice5, PosCodice6, "
                  "NumeroLoop, NumeroIndirizzo) VALUES ('KOVA KV-M1', 'VARCO', '000123', 'InOut', 0, 1, 2, 3, 4, 5, "
                  "6, 7, 8, 9, " + std::to_string(loop) + ", 1)");
            sim.addReader({.loop = loop, .address = 1, .plantCode = 123});
        }
        s.sql("INSERT INTO Carte (Cognome, Nome, NumeroCarta, AbilitaCarta, Output1, Flag_online, Lettore) VALUES "
              "('Rossi', 'Mario', '0012', 1, 1, 1, '" + std::string(64, '1') + "')");
        std::ofstream(s.site.file("Date.txt"), std::ios::binary) << rigaGiorno("Orario", "00:00", "23:59") << "\r\n";
        // Each frame is heard on the loop the board selected for it.
        s.serial.onWrite = [this](const std::string& frame) {
            const int loop = (s.ports.writes.back().second & 7) + 1;
            sim.setLoop(loop);
            sim.receive(frame, 0);
            s.serial.deliver(sim.take(1000), 5);
            if (onFrame) onFrame(test::commandText(frame));
        };
        s.start();
        auto& setup = s.app().form<FrmProgSetup>();
        setup.Check1.setValue(1);
        s.app().imp.IndirizzoScheda485 = 0x300;
        s.app().imp.PortaSeriale = 1;
        s.app().PollingAttivo = true;
        s.app().imp.FlagBeep = false;
    }
    sim::Reader& reader(int loop) { return sim.reader(loop, 1); }
    // The board's writes in pairs: the loop selected to transmit, then the same loop to receive.
    std::vector<int> loopsSelected() {
        std::vector<int> loops;
        const auto& w = s.ports.writes;
        for (std::size_t i = 0; i + 1 < w.size(); i += 2) {
            EXPECT_EQ(w[i].second & 16, 16) << "pair " << i / 2;
            EXPECT_EQ(w[i + 1].second, w[i].second & ~16) << "pair " << i / 2;
            loops.push_back((w[i].second & 7) + 1);
        }
        EXPECT_EQ(w.size() % 2, 0u);
        return loops;
    }
    test::Station s;
    sim::Simulator sim;
    std::function<void(const std::string&)> onFrame;
};

TEST_F(OnTwoLoops, TickDuringAPollWaitsForTheLineAndLeavesThePollsLoopAlone) {
    auto& m = s.app().form<FrmMain>();
    m.Command6.click();  // automatic outputs on: Timer2 falls due 10 s from now
    reader(1).presentCard(sim::cardData("0012", "000123", {0, 1, 2, 3}, {4, 5, 6, 7, 8, 9}));
    onFrame = [this](const std::string& testo) {
        if (testo.back() == 'D') s.clock.advance(10000);  // Timer2 ticks while the poll waits
    };
    std::int16_t primo = 1;
    polling_lettore(s.app(), primo);
    onFrame = nullptr;
    for (int i = 0; i < 5; ++i) s.loop.doEvents();

    EXPECT_EQ(reader(1).outputs().text, "110001000") << "the grant opens the door of the reader polled";
    EXPECT_EQ(reader(2).outputs().text, "") << "and no other";
    EXPECT_EQ(reader(1).commands, (std::vector<std::string>{"01000123D", "01000123K110001000", "01000123O01"}));
    EXPECT_EQ(reader(2).commands, (std::vector<std::string>{"01000123O01"}));
    EXPECT_EQ(loopsSelected(), (std::vector<int>{1, 1, 1, 2}));
    EXPECT_EQ(s.serial.takeTexts().size(), 4u);
}

}  // namespace
}  // namespace vc
