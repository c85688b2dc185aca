#include "platform/events.h"

#include <gtest/gtest.h>

#include <optional>

#include "platform/database.h"
#include "support/fakes.h"

namespace vc {
namespace {

class NoYieldScopes : public ::testing::Test {
protected:
    void SetUp() override {
        if (!NoYield::checked) GTEST_SKIP() << "built without the yield checks";
        GTEST_FLAG_SET(death_test_style, "threadsafe");
    }
    test::FakeClock clock;
    EventLoop loop{clock};
};

// Each way into a yield from a marked scope stops the program and names every scope it is in.
TEST_F(NoYieldScopes, AYieldInsideAMarkedScopeStopsWithItsReasons) {
    struct Caso {
        const char* nome;
        std::function<void(EventLoop&)> cede;
    } casi[] = {
        {"doEvents", [](EventLoop& l) { l.doEvents(); }},
        {"yieldUntil", [](EventLoop& l) { l.yieldUntil(0); }},
        {"runUntil", [](EventLoop& l) {
             int giri = 0;
             l.runUntil([&giri] { return ++giri > 1; });
         }},
    };
    for (const Caso& c : casi) {
        SCOPED_TRACE(c.nome);
        EXPECT_DEATH(
            {
                const NoYield esterno("outer");
                const NoYield interno("inner");
                c.cede(loop);
            },
            "must not yield:\n  inner\n  outer");
    }
}

TEST_F(NoYieldScopes, OnlyTheOpenScopesCount) {
    int eseguite = 0;
    loop.post([&eseguite] { ++eseguite; });
    { const NoYield chiuso("closed"); }
    loop.doEvents();
    EXPECT_EQ(eseguite, 1);

    // A scope closed before the one inside it (a transaction committed) leaves that one open.
    std::optional<NoYield> primo(std::in_place, "first");
    const NoYield secondo("second");
    primo.reset();
    EXPECT_DEATH(loop.doEvents(), "must not yield:\n  second\n$");
}

TEST_F(NoYieldScopes, ATransactionMayNotYieldUntilItIsCommitted) {
    auto db = Database::memory();
    db->execute("CREATE TABLE t (n)");
    EXPECT_DEATH(
        {
            Transaction t(*db);
            loop.doEvents();
        },
        "a database transaction is open");
    Transaction t(*db);
    db->execute("INSERT INTO t VALUES (1)");
    t.commit();
    loop.doEvents();
}

}  // namespace
}  // namespace vc
