#include <gtest/gtest.h>

#include "core/link/reader_link.h"
#include "reader_sim/reader_sim.h"
#include "support/fakes.h"

namespace vc {
namespace {

std::string hex(const std::string& s) {
    std::string out;
    char buf[4];
    for (unsigned char c : s) {
        std::snprintf(buf, sizeof buf, "%02X ", c);
        out += buf;
    }
    return out;
}

TEST(ReaderLink, FramesAndSendChecksums) {
    struct Caso {
        const char* testo;
        int checksum;
    } casi[] = {
        {"01000123D", 65},  // the poll of address 1, plant code 123
        {"AD", 2},          // raw 1 is raised
        {"A@", 6},          // raw 5 is raised
        {"AG", 2},          // raw 2 is not
    };
    for (const auto& c : casi) {
        const std::string atteso = std::string("\x01") + c.testo + "\x05" + std::string(1, static_cast<char>(c.checksum));
        EXPECT_EQ(hex(Incornicia(c.testo)), hex(atteso)) << c.testo;
    }
}

TEST(ReaderLink, ReplyChecks) {
    // Raw checksum = 5 XOR every byte before ENQ; the bodies below give the raw values named.
    struct Caso {
        std::string risposta;
        bool valida;
        const char* perche;
    } casi[] = {
        {"\x01" "01S\x05" "\x03", false, "raw 0x56 needs 0x56"},
        {sim::replyFrame("01S"), true, "a well-formed reply"},
        {"\x01" "\x06\x05\x03", true, "raw 2 is accepted only as 3"},
        {"\x01" "\x06\x05\x02", false, "raw 2 sent unraised"},
        {"\x01" "\x04\x01\x05\x01", true, "raw 1 is accepted as 1"},
        {"\x01" "\x04\x01\x05\x02", false, "raw 1 raised is wrong"},
        {"\x01" "\x04\x05", true, "ENQ without checksum, raw 0"},
        {"\x01" "\x03\x05", false, "ENQ without checksum, raw not 0"},
        {"\x01" "01S", false, "no ENQ"},
        {"", false, "nothing"},
    };
    for (const auto& c : casi) EXPECT_EQ(RispostaValida(c.risposta), c.valida) << c.perche << ": " << hex(c.risposta);
}

class Link : public ::testing::Test {
protected:
    Link() {
        s.start();
        s.serial.writes.clear();
    }
    // Answers every frame after 'ritardo' ms with the pieces given, 'pausa' ms apart.
    void rispondi(std::vector<std::string> pezzi, int ritardo = 5, int pausa = 0) {
        s.serial.onWrite = [this, pezzi, ritardo, pausa](const std::string&) {
            int t = ritardo;
            for (const auto& p : pezzi) {
                s.serial.deliver(p, t);
                t += pausa;
            }
        };
    }
    std::int64_t tempo(const std::function<void()>& f) {
        const auto t0 = s.clock.monotonicMs();
        f();
        return s.clock.monotonicMs() - t0;
    }
    test::Station s;
};

TEST_F(Link, ReturnsTheCheckedReplyAndLeavesTheFrameInTheText) {
    rispondi({sim::replyFrame("01S")});
    std::string testo = "01000123K110001000";
    EXPECT_EQ(invia_comando(s.app(), testo), sim::replyFrame("01S"));
    EXPECT_EQ(testo, Incornicia("01000123K110001000"));
    ASSERT_EQ(s.serial.writes.size(), 1u);
    EXPECT_EQ(s.serial.writes[0], testo);
}

TEST_F(Link, SilentReaderTimesOutPerVariant) {
    struct Caso {
        std::string (*variante)(App&, std::string&);
        int ms;
    } casi[] = {{invia_comando, 2000}, {invia_comando_medio, 1200}, {invia_comando_veloce, 100}};
    for (const auto& c : casi) {
        std::string testo = "01000123D", r = "x";
        const auto t = tempo([&] { r = c.variante(s.app(), testo); });
        EXPECT_EQ(r, "");
        EXPECT_GE(t, c.ms);
        EXPECT_LE(t, c.ms + 2 * s.clock.quantum);
    }
}

TEST_F(Link, TimeOutsHoldAcrossMidnight) {
    s.clock.set({2026, 12, 10, 23, 59, 59});
    std::string testo = "01000123D";
    const auto t = tempo([&] { EXPECT_EQ(invia_comando(s.app(), testo), ""); });
    EXPECT_LE(t, 2000 + 2 * s.clock.quantum);
}

TEST_F(Link, PiecesWithinTheSecondWaitAreJoined) {
    const std::string r = sim::replyFrame("01I0110123456789");
    rispondi({r.substr(0, 5), r.substr(5, 5), r.substr(10)}, 30, 90);  // 90 ms apart, T2 of the fast one is 100
    std::string testo = "01000123D";
    EXPECT_EQ(invia_comando_veloce(s.app(), testo), r);
}

TEST_F(Link, GapLongerThanTheSecondWaitEndsTheReply) {
    const std::string r = sim::replyFrame("01I0110123456789");
    rispondi({r.substr(0, 5), r.substr(5)}, 30, 150);
    std::string testo = "01000123D";
    EXPECT_EQ(invia_comando_veloce(s.app(), testo), "");
}

TEST_F(Link, GarbageBeforeTheExchangeIsFlushedGarbageAfterItFails) {
    s.serial.deliver("junk");
    rispondi({sim::replyFrame("01S")});
    std::string testo = "01000123D";
    EXPECT_EQ(invia_comando(s.app(), testo), sim::replyFrame("01S"));
    rispondi({"\x7F" + sim::replyFrame("01S")});
    testo = "01000123D";
    EXPECT_EQ(invia_comando(s.app(), testo), "");
    rispondi({sim::replyFrame("01S") + "x"});  // a byte after the checksum keeps the loop waiting, then fails
    testo = "01000123D";
    EXPECT_EQ(invia_comando(s.app(), testo), "");
}

TEST_F(Link, EndlessGarbageIsCutShort) {
    s.serial.onWrite = [this](const std::string&) {
        for (int t = 5; t < 60000; t += 50) s.serial.deliver("garbage", t);
    };
    std::string testo = "01000123D";
    const auto t = tempo([&] { EXPECT_EQ(invia_comando(s.app(), testo), ""); });
    EXPECT_LT(t, 7000);
}

TEST_F(Link, PortNotOpenAnswersNothingAtOnce) {
    s.serial.close();
    std::string testo = "01000123D";
    EXPECT_EQ(tempo([&] { EXPECT_EQ(invia_comando(s.app(), testo), ""); }), 0);
    EXPECT_TRUE(s.serial.writes.empty());
}

TEST_F(Link, ExchangesDoNotNest) {
    std::string nested = "x";
    s.serial.onWrite = [this, &nested](const std::string&) {
        s.serial.deliver(sim::replyFrame("01S"), 50);
        s.loop.post([this, &nested] {
            s.app().LoopCorrente = 2;  // as a caller does for its reader
            std::string altro = "02000123D";
            nested = invia_comando(s.app(), altro);
        });
        s.serial.onWrite = nullptr;
    };
    s.app().LoopCorrente = 1;
    std::string testo = "01000123D";
    EXPECT_EQ(invia_comando(s.app(), testo), sim::replyFrame("01S"));
    EXPECT_EQ(nested, "");
    EXPECT_EQ(s.serial.writes.size(), 1u);
    EXPECT_FALSE(ScambioInCorso(s.app()));
    EXPECT_EQ(s.app().LoopCorrente, 1) << "the refused exchange changed the loop its caller's next one goes on";
}

TEST_F(Link, SendsThatFindTheLineBusyGoOutInTurnOnceItIsFree) {
    std::vector<std::string> ordine;
    auto manda = [this, &ordine](const char* testo, int loop) {
        QuandoLineaLibera(s.app(), [this, &ordine, testo, loop] {
            std::string t = testo;
            invia_comando_veloce(s.app(), t, loop);
            ordine.push_back(std::string(testo) + "@" + std::to_string(loop));
        });
    };
    s.serial.onWrite = [this, &manda](const std::string& frame) {
        s.serial.deliver(sim::replyFrame("01S"), 30);
        if (test::commandText(frame) != "01000123D") return;
        s.loop.post([&manda] {
            manda("01000123O01", 2);
            manda("02000123O01", 3);
        });
    };
    std::string testo = "01000123D";
    EXPECT_EQ(invia_comando(s.app(), testo, 1), sim::replyFrame("01S"));
    EXPECT_EQ(s.serial.takeTexts(), std::vector<std::string>{"01000123D"}) << "nothing goes out during the exchange";
    s.loop.doEvents();
    EXPECT_EQ(ordine, (std::vector<std::string>{"01000123O01@2", "02000123O01@3"}));
    manda("03000123O01", 1);  // a free line takes it at once
    EXPECT_EQ(ordine.back(), "03000123O01@1");
}

// The clock plays a real one's blocking: a wait ends when the line's next bytes arrive or its
// time is up, whichever is first.
TEST_F(Link, ReceiveBlocksOnTheLineUntilAByteComesOrTheDeadlinePasses) {
    struct Caso {
        const char* nome;
        int rispostaDopo;  // -1: no reply
        std::int64_t fine;  // when the exchange returns
    } casi[] = {{"reply", 46, 47}, {"silence", -1, 102}};
    s.serial.fd = 7;
    s.clock.quantum = 1;
    std::vector<std::pair<int, int>> attese;
    s.clock.onWait = [this, &attese](int fd, int ms) {
        attese.emplace_back(fd, ms);
        const auto arrivo = s.serial.nextArrival();
        const auto ora = s.clock.monotonicMs();
        s.clock.advance(arrivo && fd == 7 ? std::min<std::int64_t>(ms, *arrivo - ora) : ms);
    };
    for (const auto& c : casi) {
        SCOPED_TRACE(c.nome);
        attese.clear();
        if (c.rispostaDopo >= 0)
            rispondi({sim::replyFrame("01S")}, c.rispostaDopo);
        else
            s.serial.onWrite = nullptr;
        std::string testo = "01000123D";
        std::string r;
        EXPECT_EQ(tempo([&] { r = invia_comando_veloce(s.app(), testo); }), c.fine);
        EXPECT_EQ(r, c.rispostaDopo >= 0 ? sim::replyFrame("01S") : "");
        // One wait, on the line, until just past the 100 ms deadline: no spinning.
        EXPECT_EQ(attese, (std::vector<std::pair<int, int>>{{7, 100}}));
    }
}

TEST_F(Link, BoardSelectsTheLoopAroundTheFrame) {
    test::control<CheckBox>(s.app(), "FrmProgSetup", "Check1").setValue(1);
    s.app().imp.IndirizzoScheda485 = 0x300;
    s.app().imp.PortaSeriale = 1;
    rispondi({sim::replyFrame("01S")});
    const std::tuple<int, int, int> casi[] = {{3, 26, 10}, {1, 24, 8}, {8, 31, 15}};
    for (auto [loop, prima, dopo] : casi) {
        s.ports.writes.clear();
        s.ports.reads.clear();
        s.app().LoopCorrente = loop;
        std::string testo = "01000123D";
        EXPECT_EQ(invia_comando(s.app(), testo), sim::replyFrame("01S"));
        ASSERT_EQ(s.ports.writes.size(), 2u);
        EXPECT_EQ(s.ports.writes[0], (std::pair<std::uint16_t, std::uint8_t>{0x300, prima}));
        EXPECT_EQ(s.ports.writes[1], (std::pair<std::uint16_t, std::uint8_t>{0x300, dopo}));
        EXPECT_EQ(s.ports.reads.at(0), 0x3FD);
    }
}

TEST_F(Link, TransmitterThatNeverEmptiesDoesNotHangTheExchange) {
    test::control<CheckBox>(s.app(), "FrmProgSetup", "Check1").setValue(1);
    s.ports.lineStatus = 0;
    rispondi({sim::replyFrame("01S")}, 400);
    std::string testo = "01000123D";
    EXPECT_EQ(invia_comando(s.app(), testo), sim::replyFrame("01S"));
    EXPECT_EQ(s.ports.writes.size(), 2u);
}

}  // namespace
}  // namespace vc
