#include "platform/database.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "support/fakes.h"
#include "support/fifo_watch.h"

namespace vc {
namespace {

namespace fs = std::filesystem;

// A file path in a fresh folder, removed with the fixture.
class TempFolder {
public:
    TempFolder() : dir_(fs::temp_directory_path() / ("vc-db-" + std::to_string(::getpid()) + "-" + std::to_string(next_++))) {
        fs::create_directories(dir_);
    }
    ~TempFolder() { fs::remove_all(dir_); }
    std::string file(const std::string& name) const { return (dir_ / name).string(); }

private:
    static inline int next_ = 0;
    fs::path dir_;
};

class Cards : public ::testing::Test {
protected:
    Cards() : db(Database::memory()) {
        db->execute(
            "CREATE TABLE Carte (NumeroCarta TEXT, Cognome TEXT, Attivo INTEGER NOT NULL DEFAULT 0,"
            " Note TEXT DEFAULT 'nessuna')");
    }
    void add(const std::string& number, const std::string& surname, bool active = false) {
        db->execute("INSERT INTO Carte (NumeroCarta, Cognome, Attivo) VALUES (" + sqlQuote(number) + ", " +
                    sqlQuote(surname) + ", " + (active ? "1" : "0") + ")");
    }
    // Three cards whose rowids have a gap, in an order that is neither by number nor by name.
    void addThree() {
        add("0300", "Verdi");
        add("9999", "gone");
        add("0100", "Rossi", true);
        add("0200", "Bianchi", true);
        db->execute("DELETE FROM Carte WHERE NumeroCarta = '9999'");
    }
    std::unique_ptr<Recordset> open(const std::string& source = "Carte") { return openRecordset(db, source); }
    static std::string number(const Recordset& rs) { return rs.field("NumeroCarta").str(); }

