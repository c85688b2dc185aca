#include "reader_sim/reader_sim.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <string>

namespace vc::sim {
namespace {

using B = ReaderConfig::Behaviour;

// Byte strings compared as hex dumps, so a mismatch shows every byte.
std::string hex(const std::string& s) {
    std::string out;
    char buf[4];
    for (unsigned char c : s) {
        std::snprintf(buf, sizeof buf, "%02X ", c);
        out += buf;
    }
    return out;
}

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
    EXPECT_EQ(&sim.reader(2, 1), &other);
    EXPECT_THROW(sim.reader(2, 2), std::out_of_range);
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
