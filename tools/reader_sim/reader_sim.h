#pragma once
// Simulated card readers on one RS-485 line, for end-to-end tests and the demo.
//
// The PC writes frames (SOH, command text, ENQ, checksum byte); the addressed reader answers
// with SOH, its 2-digit address, a status letter, data, ENQ and the reply checksum byte. The
// reset "W" is the exception both ways: it carries the address but no plant code, and its reply
// puts the status before the address. Time is always a parameter (milliseconds on any monotonic
// scale), so tests never sleep; PtyServer runs the same simulator on a pseudo-terminal in real
// time.

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vc::sim {

// A frame as the PC sends it: SOH, text, ENQ and the send checksum (5 XOR every byte from the
// SOH to the ENQ; 1 and 5 are raised by one).
std::string frame(std::string_view text);
// A reply as a reader sends it: SOH, body, ENQ and the checksum the PC accepts (computed the
// same way, but 2 and 5 are raised by one).
std::string replyFrame(std::string_view body);

// A card's raw data as the reader reports it after the 8 header characters of its poll reply.
// Positions count from 0, the first character of the data. number4[k] goes at posCarta[k] and
// plant6[k] at posCodice[k] (both zero-padded on the left to 4 and 6 characters); every other
// character is '0'. The data grows past `length` when a position lies beyond it.
std::string cardData(const std::string& number4, const std::string& plant6, const std::array<int, 4>& posCarta,
                     const std::array<int, 6>& posCodice, std::size_t length = 16);

struct ReaderConfig {
    int loop = 1;
    int address = 0;
    int plantCode = 0;
    std::string type = "KOVA KV-M1";
    enum class Behaviour {
        Normal,
        Silent,         // hears nothing, answers nothing
        Slow,           // the reply comes in slowPieces pieces, slowGapMs apart
        WrongChecksum,  // the checksum byte is one too high
        GarbageFirst,   // a few junk bytes come before the SOH
        StatusC,        // every command is answered with status "C" (wrong plant code)
        StatusD,        // every command is answered with status "D" (transfer error)
    } behaviour = Behaviour::Normal;
    int slowGapMs = 60;
    int slowPieces = 3;
};

// The outputs as the last "K" and "O" commands set them.
struct Outputs {
    std::string text;           // the nine characters after "K"; "" until the first one
    std::optional<bool> timed;  // the output "O" switches on or off; unknown until the first one
    bool output1() const { return text.size() == 9 && text[1] == '1'; }
    bool output2() const { return text.size() == 9 && text[8] == '1'; }
};

// The stand-alone parameters, each as the last command that sets it left it; nothing until then.
struct Parameters {
    struct Options {  // "N"
        int replyDelay = 0;
        char kind = '0';          // '0' for the KOVA family, '1' for other readers
        bool rewriteRam = false;  // sent inverted: "0" when it is on
        bool bands = false;
        bool testInput = false;
        bool operator==(const Options&) const = default;
    };
    struct Clock {  // "T"
        int minute = 0, hour = 0, day = 0, month = 0, year = 0;  // the year in 2 digits
        bool operator==(const Clock&) const = default;
    };
    struct Positions {  // "P", counted from 0 = the first character of the card data
        std::vector<int> card;  // 4 positions, or 3 for 3-digit cards
        std::array<int, 6> code{};
        bool operator==(const Positions&) const = default;
    };
    struct Band {  // "F"
        std::string from, to;  // "HH:MM"
        bool operator==(const Band&) const = default;
    };
    std::optional<int> openingTime;  // "A": the 2-digit field, twice the door's opening time
    std::optional<Options> options;
    std::optional<Clock> clock;
    std::optional<Positions> positions;
    std::array<std::optional<Band>, 3> bands;  // bands 1 to 3
};

// A transit the reader allowed while working stand-alone, as its memory keeps it: no year, no
// direction, no reader number.
struct StoredTransit {
    std::string card;  // the card number, up to 4 digits
    int hour = 0, minute = 0, day = 0, month = 0;
};

class Reader {
public:
    explicit Reader(ReaderConfig config) : config_(std::move(config)), plantCode_(config_.plantCode) {}

    const ReaderConfig& config() const { return config_; }
    // The plant code it answers to: the configured one, 0 after a reset, then what "A" sets.
    int plantCode() const { return plantCode_; }
    // "01000123": the 2-digit address and the 6-digit plant code.
    std::string prefix() const;
    // 4 until "A" says otherwise: its 3-digit form ends with "00". The card field of "B", "C"
    // and of the stored transits has this many digits.
    int cardDigits() const { return cardDigits_; }

    // Queues a card read: the next "D" poll reports it with status "I".
    void presentCard(std::string rawData) { cards_.push_back(std::move(rawData)); }
    std::size_t queuedCards() const { return cards_.size(); }
    void setInputs(bool in1, bool in2) { inputs_ = {in1, in2}; }
    const Outputs& outputs() const { return outputs_; }
    const Parameters& parameters() const { return parameters_; }
    // The cards stored by "B" and not deleted by "C": card field -> the seven option digits.
    const std::map<std::string, std::string>& cardMemory() const { return cardMemory_; }
    // The card-archive records loaded by "L": the 3-digit record number -> the card code.
    const std::map<std::string, std::string>& archive() const { return archive_; }

    // Adds a transit to the memory that "S" hands out and "E01" erases.
    void storeTransit(StoredTransit t) { transits_.push_back(std::move(t)); }
    const std::vector<StoredTransit>& storedTransits() const { return transits_; }

    // The reply body (address echo, status, data; for the reset, status then address) to a
    // command text routed to this reader, or nothing when it stays silent. A malformed command
    // gets status "D" and changes nothing. Every command heard is logged in `commands`.
    std::optional<std::string> answer(std::string_view text);

    // Every command text this reader heard (framing removed), oldest first.
    std::vector<std::string> commands;
    // How many polls ("D") it has heard and answered.
    std::int64_t polls() const { return polls_; }

private:
    using Handler = std::optional<std::string> (Reader::*)(std::string_view data);
    // The one table from command letter to handler; a letter not in it gets no reply.
    static Handler handlerFor(char letter);

    std::string reply(char status, std::string_view data = {}) const;
    std::string resetReply(char status) const;
    std::string record(const StoredTransit& t) const;
    std::optional<std::string> onPoll(std::string_view data);          // "D"
    std::optional<std::string> onOutputs(std::string_view data);       // "K"
    std::optional<std::string> onTimedOutput(std::string_view data);   // "O"
    std::optional<std::string> onStoreCard(std::string_view data);     // "B"
    std::optional<std::string> onDeleteCard(std::string_view data);    // "C"
    std::optional<std::string> onReset(std::string_view data);         // "W"
    std::optional<std::string> onPlantCode(std::string_view data);     // "A"
    std::optional<std::string> onOptions(std::string_view data);       // "N"
    std::optional<std::string> onClock(std::string_view data);         // "T"
    std::optional<std::string> onPositions(std::string_view data);     // "P"
    std::optional<std::string> onBand(std::string_view data);          // "F"
    std::optional<std::string> onLoadArchive(std::string_view data);   // "L"
    std::optional<std::string> onProbe(std::string_view data);         // "Q"
    std::optional<std::string> onSendTransit(std::string_view data);   // "S"
    std::optional<std::string> onErase(std::string_view data);         // "E01"

    ReaderConfig config_;
    int plantCode_;
    int cardDigits_ = 4;
    std::deque<std::string> cards_;
    std::array<bool, 2> inputs_{};
    Outputs outputs_;
    Parameters parameters_;
    std::map<std::string, std::string> cardMemory_;
    std::map<std::string, std::string> archive_;
    std::vector<StoredTransit> transits_;
    std::size_t nextTransit_ = 0;  // the next one "S" hands out; "Q" starts a download again
    std::int64_t polls_ = 0;
};

class Simulator {
public:
    // Delay between the end of a request and the first byte of its reply.
    void setReplyDelayMs(int ms) { replyDelayMs_ = ms; }
    // Replies as on a real line at 4800 8N1 (10 bits a byte): a reply is due once the request
    // and then the reply itself have had their time on the wire, instead of after the delay above.
    void setWireTimed(bool on) { wireTimed_ = on; }

    Reader& addReader(ReaderConfig config);
    // Throws std::out_of_range when there is no such reader.
    Reader& reader(int loop, int address);
    std::deque<Reader>& readers() { return readers_; }

    // The loop the multi-loop board has selected; 0 (the default) lets every loop hear.
    void setLoop(int loop) { loop_ = loop; }

    // Bytes written by the PC at nowMs. Complete frames are routed to the reader with their
    // address and plant code on the selected loop(s); a reader with the address but another
    // plant code answers status "C"; a reset goes to the first reader with its address. A bad
    // checksum or an unknown address gets no reply, as a reader on a shared bus stays silent.
    // Incomplete frames wait for the rest of their bytes.
    void receive(std::string_view bytes, std::int64_t nowMs);
    // The reply bytes due by nowMs, in order; "" when none.
    std::string take(std::int64_t nowMs);
    // When the next reply bytes fall due, if any are waiting.
    std::optional<std::int64_t> nextDueMs() const;

private:
    Reader* addressed(std::string_view text);
    void dispatch(std::string_view text, std::int64_t nowMs);
    void send(const ReaderConfig& config, std::string_view body, std::size_t requestBytes, std::int64_t nowMs);

    std::deque<Reader> readers_;  // deque: references stay valid as readers are added
    int loop_ = 0;
    int replyDelayMs_ = 5;
    bool wireTimed_ = false;
    std::string inbox_;                              // bytes not yet part of a whole frame
    std::multimap<std::int64_t, std::string> due_;  // reply pieces by due time, in order
};

// The simulator on a pseudo-terminal: the program under test opens slavePath() as its serial
// port. The simulator keeps the slave open too, so the line does not hang up while the program
// closes and reopens it. Time is the steady clock in milliseconds.
class PtyServer {
public:
    // Throws std::system_error when the pseudo-terminal cannot be set up.
    explicit PtyServer(Simulator& sim);
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    const std::string& slavePath() const { return slavePath_; }

    // Waits up to timeoutMs (less when a reply falls due sooner) for bytes from the program,
    // hands them to the simulator and writes the replies that are due.
    void step(int timeoutMs = 5);
    // Steps until ms milliseconds have passed.
    void runFor(int ms);

    static std::int64_t nowMs();

private:
    Simulator& sim_;
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

}  // namespace vc::sim