    std::shared_ptr<Database> db;
};

TEST_F(Cards, EmptyTableIsAtBothEnds) {
    auto rs = open();
    EXPECT_TRUE(rs->BOF());
    EXPECT_TRUE(rs->EOF_());
    EXPECT_EQ(rs->RecordCount(), 0);
    EXPECT_EQ(rs->AbsolutePosition(), -1);
    EXPECT_THROW(rs->field("Cognome"), DbError);
    EXPECT_THROW(rs->Edit(), DbError);
    EXPECT_THROW(rs->Delete(), DbError);
    for (auto move : {&Recordset::MoveNext, &Recordset::MovePrevious, &Recordset::MoveFirst, &Recordset::MoveLast}) {
        ((*rs).*move)();
        EXPECT_TRUE(rs->BOF() && rs->EOF_());
    }
    rs->FindFirst("Cognome = 'Rossi'");
    EXPECT_TRUE(rs->NoMatch());
}

TEST_F(Cards, WalksInInsertionOrderAndStopsAtTheEnds) {
    addThree();
    auto rs = open();
    EXPECT_EQ(rs->RecordCount(), 3);
    EXPECT_EQ(number(*rs), "0300");
    EXPECT_FALSE(rs->BOF());
    rs->MoveNext();
    EXPECT_EQ(number(*rs), "0100");
    EXPECT_EQ(rs->AbsolutePosition(), 1);
    rs->MoveNext();
    EXPECT_EQ(number(*rs), "0200");
    rs->MoveNext();
    EXPECT_TRUE(rs->EOF_());
    EXPECT_FALSE(rs->BOF());
    EXPECT_THROW(rs->field("NumeroCarta"), DbError);
    rs->MoveNext();
    EXPECT_TRUE(rs->EOF_());
    rs->MovePrevious();
    EXPECT_EQ(number(*rs), "0200");

    rs->MoveFirst();
    rs->MovePrevious();
    EXPECT_TRUE(rs->BOF());
    EXPECT_FALSE(rs->EOF_());
    EXPECT_EQ(rs->AbsolutePosition(), -1);
    rs->MoveNext();
    EXPECT_EQ(number(*rs), "0300");

    rs->MoveLast();
    EXPECT_EQ(number(*rs), "0200");
    EXPECT_EQ(rs->AbsolutePosition(), 2);
    rs->setAbsolutePosition(1);
    EXPECT_EQ(number(*rs), "0100");
    EXPECT_THROW(rs->setAbsolutePosition(3), DbError);
}

TEST_F(Cards, FieldNamesIgnoreLetterCase) {
    addThree();
    auto rs = open("carte");
    EXPECT_EQ(rs->fieldNames(), (std::vector<std::string>{"NumeroCarta", "Cognome", "Attivo", "Note"}));
    EXPECT_EQ(rs->field("cognome").str(), "Verdi");
    EXPECT_EQ(rs->field("COGNOME").str(), "Verdi");
    EXPECT_THROW(rs->field("Cognom"), DbError);
}

TEST_F(Cards, FindFirstAndFindNext) {
    addThree();
    add("0400", "Rossi");
    auto rs = open();
    rs->MoveLast();
    rs->FindFirst("Cognome = 'Rossi'");
    EXPECT_FALSE(rs->NoMatch());
    EXPECT_EQ(number(*rs), "0100");
    rs->FindNext("Cognome = 'Rossi'");
    EXPECT_FALSE(rs->NoMatch());
    EXPECT_EQ(number(*rs), "0400");
    rs->FindNext("Cognome = 'Rossi'");
    EXPECT_TRUE(rs->NoMatch());
    EXPECT_EQ(number(*rs), "0400") << "no match leaves the position";

    rs->FindFirst("Attivo = True AND Cognome <> 'Rossi'");
    EXPECT_EQ(number(*rs), "0200");
    rs->FindFirst("Cognome LIKE 'ver%'");
    EXPECT_EQ(number(*rs), "0300");
    EXPECT_THROW(rs->FindFirst("NoSuchColumn = 1"), DbError);
}

TEST_F(Cards, ManyDistinctCriteriaOutliveTheStatementCache) {
    for (int i = 0; i < 150; ++i) add(std::to_string(i), "n" + std::to_string(i));
    auto rs = open();
    for (int round = 0; round < 2; ++round) {
        for (int i = 149; i >= 0; --i) {
            rs->FindFirst("NumeroCarta = " + sqlQuote(std::to_string(i)));
            ASSERT_FALSE(rs->NoMatch());
            ASSERT_EQ(rs->field("Cognome").str(), "n" + std::to_string(i));
            rs->MoveNext();
        }
    }
}

TEST_F(Cards, QuotedTextFindsExactlyItsRow) {
    add("0001", "O'Brien");
    add("0002", "O");
    add("0003", std::string("Bad\0' OR 1=1 --", 15));
    add("0004", "Bad");
    auto rs = open();
    rs->MoveLast();
    rs->FindFirst("Cognome = " + sqlQuote("O'Brien"));
    ASSERT_FALSE(rs->NoMatch());
    EXPECT_EQ(number(*rs), "0001");
    rs->FindFirst("Cognome = " + sqlQuote(std::string("Bad\0' OR 1=1 --", 15)));
    ASSERT_FALSE(rs->NoMatch());
    EXPECT_EQ(number(*rs), "0003") << "the whole text, NUL included, is what was stored and matched";
    rs->FindFirst("Cognome = " + sqlQuote(std::string("Bad\0", 4)));
    EXPECT_TRUE(rs->NoMatch()) << "a text that only begins like a stored one does not match it";
}

// A criterion with parameters finds, on either kind of source, the records the same criterion
// finds with the values quoted into it, FindNext included.
TEST_F(Cards, BoundCriteriaFindWhatQuotedOnesFind) {
    const std::string nul("Bad\0' OR 1=1 --", 15);
    add("0001", "O'Brien");
    add("0002", nul);
    add("0003", "Bad");
    add("0004", "O'Brien", true);
    add("0005", "O'Brien");
    struct Caso {
        std::string quoted, bound;
        std::vector<Value> args;
    } casi[] = {
        {"Cognome = " + sqlQuote("O'Brien"), "Cognome = ?1", {"O'Brien"}},
        {"Cognome = " + sqlQuote(nul), "Cognome = ?1", {nul}},
        {"Cognome = " + sqlQuote(std::string("Bad\0", 4)), "Cognome = ?1", {std::string("Bad\0", 4)}},
        {"Cognome = 'O''Brien' AND NumeroCarta <> '0004'", "Cognome = ?1 AND NumeroCarta <> ?2", {"O'Brien", "0004"}},
        {"Attivo = 1 OR Cognome = 'Bad'", "Attivo = ?2 OR Cognome = ?1", {"Bad", 1}},
    };
    auto found = [](Recordset& rs, const std::string& criteria, const std::vector<Value>& args) {
        std::vector<std::string> numbers;
        for (rs.FindFirst(criteria, args); !rs.NoMatch(); rs.FindNext(criteria, args)) numbers.push_back(number(rs));
        return numbers;
    };
    for (const char* source : {"Carte", "SELECT * FROM Carte"}) {
        auto rs = open(source);
        for (const Caso& c : casi) {
            const auto expected = found(*rs, c.quoted, {});
            EXPECT_EQ(found(*rs, c.bound, c.args), expected) << source << ": " << c.bound;
        }
    }
    auto rs = open();
    EXPECT_EQ(found(*rs, "Cognome = ?1", {"O'Brien"}), (std::vector<std::string>{"0001", "0004", "0005"}));
}

TEST_F(Cards, BoundValuesShareOneStatement) {
    for (int i = 0; i < 100; ++i) add(std::to_string(i), "n" + std::to_string(i));
    auto statements = [this] {
        int n = 0;
        for (sqlite3_stmt* s = sqlite3_next_stmt(db->handle(), nullptr); s; s = sqlite3_next_stmt(db->handle(), s)) ++n;
        return n;
    };
    auto rs = open();
    rs->FindFirst("NumeroCarta = ?1", {"0"});
    const int prepared = statements();
    for (int i = 99; i > 0; --i) {
        rs->FindFirst("NumeroCarta = ?1", {std::to_string(i)});
        ASSERT_EQ(rs->field("Cognome").str(), "n" + std::to_string(i));
    }
    EXPECT_EQ(statements(), prepared);
}

TEST(SqlQuote, DoublesQuotesAndSpellsOutNul) {
    EXPECT_EQ(sqlQuote(""), "''");
    EXPECT_EQ(sqlQuote("Rossi"), "'Rossi'");
    EXPECT_EQ(sqlQuote("O'Brien"), "'O''Brien'");
    EXPECT_EQ(sqlQuote("''"), "''''''");
    EXPECT_EQ(sqlQuote(std::string("ab\0c'd", 6)), "CAST(X'616200632764' AS TEXT)");
}

TEST_F(Cards, AddNewInsertsWithDefaultsAndBecomesCurrentAndLast) {
    addThree();
    auto rs = open();
    rs->AddNew();
    EXPECT_TRUE(rs->editing());
    rs->setField("numerocarta", Value("0500"));
    rs->setField("Cognome", Value("Neri"));
    EXPECT_EQ(rs->field("Cognome").str(), "Neri");
    rs->Update();
    EXPECT_FALSE(rs->editing());
    EXPECT_EQ(number(*rs), "0500");
    EXPECT_EQ(rs->field("Note").str(), "nessuna");
    EXPECT_EQ(rs->field("Attivo"), Value(0));
    EXPECT_EQ(rs->AbsolutePosition(), 3);
    rs->MoveNext();
    EXPECT_TRUE(rs->EOF_());
    EXPECT_EQ(rs->RecordCount(), 4);

    rs->MoveFirst();
    rs->AddNew();
    rs->setField("NumeroCarta", Value("0600"));
    rs->CancelUpdate();
    EXPECT_EQ(number(*rs), "0300");
    EXPECT_EQ(rs->RecordCount(), 4);
}

TEST_F(Cards, EditWritesOnlyTheChangedFields) {
    addThree();
    auto rs = open();
    db->execute("UPDATE Carte SET Note = 'cambiata altrove' WHERE NumeroCarta = '0300'");
    rs->Edit();
    rs->setField("Attivo", Value(true));
    EXPECT_EQ(rs->field("Attivo"), Value(1));
    rs->Update();
    auto rows = db->query("SELECT Attivo, Note FROM Carte WHERE NumeroCarta = '0300'");
    EXPECT_EQ(rows.at(0).at(0).second, Value(1));
    EXPECT_EQ(rows.at(0).at(1).second, Value("cambiata altrove"));
    EXPECT_EQ(rs->field("Note").str(), "cambiata altrove") << "the record is read back after the write";

    rs->Edit();
    rs->setField("Cognome", Value("Nessuno"));
    rs->MoveNext();
    EXPECT_FALSE(rs->editing()) << "a move drops the edit";
    EXPECT_EQ(db->query("SELECT count(*) FROM Carte WHERE Cognome = 'Nessuno'").at(0).at(0).second, Value(0));
    EXPECT_THROW(rs->setField("Cognome", Value("x")), DbError);
    EXPECT_THROW(rs->Update(), DbError);
}

TEST_F(Cards, DeleteStaysOnTheDeletedPositionUntilTheNextMove) {
    addThree();
    auto rs = open();
    rs->MoveNext();
    rs->Delete();
    EXPECT_FALSE(rs->BOF() || rs->EOF_());
    EXPECT_THROW(rs->field("Cognome"), DbError);
    EXPECT_THROW(rs->Delete(), DbError);
    rs->MoveNext();
    EXPECT_EQ(number(*rs), "0200");
    EXPECT_EQ(rs->RecordCount(), 2);

    rs->Delete();
    rs->MoveNext();
    EXPECT_TRUE(rs->EOF_());
    rs->MoveFirst();
    rs->Delete();
    rs->MovePrevious();
    EXPECT_TRUE(rs->BOF());
    EXPECT_EQ(rs->RecordCount(), 0);
}

TEST_F(Cards, FailedWritesThrowAndTryTwinsReturnFalse) {
    addThree();
    auto rs = open();
    rs->Edit();
    rs->setField("Attivo", Value());
    EXPECT_THROW(rs->Update(), DbError) << "NOT NULL";
    EXPECT_TRUE(rs->editing()) << "the edit survives a failed write";
    rs->CancelUpdate();
    EXPECT_EQ(rs->field("Attivo"), Value(0));

    EXPECT_THROW(db->execute("DELETE FROM Missing"), DbError);
    std::string error;
    EXPECT_FALSE(db->tryExecute("INSERT INTO Missing VALUES (1)", &error));
    EXPECT_NE(error.find("Missing"), std::string::npos) << error;
    EXPECT_TRUE(db->tryExecute("DELETE * FROM Carte WHERE Attivo = False"));
    EXPECT_EQ(db->execute("UPDATE Carte SET Note = 'x'"), 2);
}

TEST_F(Cards, TransactionRollsBackUnlessCommitted) {
    {
        Transaction t(*db);
        add("0001", "A");
    }
    EXPECT_EQ(open()->RecordCount(), 0);
    {
        Transaction t(*db);
        add("0001", "A");
        t.commit();
    }
    EXPECT_EQ(open()->RecordCount(), 1);
}

TEST_F(Cards, SqlSourceOnOneTableIsWritable) {
    addThree();
    auto rs = open("  select Cognome AS Nome, NumeroCarta FROM Carte WHERE Attivo = True ORDER BY Cognome");
    EXPECT_EQ(rs->fieldNames(), (std::vector<std::string>{"Nome", "NumeroCarta"}));
    EXPECT_EQ(rs->RecordCount(), 2);
    EXPECT_EQ(rs->field("nome").str(), "Bianchi");
    rs->FindFirst("Nome = 'Rossi'");
    ASSERT_FALSE(rs->NoMatch());
    EXPECT_EQ(rs->AbsolutePosition(), 1);

    rs->Edit();
    rs->setField("Nome", Value("Rosso"));
    rs->Update();
    EXPECT_EQ(rs->field("Nome").str(), "Rosso");
    EXPECT_EQ(db->query("SELECT Cognome FROM Carte WHERE NumeroCarta = '0100'").at(0).at(0).second, Value("Rosso"));

    rs->MoveFirst();
    rs->Delete();
    EXPECT_THROW(rs->field("Nome"), DbError);
    rs->MoveNext();
    EXPECT_EQ(rs->field("Nome").str(), "Rosso");
    EXPECT_EQ(rs->RecordCount(), 1);
    EXPECT_EQ(db->query("SELECT count(*) FROM Carte").at(0).at(0).second, Value(2));

    rs->AddNew();
    rs->setField("NumeroCarta", Value("0700"));
    rs->Update();
    EXPECT_EQ(number(*rs), "0700");
    EXPECT_TRUE(rs->field("Nome").isNull());
    EXPECT_EQ(rs->AbsolutePosition(), 1);
}

// A grid reads any record by its position while the window keeps its current record and edit;
// an SQL source on one table reads its rows when visited (many of them, in blocks).
TEST_F(Cards, ValuesAtReadsAnyRecordWithoutMoving) {
    {
        Transaction t(*db);
        for (int i = 0; i < 600; ++i) add(std::to_string(1000 + i), "c" + std::to_string(i % 7));
        t.commit();
    }
    struct Caso {
        const char* source;
        bool writable;
        const char *at300, *last;
    } casi[] = {
        {"Carte", true, "1300", "1599"},
        {"SELECT NumeroCarta, Cognome FROM Carte ORDER BY Cognome, NumeroCarta", true, "1297", "1594"},
        {"SELECT NumeroCarta, Cognome || '' AS Cognome FROM Carte ORDER BY Cognome, NumeroCarta", false, "1297", "1594"},
    };
    for (const auto& c : casi) {
        SCOPED_TRACE(c.source);
        auto rs = open(c.source);
        rs->setAbsolutePosition(3);
        if (c.writable) {
            rs->Edit();
            rs->setField("NumeroCarta", Value("x"));
        }
        EXPECT_EQ(rs->valuesAt(599).at(0).str(), c.last);
        EXPECT_EQ(rs->valuesAt(300).at(0).str(), c.at300);
        EXPECT_EQ(rs->editing(), c.writable);
        EXPECT_EQ(rs->AbsolutePosition(), 3);
        EXPECT_THROW(rs->valuesAt(600), DbError);
        rs->CancelUpdate();
        std::string walked;
        for (rs->MoveFirst(); !rs->EOF_(); rs->MoveNext()) walked = number(*rs);
        EXPECT_EQ(walked, c.last);
    }
    auto rs = open("SELECT NumeroCarta FROM Carte ORDER BY NumeroCarta DESC");
    EXPECT_EQ(rs->RecordCount(), 600);
    db->execute("DELETE FROM Carte WHERE NumeroCarta = '1598'");
    EXPECT_EQ(rs->valuesAt(0).at(0).str(), "1599");
    EXPECT_THROW(rs->valuesAt(1), DbError);  // gone since the source ran
}

TEST_F(Cards, SqlSourcesThatAreNotOneTablesRowsAreReadOnly) {
    addThree();
    db->execute("CREATE TABLE Fasce (Nome TEXT); INSERT INTO Fasce VALUES ('Verdi');"
                "CREATE TABLE Codici (Codice TEXT PRIMARY KEY) WITHOUT ROWID; INSERT INTO Codici VALUES ('K')");
    const char* sources[] = {
        "SELECT Cognome, count(*) AS n FROM Carte GROUP BY Cognome",
        "SELECT DISTINCT Cognome FROM Carte",
        "SELECT Carte.Cognome, Fasce.Nome FROM Carte JOIN Fasce ON Fasce.Nome = Carte.Cognome",
        "SELECT Cognome || '!' AS x FROM Carte",
        "SELECT Cognome FROM Carte UNION SELECT Nome FROM Fasce",
        "SELECT Cognome, Codice FROM Carte, Codici",  // the rowid is Carte's, Codice is not
    };
    for (const char* sql : sources) {
        auto rs = open(sql);
        EXPECT_FALSE(rs->EOF_()) << sql;
        EXPECT_THROW(rs->Edit(), DbError) << sql;
        EXPECT_THROW(rs->AddNew(), DbError) << sql;
        EXPECT_THROW(rs->Delete(), DbError) << sql;
    }
}

TEST_F(Cards, IndexedFindFirstDoesNotScanTheTable) {
    {
        Transaction t(*db);
        for (int i = 0; i < 32767; ++i) add(std::to_string(100000 + i), "c");
        t.commit();
    }
    db->execute("CREATE INDEX Carte_Numero ON Carte (NumeroCarta)");
    auto rs = openRecordset(db, "Carte");
    long steps = 0;
    auto countSteps = [](void* n) {
        ++*static_cast<long*>(n);
        return 0;
    };
    sqlite3_progress_handler(db->handle(), 100, countSteps, &steps);
    rs->FindFirst("NumeroCarta = '132766'");
    sqlite3_progress_handler(db->handle(), 0, nullptr, nullptr);
    ASSERT_FALSE(rs->NoMatch());
    EXPECT_EQ(rs->AbsolutePosition(), 32766);
    EXPECT_LT(steps, 10) << "about 100 virtual-machine steps per unit";
}

TEST(RewriteDialect, RewritesOnlyTheOldForms) {
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"DELETE * FROM TEMP", "DELETE FROM TEMP"},
        {"delete  *\tFROM transiti ", "delete FROM transiti "},
        {"DELETE *FROM t", "DELETE FROM t"},
        {"DELETE FROM t", "DELETE FROM t"},
        {"SELECT * FROM t", "SELECT * FROM t"},
        {"WHERE a = True AND b = false", "WHERE a = 1 AND b = 0"},
        {"WHERE Truex = 1 AND xTrue = 2 AND t.b = TRUE", "WHERE Truex = 1 AND xTrue = 2 AND t.b = 1"},
        {"WHERE s = 'True' OR s = 'it''s True'", "WHERE s = 'True' OR s = 'it''s True'"},
        {"WHERE \"True\" = [False]", "WHERE \"True\" = [False]"},
        {"WHERE s = 'DELETE * FROM x'", "WHERE s = 'DELETE * FROM x'"},
        {"WHERE d >= #1/1/2010#", "WHERE d >= 40179"},
        {"WHERE d = #31/12/1899#", "WHERE d = 1"},
        {"WHERE d < #02/01/2010 12:00#", "WHERE d < 40180.5"},
        {"WHERE d = #31/2/2010#", "WHERE d = #31/2/2010#"},
        {"WHERE d = '#1/1/2010#'", "WHERE d = '#1/1/2010#'"},
        {"WHERE s = 'unterminated True", "WHERE s = 'unterminated True"},
    };
    for (const auto& c : cases) EXPECT_EQ(rewriteDialect(c.in), c.out) << c.in;
}

