#include "reader_sim/reader_sim.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <stdexcept>
#include <string>

#include "support/hex.h"

namespace vc::sim {
namespace {

using B = ReaderConfig::Behaviour;

// Byte strings compared as hex dumps, so a mismatch shows every byte.
using vc::test::hex;

std::string bytes(std::string_view text, char last) {
    std::string f = "\x01";
    f += text;
    f += '\x05';
    f += last;
    return f;
}

// --- Checksums ---

struct ChecksumCase {
    const char* name;
    const char* text;
    unsigned char sent;
};

TEST(FrameTest, SendChecksumRaisesOneAndFive) {
    const ChecksumCase cases[] = {
        {"poll of address 1 plant 123", "01000123D", 65},
        {"raw 1 becomes 2", "AD", 2},  // 'A' ^ 'D' = 5, and 5 ^ SOH ^ 5 = 1
        {"raw 5 becomes 6", "01", 6},
        {"raw 2 stays 2", "06", 2},
    };
    for (const auto& c : cases)
        EXPECT_EQ(hex(frame(c.text)), hex(bytes(c.text, static_cast<char>(c.sent)))) << c.name;
}

TEST(FrameTest, ReplyChecksumRaisesTwoAndFive) {
    const ChecksumCase cases[] = {
        {"raw 2 becomes 3", "06", 3},
        {"raw 1 stays 1", "AD", 1},
        {"raw 5 becomes 6", "01", 6},
    };
    for (const auto& c : cases)
        EXPECT_EQ(hex(replyFrame(c.text)), hex(bytes(c.text, static_cast<char>(c.sent)))) << c.name;
}

// --- Card data ---

TEST(CardDataTest, PlacesDigitsAndPlantCodeAtTheirPositions) {
    EXPECT_EQ(cardData("1234", "000123", {1, 2, 3, 4}, {5, 6, 7, 8, 9, 10}), "0123400012300000");
    EXPECT_EQ(cardData("12", "123", {3, 2, 1, 0}, {4, 5, 6, 7, 8, 9}, 10), "2100000123");
    EXPECT_EQ(cardData("1234", "000123", {0, 1, 2, 3}, {4, 5, 6, 7, 8, 19}, 8), "12340001200000000003");
}

// --- The simulator on a bus ---

class SimulatorTest : public ::testing::Test {
protected:
    // Sends a command text at t and returns what has arrived by t + 1 s.
    std::string exchange(std::string_view text, std::int64_t t = 1000) {
        sim.receive(frame(text), t);
        return sim.take(t + 1000);
    }

