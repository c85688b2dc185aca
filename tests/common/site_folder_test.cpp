#include "common/site_folder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/fakes.h"
#include "support/fsync_spy.h"

namespace vc {
namespace {

namespace fs = std::filesystem;

const fs::path kTemplate = VARCANTO_SITE_TEMPLATE;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// What a build left under a temporary name.
std::vector<std::string> leftovers(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().filename().string().front() == '.') names.push_back(e.path().filename().string());
    return names;
}

// A database opened read-write on an existing file; each query gives its first column as text,
// "NULL" for a Null.
class Db {
public:
    explicit Db(const fs::path& path) {
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            throw std::runtime_error("cannot open " + path.string());
    }
    ~Db() { sqlite3_close(db_); }
    Db(const Db&) = delete;
    Db& operator=(const Db&) = delete;

    std::vector<std::string> column(const std::string& sql) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(db_));
        std::vector<std::string> values;
        while (sqlite3_step(st) == SQLITE_ROW) {
            const unsigned char* text = sqlite3_column_text(st, 0);
            values.emplace_back(text ? reinterpret_cast<const char*>(text) : "NULL");
        }
        sqlite3_finalize(st);
        return values;
    }
    std::string value(const std::string& sql) { return column(sql).at(0); }
    void exec(const std::string& sql) {
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(db_));
    }
    std::vector<std::string> columnsOf(const std::string& table) {
        return column("SELECT name FROM pragma_table_info('" + table + "')");
    }

private:
    sqlite3* db_ = nullptr;
};

class SiteFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = temp_.path();
        site_ = root_ / "nested" / "site";
    }

    // A writable copy of the shipped template, for tests that add or break template files.
    fs::path copyOfTemplate() {
        const fs::path copy = root_ / "template";
        fs::create_directories(copy);
        fs::copy(kTemplate, copy, fs::copy_options::recursive);
        return copy;
    }

    test::TempDir temp_;  // its own folder, so two suites running at once never share one
    fs::path root_;
    fs::path site_;
};

struct TableCase {
    std::string file;
    std::string table;
    std::vector<std::string> keyColumns;
};

TEST_F(SiteFolderTest, DatabasesHoldEveryTableWithItsFields) {
    makeSiteFolder(kTemplate, site_);

    const std::vector<TableCase> cases = {
        {"Varcanto.mdb", "Carte",
         {"Cognome", "Nome", "NumeroCarta", "Stringa", "AbilitaCarta", "Output1", "Output2",
          "Flag_fasce", "Flag_online", "ControllaInput", "MetodoInput", "Input1", "Input2",
          "Imparziale", "SceltaFascia", "Lettore", "NomeFascia", "Domenica", "Sabato", "Lun_1_da",
          "Dom_2_a"}},
        {"Varcanto.mdb", "Fasce", {"Nome", "Quanti", "Lunedi", "Domenica", "Lun_1_da", "Dom_2_a"}},
        {"Varcanto.mdb", "Lettori",
         {"TipoLettore", "SituatoPresso", "CodiceImpianto", "Ritardo", "Stato", "PosCarta1",
          "PosCarta4", "PosCodice1", "PosCodice6", "NumeroLoop", "NumeroIndirizzo", "RiscriviRam",
          "TestInput", "FasceOrarie"}},
        {"Varcanto.mdb", "transiti",
         {"NumeroBadge", "Cognome", "Nome", "PosizioneLettore", "Data", "Ora", "Passaggio", "verso",
          "nota", "indice"}},
        {"Varcanto.mdb", "presenti", {"NumeroBadge"}},
        {"Varcanto.mdb", "Storico",
         {"NumeroCarta", "Cognome", "Nome", "NumeroLettore", "SituatoPresso", "Data", "Ora"}},
        {"RepVarcanto.mdb.schema", "TEMP",
         {"Cognome", "Nome", "Ora", "NumeroBadge", "Data", "causale", "nota", "verso", "dataora",
          "passaggio"}},
        {"RepVarcanto.mdb.schema", "presenze",
         {"cognome", "nome", "numerobadge", "mancaingresso", "mancauscita", "dataingresso",
          "sdataingresso", "dataUscita", "sdataUscita", "numeroore", "numerominuti"}},
    };
    for (const TableCase& c : cases) {
        SCOPED_TRACE(c.file + " " + c.table);
        Db db(site_ / c.file);
        const std::vector<std::string> columns = db.columnsOf(c.table);
        ASSERT_FALSE(columns.empty()) << "no table";
        for (const std::string& key : c.keyColumns)
            EXPECT_NE(std::find(columns.begin(), columns.end(), key), columns.end()) << key;
    }

    Db site(site_ / "Varcanto.mdb");
    EXPECT_EQ(site.columnsOf("Carte").size(), 54u);
    EXPECT_EQ(site.columnsOf("Fasce").size(), 37u);
    EXPECT_EQ(site.value("PRAGMA journal_mode"), "wal");
}