TEST(DialectFunctions, DatesAreDaySerialsAndCdblReadsNumbers) {
    auto db = Database::memory();
    auto one = [&](const std::string& expr) { return db->query("SELECT " + expr).at(0).at(0).second; };
    struct Case {
        const char* expr;
        Value value;
    };
    const Case cases[] = {
        {"cdbl(CDATE('1/1/2010'))", Value(40179.0)},
        {"cdbl(cdate('01/01/2010'))", Value(40179.0)},
        {"CDATE(' 29/2/2024 ')", Value(45351.0)},
        {"CDATE('1/1/2010 18:00')", Value(40179.75)},
        {"CDATE('1/1/2010 6:00:36')", Value(40179.25 + 36 / 86400.0)},
        {"CDATE('29/2/2023')", Value()},
        {"CDATE('1/13/2010')", Value()},
        {"CDATE('1/1/10')", Value()},
        {"CDATE('1/1/2010 24:00')", Value()},
        {"CDATE('1/1/2010x')", Value()},
        {"CDATE(NULL)", Value()},
        {"CDATE(#5/6/2020#)", Value(43987.0)},
        {"CDBL(' 1 2,5')", Value(12.0)},
        {"CDBL('&H10')", Value(16.0)},
        {"CDBL(7)", Value(7.0)},
        {"CDBL(NULL)", Value()},
    };
    for (const auto& c : cases) EXPECT_EQ(one(c.expr), c.value) << c.expr;

    db->execute("CREATE TABLE transiti (Data TEXT, Ora TEXT, indice INTEGER);"
                "INSERT INTO transiti VALUES ('2/1/2010', '08:00', 1), ('31/12/2009', '09:00', 2),"
                " ('1/1/2010', '10:00', 3), ('2/1/2010', '07:00', 4)");
    auto rows = db->query("SELECT indice FROM transiti WHERE (cdbl(CDATE(Data)) >= 40179) AND"
                          " ( cdbl(CDATE(Data)) <= 40180) ORDER BY cdbl(cdate(Data)) ASC, Ora ASC, indice");
    std::vector<Value> order;
    for (const auto& r : rows) order.push_back(r.at(0).second);
    EXPECT_EQ(order, (std::vector<Value>{Value(3), Value(4), Value(1)}));
}

