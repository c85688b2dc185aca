#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/site_folder.h"
#include "core/log/transit_log.h"
#include "core/log/transiti_sospesi.h"
#include "core/main/frm_main.h"
#include "platform/database.h"
#include "support/fakes.h"

namespace vc {
namespace {

std::string Leggi(const std::string& file) {
    std::ifstream f(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

// A site folder with its journal, driven as the station drives it and as a kill leaves it.
class Giornale : public ::testing::Test {
protected:
    Giornale() {
        makeSiteFolder(VARCANTO_SITE_TEMPLATE, site.path());
        db = Database::open(site.file("Varcanto.mdb"));
    }
    TransitoSospeso transito(const std::string& badge, char presenza, const std::string& cognome = "Rossi") {
        TransitoSospeso v;
        v.presenza = presenza;
        v.badge = badge;
        v.riga = {badge, cognome, "Mario", "INGRESSO", "10/12/2026", "09:00", "1", "In", "Passaggio"};
        return v;
    }
    TransitoSospeso storico(const std::string& badge) {
        TransitoSospeso v;
        v.tipo = 'S';
        v.badge = badge;
        v.riga = {badge + " riga"};
        return v;
    }
    // What a station started after the kill finds and writes.
    std::size_t riparti() {
        TransitiSospesi dopo;
        sospesi::Leggi(site.path(), dopo);
        return sospesi::Registra(site.path(), dopo, db.get(), 0);
    }
    std::vector<std::string> righe(const std::string& sql) {
        std::vector<std::string> out;
        for (auto& r : db->query(sql)) out.push_back(r[0].second.str());
        return out;
    }
    void annota(const std::string& riga) { std::ofstream(site.file(sospesi::Giornale), std::ios::app) << riga; }

    test::TempDir site;
    std::shared_ptr<Database> db;
    TransitiSospesi attesa;
};

// Each moment a kill can stop a replay at: the passage it was writing must end up written once.
TEST_F(Giornale, AReplayKilledHalfwayWritesEachPassageOnce) {
    for (auto v : {transito("0001", '+'), transito("0002", '+', "Dell'\tAcqua \\n"), transito("0003", '+'),
                   storico("0004"), storico("0005")})
        sospesi::Accoda(site.path(), attesa, v);
    for (TransitoSospeso& v : attesa.voci) ASSERT_TRUE(v.suDisco);
    // 0001 written and marked done; 0002 committed, killed before its mark; 0003 not reached.
    ASSERT_TRUE(sospesi::Scrivi(site.path(), attesa.voci[0], db.get(), true));
    annota("D\t" + attesa.voci[0].id + "\n");
    ASSERT_TRUE(sospesi::Scrivi(site.path(), attesa.voci[1], db.get(), true));
    // 0004's line appended, killed before its mark; 0005's append announced, killed before it.
    ASSERT_TRUE(sospesi::Scrivi(site.path(), attesa.voci[3], db.get(), true));
    annota("A\t" + attesa.voci[4].id + "\t" + std::to_string(Leggi(site.file("Storico.txt")).size()) + "\n");
    // A record cut short by the kill: its decision never ended.
    annota("R\tmezzo\t10/12/2026 09:00:00\t+\t0009\t0009\tRo");

    EXPECT_EQ(riparti(), 0u);
    EXPECT_EQ(righe("SELECT NumeroBadge FROM transiti ORDER BY indice"),
              (std::vector<std::string>{"0001", "0002", "0003"}));
    EXPECT_EQ(righe("SELECT Cognome FROM transiti WHERE NumeroBadge = '0002'")[0], "Dell'\tAcqua \\n");
    EXPECT_EQ(righe("SELECT NumeroBadge FROM presenti ORDER BY rowid"),
              (std::vector<std::string>{"0001", "0002", "0003"}));
    EXPECT_EQ(Leggi(site.file("Storico.txt")), "\"0004 riga\"\r\n\"0005 riga\"\r\n");
    EXPECT_FALSE(std::filesystem::exists(site.file(sospesi::Giornale)));
    EXPECT_TRUE(righe("SELECT id FROM sospesi_registrati").empty());
}

// A history file that refuses its lines holds back its own, never the database's passages; and
// the journal is not written through a link planted under its name.
TEST_F(Giornale, EachDestinationKeepsItsOwnOrder) {
    std::filesystem::create_directory(site.file("Storico.txt"));
    for (auto v : {storico("0001"), transito("0002", '+'), storico("0003"), transito("0004", ' ')})
        sospesi::Accoda(site.path(), attesa, v);
    EXPECT_EQ(sospesi::Registra(site.path(), attesa, db.get(), 0), 2u);
    EXPECT_EQ(righe("SELECT NumeroBadge FROM transiti ORDER BY indice"), (std::vector<std::string>{"0002", "0004"}));
    EXPECT_EQ(sospesi::Avviso(attesa).rfind("TRANSITI NON REGISTRATI: 2 in attesa dal", 0), 0u);
    EXPECT_NE(sospesi::Avviso(attesa).find("ultima carta 0003"), std::string::npos);
    std::filesystem::remove(site.file("Storico.txt"));
    EXPECT_EQ(sospesi::Registra(site.path(), attesa, db.get(), 0), 0u);
    EXPECT_EQ(Leggi(site.file("Storico.txt")), "\"0001 riga\"\r\n\"0003 riga\"\r\n");

    const std::string altrove = site.file("altrove");
    std::filesystem::create_symlink(altrove, site.file(sospesi::Giornale));
    sospesi::Accoda(site.path(), attesa, storico("0005"));
    EXPECT_FALSE(attesa.voci.back().suDisco);
    EXPECT_FALSE(std::filesystem::exists(altrove));
    EXPECT_NE(sospesi::Avviso(attesa).find("1 non ancora salvati su disco"), std::string::npos);
}

// The reset emptied "presenti" at once; a passage decided before it and written after it then put
// the person back inside.
TEST(GiornaleReset, TheResetComesAfterThePassagesDecidedBeforeIt) {
    test::Station s;
    s.start();
    s.sql("CREATE TRIGGER guasto BEFORE INSERT ON transiti BEGIN SELECT RAISE(FAIL, 'disk I/O error'); END");
    ScriviTransito(s.app(), "0012", "Rossi", "Mario", 1, "INGRESSO", "In", 1);
    AzzeraPresenti(s.app());
    EXPECT_FALSE(sospesi::Dentro(s.app().Sospesi, "0012").value_or(true));
    s.sql("DROP TRIGGER guasto");
    RiprovaSospesi(s.app());
    EXPECT_TRUE(s.app().Sospesi.voci.empty());
    EXPECT_TRUE(Database::open(s.site.file("Varcanto.mdb"))->query("SELECT 1 FROM presenti").empty());
    EXPECT_EQ(Database::open(s.site.file("Varcanto.mdb"))->query("SELECT 1 FROM transiti").size(), 1u);
}

}  // namespace
}  // namespace vc