// Each field the windows and the poll engine search by leads an index.
TEST_F(SiteFolderTest, LookUpsHaveTheirIndexes) {
    makeSiteFolder(kTemplate, site_);
    Db db(site_ / "Varcanto.mdb");
    const std::vector<std::pair<std::string, std::string>> lookUps = {
        {"Carte", "NumeroCarta"}, {"Carte", "Stringa"},     {"Carte", "Cognome"},
        {"Fasce", "Nome"},        {"presenti", "NumeroBadge"}, {"transiti", "Data"},
        {"transiti", "NumeroBadge"},
    };
    for (const auto& [table, field] : lookUps) {
        const std::vector<std::string> indexed = db.column(
            "SELECT ii.name FROM pragma_index_list('" + table +
            "') il JOIN pragma_index_info(il.name) ii WHERE ii.seqno = 0");
        EXPECT_NE(std::find(indexed.begin(), indexed.end(), field), indexed.end())
            << table << "." << field;
    }
}

TEST_F(SiteFolderTest, NewRowsStartUnsetAndTransitsAreCountedInInsertionOrder) {
    makeSiteFolder(kTemplate, site_);
    Db db(site_ / "Varcanto.mdb");

    db.exec("INSERT INTO Carte (NumeroCarta) VALUES ('0007')");
    // No raw code, so an empty card read can never match; bands unset; flags No.
    EXPECT_EQ(db.value("SELECT Stringa FROM Carte"), "NULL");
    EXPECT_EQ(db.value("SELECT Lun_1_da || Dom_2_a FROM Carte"), "##:####:##");
    EXPECT_EQ(db.value("SELECT AbilitaCarta + Imparziale + Flag_online FROM Carte"), "0");

    db.exec("INSERT INTO transiti (nota) VALUES ('a'); INSERT INTO transiti (nota) VALUES ('b');");
    db.exec("DELETE FROM transiti WHERE nota = 'b'; INSERT INTO transiti (nota) VALUES ('c');");
    // A counter freed by deleting the newest transit is not given again.
    EXPECT_EQ(db.column("SELECT nota || indice FROM transiti ORDER BY indice"),
              (std::vector<std::string>{"a1", "c3"}));
}

TEST_F(SiteFolderTest, PasswordFileIsInCodePage1252WithNoPasswordSetAndOnlyItsOwnerReadsIt) {
    makeSiteFolder(kTemplate, site_);
    EXPECT_EQ(readFile(site_ / "pswaccessi.txt"),
              "[Varcanto]\r\nFile=\xB0\xB0\xB0\xA7\xA7\xA7\r\n");
    EXPECT_EQ(fs::status(site_ / "pswaccessi.txt").permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(SiteFolderTest, SettingsFileHoldsEveryKeyWithCrLfLines) {
    makeSiteFolder(kTemplate, site_);
    const std::string ini = readFile(site_ / "Accessi.ini");

    std::istringstream lines(ini);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "[Impostazioni]\r");
    std::vector<std::pair<std::string, std::string>> keys;
    while (std::getline(lines, line)) {
        ASSERT_TRUE(!line.empty() && line.back() == '\r') << line;
        line.pop_back();
        const auto eq = line.find('=');
        ASSERT_NE(eq, std::string::npos) << line;
        keys.emplace_back(line.substr(0, eq), line.substr(eq + 1));
    }
    // Every key once, in the order start-up reads them, set to a working installation's values.
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Indirizzo485", "300H"},
        {"CancellaStorico", "No"},
        {"Seriale", "1"},
        {"SchedaK-880", "No"},
        {"Polling", "10"},
        {"MassimoNumeroIngressi", "0"},
        {"FlagMassimoNumeroIngressi", "No"},
        {"Ritardo", "1"},
        {"QuattroCifre", "Si"},
        {"FasceOrarie", "No"},
        {"Imparziale", "No"},
        {"NumeroImparziale", "0"},
        {"StoricoEsterno", "No"},
        {"FileTessaro", ""},
        {"ScattareAdOrario", "No"},
        {"OraImparziale", "##:##"},
        {"TastieraOutput1", "Si"},
        {"TastieraOutput2", "No"},
        {"AttivaOutput", "0"},
        {"OrarioIniziale1", "##:##"},
        {"OrarioIniziale2", "##:##"},
        {"OrarioIniziale3", "##:##"},
        {"OrarioFinale1", "##:##"},
        {"OrarioFinale2", "##:##"},
        {"OrarioFinale3", "##:##"},
        {"Utenti", "0"},
        {"Beep", "Si"},
    };
    ASSERT_EQ(expected.size(), 27u);
    EXPECT_EQ(keys, expected);
}

