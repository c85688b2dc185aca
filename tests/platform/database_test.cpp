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

// A cursor held across other work: another connection writes meanwhile without waiting, the
// cursor reads on the rows of the moment its read began, and once done it stays done.
TEST(DatabaseFile, ACursorReadsOnTheRowsItBeganWith) {
    TempFolder dir;
    auto db = Database::create(dir.file("site.mdb"));
    db->execute("CREATE TABLE t (a); INSERT INTO t VALUES (1), (2), (3)");
    auto other = Database::open(dir.file("site.mdb"));
    other->setBusyTimeout(0);
    Database::Cursor rows = db->cursor("SELECT a FROM t ORDER BY a");
    EXPECT_STREQ(rows.row().name(0), "a");
    std::vector<Value> read;
    ASSERT_TRUE(rows.next());
    read.push_back(rows.row().value(0));
    other->execute("DELETE FROM t WHERE a = 3; INSERT INTO t VALUES (0), (4)");
    while (rows.next()) read.push_back(rows.row().value(0));
    EXPECT_EQ(read, (std::vector<Value>{Value(1), Value(2), Value(3)}));
    EXPECT_FALSE(rows.next()) << "a cursor at its end never runs its query again";
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

// A schema script is SQLite's own text: the rewrite of the windows' dialect must not touch it.
TEST(DatabaseFile, VerbatimScriptsSkipTheDialectRewrite) {
    auto db = Database::memory();
    db->execute("CREATE TABLE t (d, n); INSERT INTO t VALUES (#1/1/2010#, 'a')");
    EXPECT_EQ(db->query("SELECT d FROM t").at(0).at(0).second.str(), "40179");
    EXPECT_THROW(db->executeVerbatim("INSERT INTO t VALUES (#1/1/2010#, 'b')"), DbError);
    db->executeVerbatim("INSERT INTO t VALUES (1, 'c'); -- the site's note\nINSERT INTO t VALUES (2, 'd')");
    EXPECT_EQ(db->query("SELECT group_concat(n, '') FROM t").at(0).at(0).second, Value("acd"));
}

// The file a database is built in is opened as it stands, never through a link, even one the
// program trusts for its site files.
TEST(DatabaseFile, AFileBeingBuiltIsNeverOpenedThroughALink) {
    TempFolder dir;
    const std::string site = dir.file("site.mdb"), link = dir.file("link.mdb"), fresh = dir.file("fresh.mdb");
    Database::create(site);
    fs::create_symlink(site, link);
    EXPECT_NO_THROW(Database::open(link));
    EXPECT_THROW(Database::build(link), DbError);

    // Not durable: a database built without WAL keeps the default journal.
    std::ofstream(fresh).close();
    auto db = Database::build(fresh);
    db->executeVerbatim("CREATE TABLE t (a)");
    EXPECT_EQ(db->query("PRAGMA journal_mode").at(0).at(0).second, Value("delete"));
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

// A walk held across yields moves the record the window shows, until a nested handler refreshes
// the control; from then on each goes its own way.
TEST(DataControl, AHeldRecordsetSharesTheControlsMovesUntilItIsRefreshed) {
    DataControl data;
    EXPECT_THROW(HeldRecordset{data}, DbError);
    TempFolder dir;
    Database::create(dir.file("a.mdb"))->execute("CREATE TABLE t (n); INSERT INTO t VALUES ('a1'), ('a2'), ('a3')");
    data.DatabaseName = dir.file("a.mdb");
    data.RecordSource = "t";
    data.Refresh();
    const HeldRecordset held(data);
    held->MoveNext();
    EXPECT_EQ(data.recordset()->field("n").str(), "a2");
    data.Refresh();
    data.recordset()->MoveLast();
    EXPECT_EQ(held->field("n").str(), "a2");
    EXPECT_FALSE(HeldRecordset());
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
