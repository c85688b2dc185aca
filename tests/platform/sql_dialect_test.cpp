#include "platform/sql_dialect.h"

#include <gtest/gtest.h>

#include "platform/database.h"

namespace vc {
namespace {

TEST(SqlQuote, DoublesQuotesAndSpellsOutNul) {
    EXPECT_EQ(sqlQuote(""), "''");
    EXPECT_EQ(sqlQuote("Rossi"), "'Rossi'");
    EXPECT_EQ(sqlQuote("O'Brien"), "'O''Brien'");
    EXPECT_EQ(sqlQuote("''"), "''''''");
    EXPECT_EQ(sqlQuote(std::string("ab\0c'd", 6)), "CAST(X'616200632764' AS TEXT)");
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

}  // namespace
}  // namespace vc