TEST_F(SiteFolderTest, SecondMakeKeepsTheSiteAndRebuildsTheReportTemplate) {
    const fs::path templ = copyOfTemplate();
    writeFile(templ / "Utenti.rpt", "shipped report");
    makeSiteFolder(templ, site_);
    ASSERT_EQ(readFile(site_ / "Utenti.rpt"), "shipped report");

    writeFile(site_ / "Accessi.ini", "[Impostazioni]\r\nPolling=55\r\n");
    writeFile(site_ / "pswaccessi.txt", "[Varcanto]\r\nFile=\xB0\xB0\xB0" "b\xA7\xA7\xA7\r\n");
    writeFile(site_ / "Utenti.rpt", "site report");
    Db(site_ / "Varcanto.mdb").exec("INSERT INTO Carte (Cognome) VALUES ('Rossi')");
    Db(site_ / "RepVarcanto.mdb.schema").exec("INSERT INTO TEMP (Cognome) VALUES ('Rossi')");

    makeSiteFolder(templ, site_);

    EXPECT_EQ(readFile(site_ / "Accessi.ini"), "[Impostazioni]\r\nPolling=55\r\n");
    EXPECT_EQ(readFile(site_ / "pswaccessi.txt"),
              "[Varcanto]\r\nFile=\xB0\xB0\xB0" "b\xA7\xA7\xA7\r\n");
    EXPECT_EQ(readFile(site_ / "Utenti.rpt"), "site report");
    EXPECT_EQ(Db(site_ / "Varcanto.mdb").value("SELECT Cognome FROM Carte"), "Rossi");
    EXPECT_EQ(Db(site_ / "RepVarcanto.mdb.schema").value("SELECT count(*) FROM TEMP"), "0");
}

TEST_F(SiteFolderTest, BrokenSchemaThrowsAndLeavesNoDatabase) {
    const fs::path templ = copyOfTemplate();
    writeFile(templ / "varcanto.sql", "CREATE TABLE Carte (Cognome TEXT);\nCREATE TABLE oops (");

    try {
        makeSiteFolder(templ, site_);
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        const std::string expected = "Cannot build " + (site_ / "Varcanto.mdb").string() + ": ";
        EXPECT_EQ(std::string(e.what()).rfind(expected, 0), 0u) << e.what();
    }
    // A later run must not take a half-built database for the site's own.
    EXPECT_FALSE(fs::exists(site_ / "Varcanto.mdb"));
    EXPECT_EQ(leftovers(site_), std::vector<std::string>{});
}

// The databases were built under a name anyone could foresee ("<name>.new"): whatever another
// user put there first was removed or stopped the build, and a link put there in between was
// followed by the database library, with the program's rights.
TEST_F(SiteFolderTest, DatabasesAreBuiltUnderANameNobodyForeseesAndForcedToTheDisk) {
    fs::create_directories(site_ / "Varcanto.mdb.new");
    writeFile(site_ / "Varcanto.mdb.new" / "dentro", "x");
    fs::create_symlink(root_ / "vittima", site_ / "RepVarcanto.mdb.schema.new");
    {
        const test::FsyncSpy spy;
        makeSiteFolder(kTemplate, site_);
        EXPECT_TRUE(spy.wasSynced(fs::canonical(site_).string()));  // the names given to the databases
    }
    EXPECT_EQ(Db(site_ / "Varcanto.mdb").value("PRAGMA journal_mode"), "wal");
    EXPECT_EQ(Db(site_ / "RepVarcanto.mdb.schema").value("SELECT count(*) FROM TEMP"), "0");
    EXPECT_EQ(readFile(site_ / "Varcanto.mdb.new" / "dentro"), "x");
    EXPECT_TRUE(fs::is_symlink(site_ / "RepVarcanto.mdb.schema.new"));
    EXPECT_FALSE(fs::exists(root_ / "vittima"));
    EXPECT_EQ(leftovers(site_), std::vector<std::string>{});
}

TEST_F(SiteFolderTest, MissingTemplateThrowsNamingTheFile) {
    try {
        makeSiteFolder((root_ / "no-such-template").string(), site_);
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("Accessi.ini"), std::string::npos) << e.what();
    }
}

}  // namespace
}  // namespace vc