// The rewrite puts built-in SQL in place of CDATE(column): it must read every value as the
// function does, odd texts included.
TEST(DialectFunctions, CdateOfAColumnIsTheFunctionValueForValue) {
    auto db = Database::memory();
    db->execute("CREATE TABLE t (Data)");
    const std::string texts[] = {
        "10/12/2026", "01/01/1900", "29/02/2024", "29/02/2023", "29/02/1900", "29/02/2000", "31/04/2026", "00/12/2026",
        "10/00/2026", "10/13/2026", "01/01/0000", "31/12/9999", "1/5/2010", "1/05/2010", "01/5/2010", " 1/5/2010\t",
        "\r\n10/12/2026 ", "10/12/26", "10/12/02026", "100/12/2026", "10-12-2026", "10/12/2026x", "10/12/2026 08:00",
        "10/12/2026\t\t8:5", "10/12/2026 8:05:36", "10/12/2026 23:59:59", "10/12/2026 24:00", "10/12/2026 08:60",
        "10/12/2026 08:00:60", "10/12/2026 08:00:", "10/12/2026 08", "10/12/2026 008:00", "10/12/2026 08:000",
        "10/12/2026 08:00 x", "10/12/2026 08 :00", "10/12/2026 1:2:3:4", "10/12/2026:08:00", "", " ", "/", "1//2010",
        "46366", "10/1a/2026", "1a/12/2026",
    };
    for (const auto& t : texts) db->execute("INSERT INTO t VALUES (" + sqlQuote(t) + ")");
    db->execute("INSERT INTO t VALUES (NULL), (46366), (46366.5), (CAST('10/12/2026' AS BLOB)), (X'31302F31322F3230323600'),"
                " (CAST(X'31302F31322F32303236003038' AS TEXT)), ('10/12/2026 ' || char(0))");
    // CDATE('...') of a literal is the registered function; CDATE(Data) is the rewrite.
    const auto rows = db->query("SELECT rowid, quote(Data), CDATE(Data) AS built, cdbl(CDATE(Data)) AS outer FROM t");
    ASSERT_EQ(rows.size(), std::size(texts) + 7);
    for (const auto& r : rows) {
        const std::string rowid = r[0].second.str();
        const Value function = db->query("SELECT CDATE((SELECT Data FROM t WHERE rowid = " + rowid + "))").at(0).at(0).second;
        EXPECT_EQ(r[2].second, function) << r[1].second.str();
        EXPECT_EQ(r[3].second, function) << r[1].second.str();
    }
    EXPECT_EQ(rewriteDialect("SELECT CDATE('1/1/2010'), CDATE(?1), cdbl(CDATE(Data) + 1)"),
              "SELECT CDATE('1/1/2010'), CDATE(?1), cdbl(" + dateSerialSql("Data") + " + 1)");
}

