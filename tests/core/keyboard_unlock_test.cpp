#include <gtest/gtest.h>

#include <fstream>

#include "core/link/reader_link.h"
#include "core/main/frm_main.h"
#include "support/fakes.h"

namespace vc {
namespace {

class Unlock : public ::testing::Test {
protected:
    void lettori(int n) {
        for (int i = 0; i < n; ++i)
            s.sql("INSERT INTO Lettori (CodiceImpianto, Stato, NumeroLoop, NumeroIndirizzo) VALUES ('000042', 'In', " +
                  std::to_string(i + 1) + ", " + std::to_string(5 + i) + ")");
    }
    // What went out once the events posted meanwhile have run.
    std::vector<std::string> inviati() {
        s.loop.doEvents();
        return s.serial.takeTexts();
    }
    using V = std::vector<std::string>;
    test::Station s;
};

TEST_F(Unlock, SingleReaderIsUnlockedWithoutAsking) {
    s.setting("TastieraOutput1", "No");
    s.removeSetting("TastieraOutput2");  // a missing key reads as on
    lettori(1);
    auto& m = s.app().form<FrmMain>();
    m.keyDown(key::F1, 0);
    EXPECT_EQ(inviati(), (V{"05000042K100000001"}));
    EXPECT_EQ(s.app().Linea.LoopCorrente, 1);
}

TEST_F(Unlock, OperatorChoosesTheReader) {
    s.setting("TastieraOutput2", "Si");
    lettori(3);
    auto& m = s.app().form<FrmMain>();
    const std::pair<const char*, const char*> casi[] = {
        {"3", "07000042K110000001"}, {"4", nullptr}, {"0", nullptr}, {"", nullptr},
        {"2.5", "07000042K110000001"}, {"1.5", "05000042K110000001"},
    };
    for (auto [risposta, atteso] : casi) {
        s.dialogs.expectInput("Inserire il numero del lettore da sbloccare", "Varcanto", risposta);
        m.keyPress('a');
        EXPECT_EQ(inviati(), atteso ? V{atteso} : V{}) << risposta;
    }
    s.dialogs.expectInput("Inserire il numero del lettore da sbloccare", "Varcanto", "2");
    m.keyPress('A');
    EXPECT_EQ(inviati(), (V{"06000042K110000001"}));
    m.keyPress('b');
    m.keyDown(key::F1 + 1, 0);
    EXPECT_EQ(inviati(), V{});
}

// The unlock's exchange waits outside the key's handler: the main window takes no click inside
// its own handler meanwhile.
TEST_F(Unlock, TheKeysHandlerReturnsBeforeTheUnlockGoesOut) {
    lettori(1);
    auto& m = s.app().form<FrmMain>();
    m.keyDown(key::F1, 0);
    EXPECT_TRUE(s.serial.writes.empty());
    EXPECT_EQ(inviati(), (V{"05000042K110000000"}));
}

}  // namespace
}  // namespace vc

namespace vc {
namespace {

TEST_F(Unlock, KeyPressedWhileAPollWaitsIsSentAfterIt) {
    lettori(1);
    auto& m = s.app().form<FrmMain>();
    bool premuto = false;
    s.serial.onWrite = [&](const std::string& frame) {
        if (frame.find('D') == std::string::npos || premuto) return;
        premuto = true;
        s.loop.post([&m] { m.keyDown(key::F1, 0); });  // during the poll's wait
    };
    std::string poll = "05000042D";
    invia_comando(s.app(), poll);  // nobody answers: the whole wait runs
    for (int i = 0; i < 3; ++i) s.loop.doEvents();
    const auto testi = inviati();
    ASSERT_EQ(testi.size(), 2u);
    EXPECT_EQ(testi[0], "05000042D");
    EXPECT_EQ(testi[1].substr(8, 2), "K1");
}

}  // namespace
}  // namespace vc
