#include <gtest/gtest.h>

#include <fstream>

#include "core/main/frm_main.h"
#include "core/schedule/imparziale.h"
#include "core/settings/frm_prog_setup.h"
#include "support/fakes.h"

namespace vc {
namespace {

class RandomCheck : public ::testing::Test {
protected:
    RandomCheck() { s.start(); }
    void carte(int n, const std::string& fascia, const std::string& extra = "1, 1") {
        for (int i = 0; i < n; ++i)
            s.sql("INSERT INTO Carte (NumeroCarta, NomeFascia, Flag_online, AbilitaCarta) VALUES ('" +
                  std::to_string(numero_++) + "', '" + fascia + "', " + extra + ")");
    }
    long marcate(const std::string& dove = "1") {
        return Database::open(s.site.file("Varcanto.mdb"))
            ->query("SELECT count(*) FROM Carte WHERE Imparziale <> 0 AND " + dove)[0][0].second.toInt();
    }
    long quanti(const std::string& nome) {
        return Database::open(s.site.file("Varcanto.mdb"))
            ->query("SELECT Quanti FROM Fasce WHERE Nome = '" + nome + "'")[0][0].second.toInt();
    }
    void esegui(int persone) {
        s.app().form<FrmProgSetup>();
        s.app().imp.NumeroImparziale = static_cast<std::int16_t>(persone);
        EseguiImparziale(s.app());
    }
    test::Station s;
    int numero_ = 1000;
};

TEST_F(RandomCheck, SharesAreDrawnPerSchedule) {
    s.sql("INSERT INTO Fasce (Nome) VALUES ('Mattina'), (' Sera ')");
    carte(3, "Mattina");
    carte(4, "  Sera");
    carte(2, "Sera", "0, 1");  // not on-line
    carte(2, "Sera", "1, 0");  // disabled
    s.sql("UPDATE Carte SET Imparziale = 1 WHERE Flag_online = 0");  // an old mark is cleared
    esegui(3);
    EXPECT_EQ(quanti("Mattina"), 3);
    EXPECT_EQ(quanti(" Sera "), 4);
    EXPECT_EQ(marcate("TRIM(NomeFascia) = 'Mattina'"), 3);
    EXPECT_EQ(marcate("TRIM(NomeFascia) = 'Sera'"), 3);
    EXPECT_EQ(marcate("(Flag_online = 0 OR AbilitaCarta = 0)"), 0);
    esegui(0);
    EXPECT_EQ(marcate(), 0);
}

TEST_F(RandomCheck, SchedulesSharingANameDoNotDrawForEver) {
    s.sql("INSERT INTO Fasce (Nome) VALUES ('Turno'), ('Turno ')");
    carte(3, "Turno");
    esegui(2);
    EXPECT_EQ(marcate(), 3);
}

TEST_F(RandomCheck, EmptyTablesGiveTheMessage) {
    carte(2, "Turno");
    s.sql("UPDATE Carte SET Imparziale = 1");
    s.dialogs.expectMsg(ImparzialeImpossibile, mb::Critical, "Errore");
    esegui(1);
    EXPECT_EQ(marcate(), 0);
    EXPECT_FALSE(s.app().isLoaded("FrmWait"));
}

TEST_F(RandomCheck, DailyRunAtTheSetTime) {
    s.sql("INSERT INTO Fasce (Nome) VALUES ('Turno')");
    carte(1, "Turno");
    Impostazioni& imp = s.app().imp;
    s.app().form<FrmProgSetup>();
    imp.FlagImparziale = true;
    imp.NumeroImparziale = 1;
    imp.OrarioImparziale = "09:30";
    imp.FlagScattareAdOrario = false;
    s.clock.set({2026, 12, 10, 9, 30, 0});
    ImparzialeAdOrario(s.app());
    EXPECT_EQ(marcate(), 0);
    imp.FlagScattareAdOrario = true;
    s.clock.set({2026, 12, 10, 9, 31, 0});
    ImparzialeAdOrario(s.app());
    EXPECT_EQ(marcate(), 0);
    s.clock.set({2026, 12, 10, 9, 30, 0});
    s.app().form<FrmMain>().Timer3.fire();
    EXPECT_EQ(marcate(), 1);
    EXPECT_FALSE(s.app().form("FrmWait").Visible());
    EXPECT_EQ(test::control<Label>(s.app(), "FrmWait", "Label1").Caption(), "ATTENDERE PREGO");
}

TEST_F(RandomCheck, DailyRunOnAnUnreadableDatabaseLeavesNoWaitWindow) {
    Impostazioni& imp = s.app().imp;
    imp.FlagImparziale = imp.FlagScattareAdOrario = true;
    imp.OrarioImparziale = "09:30";
    std::ofstream(s.site.file("Varcanto.mdb"), std::ios::trunc) << "not a database";
    s.clock.set({2026, 12, 10, 9, 30, 0});
    s.dialogs.expectMsgStartingWith("Errore imprevisto: ", mb::Critical, "Errore");
    FrmMain& m = s.app().form<FrmMain>();
    m.Timer3.setEnabled(false);
    m.Timer3.setInterval(1);
    m.Timer3.setEnabled(true);
    s.clock.advance(10);
    s.loop.doEvents();
    EXPECT_TRUE(s.dialogs.allAnswered());
    EXPECT_FALSE(s.app().isLoaded("FrmWait") && s.app().form("FrmWait").Visible());
    EXPECT_EQ(test::control<Label>(s.app(), "FrmWait", "Label1").Caption(), "ATTENDERE PREGO");
}

}  // namespace
}  // namespace vc