TEST(DialectFunctions, AnIndexOnTheDateServesRangeAndOrder) {
    auto db = Database::memory();
    db->execute("CREATE TABLE transiti (Data TEXT, Ora TEXT, indice INTEGER PRIMARY KEY)");
    db->execute("CREATE INDEX giorno ON transiti (" + dateSerialSql("Data") + ", Ora COLLATE NOCASE)");
    std::string plan;
    for (const auto& r : db->query("EXPLAIN QUERY PLAN SELECT Data FROM transiti WHERE (cdbl(CDATE(Data)) >= 40179) AND"
                                   " ( cdbl(CDATE(Data)) <= 40180) ORDER BY cdbl(cdate(Data)) ASC, Ora ASC, indice"))
        plan += r.back().second.str() + "\n";
    EXPECT_NE(plan.find("USING INDEX giorno (<expr>>? AND <expr><?)"), std::string::npos) << plan;
    EXPECT_EQ(plan.find("TEMP B-TREE"), std::string::npos) << plan;
}

TEST(RewriteDialect, OrderByColumnsIgnoresLetterCase) {
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"SELECT * FROM t ORDER BY Cognome,nome, t.numerobadge, dataora",
         "SELECT * FROM t ORDER BY Cognome COLLATE NOCASE,nome COLLATE NOCASE, t.numerobadge COLLATE NOCASE, dataora COLLATE NOCASE"},
        {"SELECT a FROM t order  by a DESC, b asc LIMIT 3", "SELECT a FROM t order  by a COLLATE NOCASE DESC, b COLLATE NOCASE asc LIMIT 3"},
        {"SELECT a FROM t ORDER BY rowid DESC LIMIT 1", "SELECT a FROM t ORDER BY rowid DESC LIMIT 1"},
        {"SELECT a FROM t ORDER BY 2, a COLLATE BINARY, lower(a), a || b", "SELECT a FROM t ORDER BY 2, a COLLATE BINARY, lower(a), a || b"},
        {"SELECT * FROM (SELECT a FROM t ORDER BY a) WHERE a = 'X' ORDER BY a",
         "SELECT * FROM (SELECT a FROM t ORDER BY a COLLATE NOCASE) WHERE a = 'X' ORDER BY a COLLATE NOCASE"},
        {"SELECT a FROM t WHERE s = 'ORDER BY a' AND b = True ORDER BY a", "SELECT a FROM t WHERE s = 'ORDER BY a' AND b = 1 ORDER BY a COLLATE NOCASE"},
    };
    for (const auto& c : cases) EXPECT_EQ(rewriteDialect(c.in), c.out) << c.in;

    auto db = Database::memory();
    db->execute("CREATE TABLE t (Cognome TEXT); INSERT INTO t VALUES ('Esposito'), ('de Luca'), ('ROSSI'), ('Bianchi'), ('Rossi')");
    std::string order;
    for (const auto& r : db->query("SELECT Cognome FROM t ORDER BY Cognome")) order += r[0].second.str() + ",";
    EXPECT_EQ(order, "Bianchi,de Luca,Esposito,ROSSI,Rossi,");
    EXPECT_EQ(db->query("SELECT count(*) FROM t WHERE Cognome = 'rossi'").at(0).at(0).second, Value(0));
}

