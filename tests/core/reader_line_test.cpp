#include <gtest/gtest.h>

#include "core/link/frame.h"
#include "core/link/reader_line.h"
#include "reader_sim/reader_sim.h"
#include "support/fakes.h"

namespace vc {
namespace {

class Line : public ::testing::Test {
protected:
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
    test::LineRig s;
    ReaderLine& linea = s.line;
};

TEST_F(Line, ReturnsTheCheckedReplyAndLeavesTheFrameInTheText) {
    rispondi({sim::replyFrame("01S")});
    std::string testo = "01000123K110001000";
    EXPECT_EQ(linea.invia_comando(testo), sim::replyFrame("01S"));
    EXPECT_EQ(testo, Incornicia("01000123K110001000"));
    ASSERT_EQ(s.serial.writes.size(), 1u);
    EXPECT_EQ(s.serial.writes[0], testo);
}

TEST_F(Line, SilentReaderTimesOutPerVariant) {
    struct Caso {
        std::string (*variante)(ReaderLine&, std::string&);
        int ms;
    } casi[] = {{[](ReaderLine& l, std::string& t) { return l.invia_comando(t); }, 2000},
                {[](ReaderLine& l, std::string& t) { return l.invia_comando_medio(t); }, 1200},
                {[](ReaderLine& l, std::string& t) { return l.invia_comando_veloce(t); }, 100}};
    for (const auto& c : casi) {
        std::string testo = "01000123D", r = "x";
        const auto t = tempo([&] { r = c.variante(linea, testo); });
        EXPECT_EQ(r, "");
        EXPECT_GE(t, c.ms);
        EXPECT_LE(t, c.ms + 2 * s.clock.quantum);
    }
}

TEST_F(Line, TimeOutsHoldAcrossMidnight) {
    s.clock.set({2026, 12, 10, 23, 59, 59});
    std::string testo = "01000123D";
    const auto t = tempo([&] { EXPECT_EQ(linea.invia_comando(testo), ""); });
    EXPECT_LE(t, 2000 + 2 * s.clock.quantum);
}

TEST_F(Line, PiecesWithinTheSecondWaitAreJoined) {
    const std::string r = sim::replyFrame("01I0110123456789");
    rispondi({r.substr(0, 5), r.substr(5, 5), r.substr(10)}, 30, 90);  // 90 ms apart, T2 of the fast one is 100
    std::string testo = "01000123D";
    EXPECT_EQ(linea.invia_comando_veloce(testo), r);
}

TEST_F(Line, GapLongerThanTheSecondWaitEndsTheReply) {
    const std::string r = sim::replyFrame("01I0110123456789");
    rispondi({r.substr(0, 5), r.substr(5)}, 30, 150);
    std::string testo = "01000123D";
    EXPECT_EQ(linea.invia_comando_veloce(testo), "");
}

TEST_F(Line, GarbageBeforeTheExchangeIsFlushedGarbageAfterItFails) {
    s.serial.deliver("junk");
    rispondi({sim::replyFrame("01S")});
    std::string testo = "01000123D";
    EXPECT_EQ(linea.invia_comando(testo), sim::replyFrame("01S"));
    rispondi({"\x7F" + sim::replyFrame("01S")});
    testo = "01000123D";
    EXPECT_EQ(linea.invia_comando(testo), "");
    rispondi({sim::replyFrame("01S") + "x"});  // a byte after the checksum keeps the loop waiting, then fails
    testo = "01000123D";
    EXPECT_EQ(linea.invia_comando(testo), "");
}

TEST_F(Line, EndlessGarbageIsCutShort) {
    s.serial.onWrite = [this](const std::string&) {
        for (int t = 5; t < 60000; t += 50) s.serial.deliver("garbage", t);
    };
    std::string testo = "01000123D";
    const auto t = tempo([&] { EXPECT_EQ(linea.invia_comando(testo), ""); });
    EXPECT_LT(t, 7000);
}

TEST_F(Line, OverlongReplyIsDroppedWhateverItEndsWith) {
    // Past the longest reply, ending as a reply stopped right after its ENQ does, raw checksum 0.
    std::string lunga = "\x01" + std::string(MassimaRisposta, 'g');
    lunga += static_cast<char>(ENQ ^ SOH);  // the 'g's, an even count, cancel out
    lunga += ENQ;
    ASSERT_TRUE(RispostaValida(lunga));
    rispondi({lunga});
    std::string testo = "01000123D";
    EXPECT_EQ(linea.invia_comando(testo), "");
}

TEST_F(Line, PortNotOpenAnswersNothingAtOnce) {
    s.serial.close();
    std::string testo = "01000123D";
    EXPECT_EQ(tempo([&] { EXPECT_EQ(linea.invia_comando(testo), ""); }), 0);
    EXPECT_TRUE(s.serial.writes.empty());
}

TEST_F(Line, ExchangesDoNotNest) {
    std::string nested = "x";
    s.serial.onWrite = [this, &nested](const std::string&) {
        s.serial.deliver(sim::replyFrame("01S"), 50);
        s.loop.post([this, &nested] {
            linea.LoopCorrente = 2;  // as a caller does for its reader
            std::string altro = "02000123D";
            nested = linea.invia_comando(altro);
        });
        s.serial.onWrite = nullptr;
    };
    linea.LoopCorrente = 1;
    std::string testo = "01000123D";
    EXPECT_EQ(linea.invia_comando(testo), sim::replyFrame("01S"));
    EXPECT_EQ(nested, "");
    EXPECT_EQ(s.serial.writes.size(), 1u);
    EXPECT_FALSE(linea.ScambioInCorso());
    EXPECT_EQ(linea.LoopCorrente, 1) << "the refused exchange changed the loop its caller's next one goes on";
}

TEST_F(Line, SendsThatFindTheLineBusyGoOutInTurnOnceItIsFree) {
    std::vector<std::string> ordine;
    auto manda = [this, &ordine](const char* testo, int loop) {
        linea.QuandoLineaLibera([this, &ordine, testo, loop] {
            std::string t = testo;
            linea.invia_comando_veloce(t, loop);
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
    EXPECT_EQ(linea.invia_comando(testo, 1), sim::replyFrame("01S"));
    EXPECT_EQ(s.serial.takeTexts(), std::vector<std::string>{"01000123D"}) << "nothing goes out during the exchange";
    s.loop.doEvents();
    EXPECT_EQ(ordine, (std::vector<std::string>{"01000123O01@2", "02000123O01@3"}));
    manda("03000123O01", 1);  // a free line takes it at once
    EXPECT_EQ(ordine.back(), "03000123O01@1");
}

// The clock plays a real one's blocking: a wait ends when the line's next bytes arrive or its
// time is up, whichever is first.
TEST_F(Line, ReceiveBlocksOnTheLineUntilAByteComesOrTheDeadlinePasses) {
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
        EXPECT_EQ(tempo([&] { r = linea.invia_comando_veloce(testo); }), c.fine);
        EXPECT_EQ(r, c.rispostaDopo >= 0 ? sim::replyFrame("01S") : "");
        // One wait, on the line, until just past the 100 ms deadline: no spinning.
        EXPECT_EQ(attese, (std::vector<std::pair<int, int>>{{7, 100}}));
    }
}

TEST_F(Line, BoardSelectsTheLoopAroundTheFrame) {
    s.settings.scheda = true;
    s.settings.indirizzo = 0x300;
    s.settings.porta = 1;
    rispondi({sim::replyFrame("01S")});
    const std::tuple<int, int, int> casi[] = {{3, 26, 10}, {1, 24, 8}, {8, 31, 15}};
    for (auto [loop, prima, dopo] : casi) {
        s.ports.writes.clear();
        s.ports.reads.clear();
        linea.LoopCorrente = loop;
        std::string testo = "01000123D";
        EXPECT_EQ(linea.invia_comando(testo), sim::replyFrame("01S"));
        ASSERT_EQ(s.ports.writes.size(), 2u);
        EXPECT_EQ(s.ports.writes[0], (std::pair<std::uint16_t, std::uint8_t>{0x300, prima}));
        EXPECT_EQ(s.ports.writes[1], (std::pair<std::uint16_t, std::uint8_t>{0x300, dopo}));
        EXPECT_EQ(s.ports.reads.at(0), 0x3FD);
    }
}

TEST_F(Line, TransmitterThatNeverEmptiesDoesNotHangTheExchange) {
    s.settings.scheda = true;
    s.ports.lineStatus = 0;
    rispondi({sim::replyFrame("01S")}, 400);
    std::string testo = "01000123D";
    EXPECT_EQ(linea.invia_comando(testo), sim::replyFrame("01S"));
    EXPECT_EQ(s.ports.writes.size(), 2u);
}

}  // namespace
}  // namespace vc
