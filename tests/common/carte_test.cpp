#include <gtest/gtest.h>

#include "common/carte.h"
#include "platform/database.h"

namespace vc {
namespace {

TEST(CardTables, NumberAndReaderString) {
    EXPECT_EQ(NumeroCartaArchivio(7), "0007");
    EXPECT_EQ(NumeroCartaArchivio(1234), "1234");
    const std::string lettore = "10x1";
    const std::pair<int, bool> casi[] = {{1, true}, {2, false}, {3, false}, {4, true}, {5, false}, {0, false}};
    for (auto [k, abilitata] : casi) EXPECT_EQ(AbilitataSulLettore(lettore, k), abilitata) << k;
}

TEST(CardTables, WeekdaysNameTheirFields) {
    EXPECT_STREQ(GiornoDellaSettimana(1).flag, "Domenica");
    EXPECT_STREQ(GiornoDellaSettimana(5).orari[3], "Gio_2_a");
    EXPECT_STREQ(GiornoDellaSettimana(5).nome, "Giovedì");
    EXPECT_STREQ(GiornoDellaSettimana(7).orari[0], "Sab_1_da");
}

TEST(CardTables, ScheduleCopyAndReset) {
    auto db = Database::memory();
    std::string colonne = "Nome TEXT";
    for (const char* g : CampiGiorni) colonne += std::string(", ") + g + " INTEGER";
    for (const char* o : CampiOrari) colonne += std::string(", ") + o + " TEXT";
    db->execute("CREATE TABLE Fasce (" + colonne + "); CREATE TABLE Carte (" + colonne + ")");
    db->execute("INSERT INTO Fasce (Nome, Lunedi, Lun_1_da, Dom_2_a) VALUES ('Turno', 1, '08:00', '18:00')");
    db->execute("INSERT INTO Carte (Nome) VALUES ('Rossi')");
    auto fascia = openRecordset(db, "Fasce");
    auto carta = openRecordset(db, "Carte");
    carta->Edit();
    CopiaFascia(*fascia, *carta);
    carta->Update();
    EXPECT_EQ(carta->field("Lunedi").toInt(), 1);
    EXPECT_EQ(carta->field("Martedi").toInt(), 0);
    EXPECT_EQ(carta->field("Lun_1_da").str(), "08:00");
    EXPECT_EQ(carta->field("Dom_2_a").str(), "18:00");
    carta->Edit();
    AzzeraFascia(*carta);
    carta->Update();
    EXPECT_EQ(carta->field("Lunedi").toInt(), 0);
    for (const char* o : CampiOrari) EXPECT_EQ(carta->field(o).str(), "##:##") << o;
}

}  // namespace
}  // namespace vc