TEST(DatabaseFile, DurableFileIsWalWithFullSync) {
    TempFolder dir;
    const std::string path = dir.file("site.mdb");
    Database::create(path)->execute("CREATE TABLE t (a)");
    auto db = Database::open(path);
    EXPECT_EQ(db->query("PRAGMA synchronous").at(0).at(0).second, Value(2));
    EXPECT_EQ(db->query("PRAGMA journal_mode").at(0).at(0).second, Value("wal"));
    EXPECT_EQ(db->path(), path);
    EXPECT_TRUE(db->hasTable("T"));
    EXPECT_EQ(db->columns("t"), std::vector<std::string>{"a"});
    EXPECT_THROW(db->columns("u"), DbError);
}

TEST(DatabaseFile, MissingOrForeignFilesAreRefused) {
    TempFolder dir;
    const std::string missing = dir.file("missing.mdb");
    try {
        Database::open(missing);
        FAIL() << "opened a missing file";
    } catch (const DbError& e) {
        EXPECT_NE(std::string(e.what()).find(missing), std::string::npos) << e.what();
    }
    EXPECT_FALSE(fs::exists(missing)) << "open never creates";

    const std::string text = dir.file("notes.mdb");
    std::ofstream(text) << "this is not a database, just some text that is long enough to have a header";
    EXPECT_THROW(Database::open(text), DbError);
}