    Simulator sim;
    Reader& r1 = sim.addReader({.loop = 1, .address = 1, .plantCode = 123});
};

TEST_F(SimulatorTest, PollReportsAQueuedCardWhereTheEngineReadsIt) {
    const std::string data = cardData("0042", "000123", {1, 2, 3, 4}, {5, 6, 7, 8, 9, 10});
    r1.presentCard(data);
    r1.setInputs(true, false);

    const std::string reply = exchange("01000123D");

    EXPECT_EQ(hex(reply), hex(replyFrame("01I0100" + data)));
    EXPECT_EQ(reply[3], 'I');                                // status, character 4
    EXPECT_EQ(reply.substr(5, 2), "10");                     // inputs, characters 6 and 7
    EXPECT_EQ(reply.substr(8, reply.size() - 10), data);     // characters 9 to Len - 2
    EXPECT_EQ(reply.substr(1 + 8, 4), "0042");               // position p is character p + 9
    EXPECT_EQ(r1.queuedCards(), 0u);
    EXPECT_EQ(r1.commands, std::vector<std::string>{"01000123D"});
}

TEST_F(SimulatorTest, PollWithoutCardAnswersStatusSWithTheInputs) {
    r1.setInputs(false, true);
    EXPECT_EQ(hex(exchange("01000123D")), hex(replyFrame("01S0010")));
}

TEST_F(SimulatorTest, CardsAreReportedOneAPollInOrder) {
    r1.presentCard("AAAA");
    r1.presentCard("BBBB");
    EXPECT_EQ(hex(exchange("01000123D", 0)), hex(replyFrame("01I0000AAAA")));
    EXPECT_EQ(hex(exchange("01000123D", 2000)), hex(replyFrame("01I0000BBBB")));
    EXPECT_EQ(hex(exchange("01000123D", 4000)), hex(replyFrame("01S0000")));
}

TEST_F(SimulatorTest, OutputCommandIsAcknowledgedAndRecorded) {
    struct Case {
        const char* text;
        const char* reply;
        const char* outputs;
        bool out1, out2;
    } cases[] = {
        {"01000123K110001000", "01S", "110001000", true, false},
        {"01000123K100000001", "01S", "100000001", false, true},
        {"01000123K000000000", "01S", "000000000", false, false},
        {"01000123K1100", "01D", "000000000", false, false},  // malformed: transfer error, outputs kept
    };
    std::int64_t t = 0;
    for (const auto& c : cases) {
        EXPECT_EQ(hex(exchange(c.text, t += 2000)), hex(replyFrame(c.reply))) << c.text;
        EXPECT_EQ(r1.outputs().text, c.outputs) << c.text;
        EXPECT_EQ(r1.outputs().output1(), c.out1) << c.text;
        EXPECT_EQ(r1.outputs().output2(), c.out2) << c.text;
        EXPECT_EQ(r1.commands.back(), c.text);
    }
}

TEST_F(SimulatorTest, ReplyIsDueAfterTheReplyDelay) {
    sim.receive(frame("01000123D"), 1000);
    EXPECT_EQ(sim.take(1004), "");
    EXPECT_EQ(hex(sim.take(1005)), hex(replyFrame("01S0000")));
    EXPECT_EQ(sim.take(9999), "");

    sim.setReplyDelayMs(30);
    sim.receive(frame("01000123D"), 2000);
    EXPECT_EQ(sim.take(2029), "");
    EXPECT_EQ(hex(sim.take(2030)), hex(replyFrame("01S0000")));
}

TEST_F(SimulatorTest, WireTimedReplyIsDueAfterRequestAndReplyOnTheWire) {
    sim.setWireTimed(true);
    r1.presentCard("0123400012300000");
    struct Case {
        const char* text;
        std::string reply;
        std::int64_t dueMs;  // (request + reply bytes) x 10 bits at 4800 baud, rounded
    } cases[] = {
        {"01000123D", replyFrame("01I00000123400012300000"), 79},  // 12 + 26 bytes: 79.2 ms
        {"01000123D", replyFrame("01S0000"), 46},                 // 12 + 10 bytes: 45.8 ms
        {"01000123K110001000", replyFrame("01S"), 56},            // 21 + 6 bytes: 56.3 ms
    };
    std::int64_t t = 0;
    for (const auto& c : cases) {
        sim.receive(frame(c.text), t += 1000);
        EXPECT_EQ(sim.nextDueMs(), t + c.dueMs) << c.text;
        EXPECT_EQ(sim.take(t + c.dueMs - 1), "") << c.text;
        EXPECT_EQ(hex(sim.take(t + c.dueMs)), hex(c.reply)) << c.text;
    }
    EXPECT_EQ(sim.nextDueMs(), std::nullopt);
    EXPECT_EQ(r1.polls(), 2) << "the output command is not a poll";
}

TEST_F(SimulatorTest, FramesNotForAnyReaderGetNothing) {
    r1.presentCard("1234");
    std::string badChecksum = frame("01000123D");
    badChecksum.back() = static_cast<char>(badChecksum.back() + 1);
    sim.receive(badChecksum, 0);
    EXPECT_EQ(exchange("02000123D"), "") << "unknown address";
    EXPECT_EQ(exchange("01000123X"), "") << "unknown letter";
    EXPECT_EQ(sim.take(99999), "");
    EXPECT_EQ(r1.queuedCards(), 1u);
    EXPECT_EQ(r1.commands, std::vector<std::string>{"01000123X"});
}

TEST_F(SimulatorTest, WrongPlantCodeAnswersStatusC) {
    r1.presentCard("1234");
    EXPECT_EQ(hex(exchange("01000999D")), hex(replyFrame("01C")));
    EXPECT_EQ(r1.queuedCards(), 1u);
}

TEST_F(SimulatorTest, FramesAreFoundInAnyByteStream) {
    const std::string poll = frame("01000123D");
    sim.receive("\x7f\x05" + poll.substr(0, 4), 0);  // junk, then half a frame
    sim.receive(poll.substr(4), 1);
    EXPECT_EQ(hex(sim.take(100)), hex(replyFrame("01S0000")));

    sim.receive(poll.substr(0, 6) + poll, 200);  // a frame cut short, then a whole one
    EXPECT_EQ(hex(sim.take(300)), hex(replyFrame("01S0000")));
    EXPECT_EQ(r1.commands.size(), 2u);
}

TEST_F(SimulatorTest, LoopSelectionPicksTheReaderThatHears) {
    Reader& other = sim.addReader({.loop = 2, .address = 1, .plantCode = 456});
    r1.presentCard("L1");
    other.presentCard("L2");

    sim.setLoop(2);
    EXPECT_EQ(hex(exchange("01000123D", 0)), hex(replyFrame("01C"))) << "loop 2 has address 1 with plant 456";
    EXPECT_EQ(hex(exchange("01000456D", 2000)), hex(replyFrame("01I0000L2")));
    sim.setLoop(3);
    EXPECT_EQ(exchange("01000456D", 4000), "");
    sim.setLoop(0);
    EXPECT_EQ(hex(exchange("01000123D", 6000)), hex(replyFrame("01I0000L1"))) << "any loop: plant code decides";
    sim.setLoop(2);
    EXPECT_EQ(hex(exchange("W0100", 8000)), hex(replyFrame("S01")));
    EXPECT_EQ(other.plantCode(), 0);
    EXPECT_EQ(r1.plantCode(), 123) << "loop 1 did not hear the reset";
    EXPECT_EQ(&sim.reader(2, 1), &other);
    EXPECT_THROW(sim.reader(2, 2), std::out_of_range);
}

// --- Reset and programming ---

const std::string Positions = "\x80\x81\x82\x83\x84\x85\x86\x87\x88\x89";

TEST_F(SimulatorTest, ResetClearsThePlantCodeUntilTheNewOneIsSet) {
    EXPECT_EQ(hex(exchange("W0100", 0)), hex(replyFrame("S01"))) << "status first, then the address";
    EXPECT_EQ(r1.plantCode(), 0);
    EXPECT_EQ(hex(exchange("01000123D", 2000)), hex(replyFrame("01C")));
    EXPECT_EQ(hex(exchange("01000000D", 4000)), hex(replyFrame("01S0000")));

    EXPECT_EQ(hex(exchange("01000000A00045600010", 6000)), hex(replyFrame("01S")));
    EXPECT_EQ(r1.plantCode(), 456);
    EXPECT_EQ(r1.prefix(), "01000456");
    EXPECT_EQ(r1.parameters().openingTime, 10);
    EXPECT_EQ(r1.cardDigits(), 4);
    EXPECT_EQ(hex(exchange("01000456D", 8000)), hex(replyFrame("01S0000")));

    EXPECT_EQ(hex(exchange("W0199", 10000)), hex(replyFrame("D01"))) << "a reset ends with 00";
    EXPECT_EQ(r1.plantCode(), 456);
    EXPECT_EQ(exchange("W0200", 12000), "") << "no reader at address 2";
}

TEST_F(SimulatorTest, ProgrammingSequenceLeavesTheParametersSent) {
    const std::string sequence[] = {"01000123A00012300010", "01000123N011111",    "01000123T0509030227",
                                    "01000123P" + Positions, "01000123F107301200", "01000123F313002359"};
    for (const std::string& text : sequence)
        EXPECT_EQ(hex(exchange(text)), hex(replyFrame("01S"))) << text;

    const Parameters& p = r1.parameters();
    EXPECT_EQ(p.openingTime, 10);
    EXPECT_EQ(p.options, (Parameters::Options{.replyDelay = 1, .kind = '1', .rewriteRam = false, .bands = true,
                                              .testInput = true}));
    EXPECT_EQ(p.clock, (Parameters::Clock{.minute = 5, .hour = 9, .day = 3, .month = 2, .year = 27}));
    EXPECT_EQ(p.positions, (Parameters::Positions{{0, 1, 2, 3}, {4, 5, 6, 7, 8, 9}}));
    EXPECT_EQ(p.bands[0], (Parameters::Band{"07:30", "12:00"}));
    EXPECT_EQ(p.bands[1], std::nullopt);
    EXPECT_EQ(p.bands[2], (Parameters::Band{"13:00", "23:59"}));

    exchange("01000123N010000");
    EXPECT_TRUE(r1.parameters().options->rewriteRam) << "sent inverted";
    exchange("01000123P\x9e\x9d\x9c\x80\x81\x82\x83\x84\xe3");
    EXPECT_EQ(r1.parameters().positions, (Parameters::Positions{{30, 29, 28}, {0, 1, 2, 3, 4, 99}}));
}

TEST_F(SimulatorTest, MalformedCommandsAreTransferErrorsAndChangeNothing) {
    r1.storeTransit({"0001", 8, 0, 1, 1});
    const std::string cases[] = {
        "01000123A0001230001",                  // too short
        "01000123A000123000100",                // 12 characters after the letter
        "01000123A00012300110",                 // no "000" before the time
        "01000123A0001230001099",               // the 3-digit form ends with 00
        "01000123N01101",                       // one option missing
        "01000123N010200",                      // an option is 0 or 1
        "01000123T6009030227",                  // minute 60
        "01000123T0509031327",                  // month 13
        "01000123T0509000227",                  // day 0
        "01000123P" + Positions.substr(2),      // 8 positions
        "01000123P\x7f" + Positions.substr(1),  // position -1
        "01000123P\xe4" + Positions.substr(1),  // position 100
        "01000123F407301200",                   // band 4
        "01000123F107301260",                   // minute 60
        "01000123F1073012",                     // a time missing
        "01000123B0001100121",                  // one option digit missing
        "01000123B00011001410",                 // band 4
        "01000123B00012001210",                 // an option is 0 or 1
        "01000123C001",                         // 3 digits for a 4-digit reader
        "01000123O02",
        "01000123L12",                          // no card code
        "01000123Q1",
        "01000123S1",
        "01000123E02",
        "01000123K1100",
    };
    std::int64_t t = 0;
    for (const std::string& text : cases) EXPECT_EQ(hex(exchange(text, t += 2000)), hex(replyFrame("01D"))) << text;

    const Parameters& p = r1.parameters();
    EXPECT_FALSE(p.openingTime || p.options || p.clock || p.positions || p.bands[0] || p.bands[1] || p.bands[2]);
    EXPECT_EQ(r1.plantCode(), 123);
    EXPECT_EQ(r1.cardDigits(), 4);
    EXPECT_TRUE(r1.cardMemory().empty());
    EXPECT_TRUE(r1.archive().empty());
    EXPECT_EQ(r1.storedTransits().size(), 1u);
    EXPECT_EQ(r1.outputs().timed, std::nullopt);
}

// --- Card memory, archive, timed output ---

TEST_F(SimulatorTest, StoreAndDeleteKeepTheCardMemory) {
    const struct {
        const char* text;
        std::map<std::string, std::string> memory;
    } steps[] = {
        {"01000123B00451001210", {{"0045", "1001210"}}},
        {"01000123B12340100001", {{"0045", "1001210"}, {"1234", "0100001"}}},
        {"01000123B00450000300", {{"0045", "0000300"}, {"1234", "0100001"}}},  // stored again: new options
        {"01000123C1234", {{"0045", "0000300"}}},
        {"01000123C0777", {{"0045", "0000300"}}},  // a card not held: accepted all the same
    };
    std::int64_t t = 0;
    for (const auto& s : steps) {
        EXPECT_EQ(hex(exchange(s.text, t += 2000)), hex(replyFrame("01S"))) << s.text;
        EXPECT_EQ(r1.cardMemory(), s.memory) << s.text;
    }
}

TEST_F(SimulatorTest, ThreeDigitCardsFollowThePlantCodeCommand) {
    EXPECT_EQ(hex(exchange("01000123A0001230001000", 0)), hex(replyFrame("01S")));
    EXPECT_EQ(r1.cardDigits(), 3);
    EXPECT_EQ(hex(exchange("01000123B0451001210", 2000)), hex(replyFrame("01S")));
    EXPECT_EQ(hex(exchange("01000123B00451001210", 4000)), hex(replyFrame("01D"))) << "4 digits no more";
    EXPECT_EQ(r1.cardMemory(), (std::map<std::string, std::string>{{"045", "1001210"}}));
    EXPECT_EQ(hex(exchange("01000123C045", 6000)), hex(replyFrame("01S")));
    EXPECT_TRUE(r1.cardMemory().empty());
}

TEST_F(SimulatorTest, ArchiveRecordsAreLoadedByNumber) {
    for (const char* text : {"01000123L000A1B2C3", "01000123L001D4E5F6", "01000123L000999999"})
        EXPECT_EQ(hex(exchange(text)), hex(replyFrame("01S"))) << text;
    EXPECT_EQ(r1.archive(), (std::map<std::string, std::string>{{"000", "999999"}, {"001", "D4E5F6"}}));
}

TEST_F(SimulatorTest, TimedOutputIsSwitchedOnAndOff) {
    EXPECT_EQ(hex(exchange("01000123O01", 0)), hex(replyFrame("01S")));
    EXPECT_EQ(r1.outputs().timed, true);
    EXPECT_EQ(hex(exchange("01000123O00", 2000)), hex(replyFrame("01S")));
    EXPECT_EQ(r1.outputs().timed, false);
    EXPECT_EQ(r1.outputs().text, "") << "the K outputs are another matter";
}

// --- Stored transits ---

TEST(StoredTransitTest, HandedOutOneARequestWhereTheDownloadReadsThem) {
    const struct {
        const char* name;
        const char* plantCommand;  // tells the reader how many card digits there are
        std::size_t hour;          // where the hour begins, counted from the SOH; the card is at 5
        const char* first;         // the reply bodies of the two records
        const char* second;
    } modes[] = {
        {"4-digit cards", "01000123A00012300010", 9, "01Z012308153112", "01Z000717020501"},
        {"3-digit cards", "01000123A0001230001000", 8, "01Z12308153112", "01Z00717020501"},
    };
    for (const auto& m : modes) {
        Simulator sim;
        Reader& r = sim.addReader({.address = 1, .plantCode = 123});
        r.storeTransit({.card = "0123", .hour = 8, .minute = 15, .day = 31, .month = 12});
        r.storeTransit({.card = "7", .hour = 17, .minute = 2, .day = 5, .month = 1});
        std::int64_t t = 0;
        auto ask = [&](const char* text) {
            sim.receive(frame(text), t += 2000);
            return hex(sim.take(t + 1000));
        };
        ask(m.plantCommand);

        EXPECT_EQ(ask("01000123Q"), hex(replyFrame("01S"))) << m.name;
        EXPECT_EQ(ask("01000123S"), hex(replyFrame(m.first))) << m.name;
        EXPECT_EQ(ask("01000123S"), hex(replyFrame(m.second))) << m.name;
        EXPECT_EQ(ask("01000123S"), hex(replyFrame("01F"))) << m.name;
        EXPECT_EQ(ask("01000123S"), hex(replyFrame("01F"))) << m.name << ": no more until the next download";

        // Fields by position from the SOH: card from 5, then hour, minute, day, month.
        const std::string reply = replyFrame(m.first);
        EXPECT_EQ(reply.substr(4, m.hour - 5), std::string("0123").substr(9 - m.hour)) << m.name;
        EXPECT_EQ(reply.substr(m.hour - 1, 8), "08153112") << m.name;

        EXPECT_EQ(ask("01000123Q"), hex(replyFrame("01S"))) << m.name;
        EXPECT_EQ(ask("01000123S"), hex(replyFrame(m.first))) << m.name << ": a new download starts from the first";
        EXPECT_EQ(ask("01000123E01"), hex(replyFrame("01S"))) << m.name;
        EXPECT_TRUE(r.storedTransits().empty()) << m.name;
        EXPECT_EQ(ask("01000123Q"), hex(replyFrame("01S"))) << m.name;
        EXPECT_EQ(ask("01000123S"), hex(replyFrame("01F"))) << m.name;
    }
}

TEST(BehaviourTest, MisbehavingReadersAnswerAsConfigured) {
    struct Case {
        const char* name;
        B behaviour;
        std::string reply;  // to a poll with a card queued
        bool heard;
    } cases[] = {
        {"silent", B::Silent, "", false},
        {"wrong checksum", B::WrongChecksum, [] {
             std::string f = replyFrame("01I0000CARD");
             f.back() = static_cast<char>(f.back() + 1);
             return f;
         }(), true},
        {"garbage first", B::GarbageFirst, "\x7f\x3c\xa5" + replyFrame("01I0000CARD"), true},
        {"status C", B::StatusC, replyFrame("01C"), true},
        {"status D", B::StatusD, replyFrame("01D"), true},
    };
    for (const auto& c : cases) {
        Simulator sim;
        Reader& r = sim.addReader({.loop = 1, .address = 1, .plantCode = 123, .behaviour = c.behaviour});
        r.presentCard("CARD");
        sim.receive(frame("01000123D"), 0);
        EXPECT_EQ(hex(sim.take(1000)), hex(c.reply)) << c.name;
        EXPECT_EQ(r.commands.size(), c.heard ? 1u : 0u) << c.name;
    }
}

TEST(BehaviourTest, StatusReadersAnswerEveryCommandWithTheirStatus) {
    Simulator sim;
    Reader& r = sim.addReader({.address = 1, .plantCode = 123, .behaviour = B::StatusD});
    for (const char* text : {"01000123K110001000", "01000123X", "01000999D"}) {
        sim.receive(frame(text), 0);
        EXPECT_EQ(hex(sim.take(1000)), hex(replyFrame("01D"))) << text;
    }
    EXPECT_EQ(r.outputs().text, "");
    sim.receive(frame("W0100"), 0);
    EXPECT_EQ(hex(sim.take(1000)), hex(replyFrame("D01"))) << "the reset's status comes first";
    EXPECT_EQ(r.plantCode(), 123);
}

TEST(BehaviourTest, SlowReaderSendsItsReplyInPiecesApart) {
    Simulator sim;
    sim.addReader({.address = 1, .plantCode = 123, .behaviour = B::Slow, .slowGapMs = 60, .slowPieces = 3});
    const std::string whole = replyFrame("01S0000");  // 10 bytes: pieces of 4, 4 and 2
    sim.receive(frame("01000123D"), 1000);

    EXPECT_EQ(sim.take(1004), "");
    EXPECT_EQ(hex(sim.take(1005)), hex(whole.substr(0, 4)));
    EXPECT_EQ(sim.take(1064), "");
    EXPECT_EQ(hex(sim.take(1065)), hex(whole.substr(4, 4)));
    EXPECT_EQ(sim.take(1124), "");
    EXPECT_EQ(hex(sim.take(1125)), hex(whole.substr(8)));
    EXPECT_EQ(sim.take(9999), "");
}

// --- On a pseudo-terminal ---

TEST(PtyServerTest, AnswersAPollWrittenToTheSlave) {
    Simulator sim;
    sim.addReader({.address = 1, .plantCode = 123}).presentCard("0123400012300000");
    PtyServer server(sim);
    ASSERT_EQ(server.slavePath().rfind("/dev/pts/", 0), 0u) << server.slavePath();

    const int fd = ::open(server.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    const std::string poll = frame("01000123D");
    ASSERT_EQ(::write(fd, poll.data(), poll.size()), static_cast<ssize_t>(poll.size()));

    const std::string expected = replyFrame("01I00000123400012300000");
    std::string reply;
    for (const std::int64_t end = PtyServer::nowMs() + 2000; reply.size() < expected.size() && PtyServer::nowMs() < end;) {
        server.step(5);
        char buf[256];
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 5) > 0)
            if (const ssize_t n = ::read(fd, buf, sizeof buf); n > 0) reply.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    EXPECT_EQ(hex(reply), hex(expected));
}

}  // namespace
}  // namespace vc::sim