// A table recordset takes its fields from cached statements: a table changed by another
// connection shows its present fields in a recordset opened after the change, and in one kept
// open from its next move or find.
TEST(DatabaseFile, TableRecordsetFollowsAChangedTable) {
    TempFolder dir;
    auto db = Database::create(dir.file("site.mdb"));
    db->execute("CREATE TABLE Carte (NumeroCarta TEXT, Nome TEXT); INSERT INTO Carte VALUES ('0001', 'Mario')");
    auto kept = openRecordset(db, "Carte");
    EXPECT_EQ(kept->fieldNames(), (std::vector<std::string>{"NumeroCarta", "Nome"}));
    Database::open(dir.file("site.mdb"))
        ->execute("ALTER TABLE Carte RENAME TO Vecchie;"
                  "CREATE TABLE Carte (Nome TEXT, Cognome TEXT DEFAULT 'Rossi', NumeroCarta TEXT);"
                  "INSERT INTO Carte (Nome, NumeroCarta) SELECT Nome, NumeroCarta FROM Vecchie;");
    const std::vector<std::string> present{"Nome", "Cognome", "NumeroCarta"};
    auto opened = openRecordset(db, "Carte");
    EXPECT_EQ(opened->fieldNames(), present);
    kept->FindFirst("NumeroCarta = ?1", {"0001"});
    EXPECT_EQ(kept->fieldNames(), present);
    for (Recordset* rs : {opened.get(), kept.get()}) {
        EXPECT_EQ(rs->field("Nome").str(), "Mario");
        EXPECT_EQ(rs->field("Cognome").str(), "Rossi");
    }
}

TEST(DataControl, RefreshOpensOncePerDatabaseNameAndKeepsTheLastGoodRecordset) {
    TempFolder dir;
    Database::create(dir.file("a.mdb"))->execute("CREATE TABLE t (n); INSERT INTO t VALUES ('a1'), ('a2')");
    Database::create(dir.file("b.mdb"))->execute("CREATE TABLE t (n); INSERT INTO t VALUES ('b1')");

    DataControl data;
    EXPECT_FALSE(data.bound());
    EXPECT_THROW(data.recordset(), DbError);
    data.DatabaseName = dir.file("a.mdb");
    data.RecordSource = "t";
    data.Refresh();
    Database* first = &data.database();
    data.recordset()->MoveNext();
    data.Refresh();
    EXPECT_EQ(&data.database(), first);
    EXPECT_EQ(data.recordset()->field("n").str(), "a1") << "Refresh goes back to the first record";

    data.RecordSource = "SELECT n FROM t ORDER BY n DESC";
    data.Refresh();
    EXPECT_EQ(data.recordset()->field("n").str(), "a2");

    data.DatabaseName = dir.file("b.mdb");
    data.Refresh();
    EXPECT_EQ(data.recordset()->field("n").str(), "b1");
    EXPECT_EQ(data.recordset()->RecordCount(), 1);

    std::string error;
    data.RecordSource = "Missing";
    EXPECT_FALSE(data.tryRefresh(&error));
    EXPECT_NE(error.find("Missing"), std::string::npos) << error;
    data.DatabaseName = dir.file("none.mdb");
    EXPECT_FALSE(data.tryRefresh());
    EXPECT_EQ(data.recordset()->field("n").str(), "b1");
}

// What a handler holds across a yield outlives a nested handler's Refresh of the same control,
// even one that moves it to another database: position, pending edit and all.
TEST(DataControl, ARecordsetHeldOutlivesTheControlsRefresh) {
    TempFolder dir;
    Database::create(dir.file("a.mdb"))->execute("CREATE TABLE t (n); INSERT INTO t VALUES ('a1'), ('a2')");
    Database::create(dir.file("b.mdb"))->execute("CREATE TABLE t (n); INSERT INTO t VALUES ('b1')");
    DataControl data;
    data.DatabaseName = dir.file("a.mdb");
    data.RecordSource = "t";
    data.Refresh();
    const std::shared_ptr<Recordset> held = data.recordset();
    held->MoveNext();
    held->AddNew();
    held->setField("n", Value("a3"));

    data.DatabaseName = dir.file("b.mdb");
    data.Refresh();
    EXPECT_EQ(data.recordset()->field("n").str(), "b1");
    EXPECT_NE(data.recordset(), held);

    EXPECT_EQ(held->field("n").str(), "a3");
    held->Update();
    held->MoveFirst();
    held->MoveNext();
    EXPECT_EQ(held->field("n").str(), "a2");
    held->MoveNext();
    EXPECT_EQ(held->field("n").str(), "a3");
    EXPECT_EQ(Database::open(dir.file("a.mdb"))->query("SELECT count(*) FROM t").at(0).at(0).second.toInt(), 3);
}

// SQLite opens whatever stands under the name, a pipe included.
TEST(DatabaseOpen, APipeIsRefusedBeforeTheLibraryOpensIt) {
    test::TempDir dir;
    const std::string file = dir.file("Varcanto.mdb");
    test::FifoWatch watch({file});
    try {
        Database::open(file);
        FAIL() << "opened";
    } catch (const DbError& e) {
        EXPECT_EQ(std::string(e.what()), "cannot open database '" + file + "': è una pipe");
    }
    EXPECT_EQ(watch.opened(), std::vector<std::string>{});
}

}  // namespace
}  // namespace vc
