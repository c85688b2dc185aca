#include "reader_sim/reader_sim.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <system_error>

namespace vc::sim {

namespace {

constexpr char SOH = 1, ENQ = 5;
// Junk seen on a real bus before a reply; it XORs to non-zero, so the PC's check fails.
constexpr std::string_view Garbage = "\x7f\x3c\xa5";

unsigned char rawChecksum(std::string_view text) {
    unsigned char x = 5 ^ SOH;
    for (char c : text) x ^= static_cast<unsigned char>(c);
    return x;
}

std::string framed(std::string_view text, unsigned char checksum) {
    std::string f(1, SOH);
    f += text;
    f += ENQ;
    f += static_cast<char>(checksum);
    return f;
}

std::string digits(int value, std::size_t width) {
    std::string s = std::to_string(value);
    return s.size() >= width ? s.substr(s.size() - width) : std::string(width - s.size(), '0') + s;
}

std::string padLeft(const std::string& s, std::size_t width) {
    return s.size() >= width ? s : std::string(width - s.size(), '0') + s;
}

void place(std::string& data, int pos, char c) {
    const auto p = static_cast<std::size_t>(pos);
    if (p >= data.size()) data.resize(p + 1, '0');
    data[p] = c;
}

// Milliseconds that many bytes take at 4800 baud, 10 bits a byte (start, 8 data, stop), rounded.
std::int64_t wireMs(std::size_t bytes) { return static_cast<std::int64_t>((bytes * 10 * 1000 + 2400) / 4800); }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool allDigits(std::string_view s) { return std::all_of(s.begin(), s.end(), isDigit); }

// The value of a run of digits (checked by the caller).
int number(std::string_view s) {
    int v = 0;
    for (char c : s) v = v * 10 + (c - '0');
    return v;
}

// The reset is the one command that starts with its letter: "W", the address, "00".
bool isReset(std::string_view text) { return !text.empty() && text[0] == 'W'; }

// The two address digits of a command text (after the "W" of a reset), or -1.
int addressOf(std::string_view text) {
    if (isReset(text))
        text.remove_prefix(1);
    else if (text.size() < 9)
        return -1;
    if (text.size() < 2 || !allDigits(text.substr(0, 2))) return -1;
    return number(text.substr(0, 2));
}

// "HHMM" as "HH:MM", or "" when it is no time of day.
std::string timeOfDay(std::string_view hhmm) {
    if (hhmm.size() != 4 || !allDigits(hhmm) || number(hhmm.substr(0, 2)) > 23 || number(hhmm.substr(2)) > 59)
        return "";
    return std::string(hhmm.substr(0, 2)) + ":" + std::string(hhmm.substr(2));
}

std::vector<std::string> split(const std::string& bytes, int pieces) {
    const std::size_t n = static_cast<std::size_t>(std::max(pieces, 1));
    const std::size_t size = (bytes.size() + n - 1) / n;
    std::vector<std::string> out;
    for (std::size_t at = 0; at < bytes.size(); at += size) out.push_back(bytes.substr(at, size));
    return out;
}

}  // namespace

std::string frame(std::string_view text) {
    unsigned char x = rawChecksum(text);
    if (x == 1 || x == 5) ++x;
    return framed(text, x);
}

std::string replyFrame(std::string_view body) {
    unsigned char x = rawChecksum(body);
    if (x == 2 || x == 5) ++x;
    return framed(body, x);
}

std::string cardData(const std::string& number4, const std::string& plant6, const std::array<int, 4>& posCarta,
                     const std::array<int, 6>& posCodice, std::size_t length) {
    std::string data(length, '0');
    const std::string number = padLeft(number4, 4), plant = padLeft(plant6, 6);
    for (std::size_t k = 0; k < posCarta.size(); ++k) place(data, posCarta[k], number[k]);
    for (std::size_t k = 0; k < posCodice.size(); ++k) place(data, posCodice[k], plant[k]);
    return data;
}

// --- Reader ---

std::string Reader::prefix() const { return digits(config_.address, 2) + digits(plantCode_, 6); }

Reader::Handler Reader::handlerFor(char letter) {
    static const std::map<char, Handler> table{
        {'D', &Reader::onPoll},        {'K', &Reader::onOutputs},     {'O', &Reader::onTimedOutput},
        {'B', &Reader::onStoreCard},   {'C', &Reader::onDeleteCard},  {'W', &Reader::onReset},
        {'A', &Reader::onPlantCode},   {'N', &Reader::onOptions},     {'T', &Reader::onClock},
        {'P', &Reader::onPositions},   {'F', &Reader::onBand},        {'L', &Reader::onLoadArchive},
        {'Q', &Reader::onProbe},       {'S', &Reader::onSendTransit}, {'E', &Reader::onErase},
    };
    const auto it = table.find(letter);
    return it == table.end() ? nullptr : it->second;
}

std::optional<std::string> Reader::answer(std::string_view text) {
    using B = ReaderConfig::Behaviour;
    if (config_.behaviour == B::Silent) return std::nullopt;
    commands.emplace_back(text);
    const bool reset = isReset(text);
    if (config_.behaviour == B::StatusC) return reset ? resetReply('C') : reply('C');
    if (config_.behaviour == B::StatusD) return reset ? resetReply('D') : reply('D');
    if (!reset && text.substr(0, 8) != prefix()) return reply('C');
    if (!reset && text.size() < 9) return std::nullopt;
    const Handler handler = handlerFor(reset ? 'W' : text[8]);
    if (!handler) return std::nullopt;
    return (this->*handler)(text.substr(reset ? 1 : 9));
}

std::string Reader::reply(char status, std::string_view data) const {
    std::string body = digits(config_.address, 2);
    body += status;
    body += data;
    return body;
}

std::string Reader::resetReply(char status) const { return status + digits(config_.address, 2); }

// Characters 5-8 of the reply carry the inputs at 6 and 7; the card data follow from 9.
std::optional<std::string> Reader::onPoll(std::string_view) {
    ++polls_;
    std::string data{'0', inputs_[0] ? '1' : '0', inputs_[1] ? '1' : '0', '0'};
    if (cards_.empty()) return reply('S', data);
    data += cards_.front();
    cards_.pop_front();
    return reply('I', data);
}

// Switch, output 1, six middle characters, output 2.
std::optional<std::string> Reader::onOutputs(std::string_view data) {
    if (data.size() != 9) return reply('D');
    outputs_.text = data;
    return reply('S');
}

// "0", then "1" for on or "0" for off.
std::optional<std::string> Reader::onTimedOutput(std::string_view data) {
    if (data != "01" && data != "00") return reply('D');
    outputs_.timed = data[1] == '1';
    return reply('S');
}

// The card field, then the option digits: method, inputs not checked, input 2, input 1, band
// (0 for all day, 1-3), output 1, output 2.
std::optional<std::string> Reader::onStoreCard(std::string_view data) {
    const auto n = static_cast<std::size_t>(cardDigits_);
    if (data.size() != n + 7 || !allDigits(data)) return reply('D');
    const std::string_view options = data.substr(n);
    for (std::size_t k = 0; k < options.size(); ++k)
        if (options[k] > (k == 4 ? '3' : '1')) return reply('D');
    cardMemory_[std::string(data.substr(0, n))] = options;
    return reply('S');
}

// Deleting a card the memory does not hold is no error: programming every card deletes each
// card from every reader it is not enabled on.
std::optional<std::string> Reader::onDeleteCard(std::string_view data) {
    if (data.size() != static_cast<std::size_t>(cardDigits_) || !allDigits(data)) return reply('D');
    cardMemory_.erase(std::string(data));
    return reply('S');
}

// The reader restarts answering to plant code 000000; its memory stays.
std::optional<std::string> Reader::onReset(std::string_view data) {
    if (data != digits(config_.address, 2) + "00") return resetReply('D');
    plantCode_ = 0;
    return resetReply('S');
}

// The new plant code, "000", the doubled opening time; "00" more for 3-digit cards.
std::optional<std::string> Reader::onPlantCode(std::string_view data) {
    if ((data.size() != 11 && data.size() != 13) || !allDigits(data) || data.substr(6, 3) != "000" ||
        (data.size() == 13 && data.substr(11) != "00"))
        return reply('D');
    plantCode_ = number(data.substr(0, 6));
    parameters_.openingTime = number(data.substr(9, 2));
    cardDigits_ = data.size() == 11 ? 4 : 3;
    return reply('S');
}

// Reply delay (2 digits), reader kind, RAM rewrite (inverted), bands, input test.
std::optional<std::string> Reader::onOptions(std::string_view data) {
    if (data.size() != 6 || !allDigits(data) || data.find_first_not_of("01", 2) != std::string_view::npos)
        return reply('D');
    parameters_.options = Parameters::Options{number(data.substr(0, 2)), data[2], data[3] == '0', data[4] == '1',
                                              data[5] == '1'};
    return reply('S');
}

// Minute, hour, day, month, year: 2 digits each, the minute first.
std::optional<std::string> Reader::onClock(std::string_view data) {
    if (data.size() != 10 || !allDigits(data)) return reply('D');
    auto field = [&data](std::size_t k) { return number(data.substr(2 * k, 2)); };
    const Parameters::Clock c{field(0), field(1), field(2), field(3), field(4)};
    if (c.minute > 59 || c.hour > 23 || c.day < 1 || c.day > 31 || c.month < 1 || c.month > 12) return reply('D');
    parameters_.clock = c;
    return reply('S');
}

// One byte 128 + position for each card digit (4, or 3 for 3-digit cards), then six for the code.
std::optional<std::string> Reader::onPositions(std::string_view data) {
    if (data.size() != 10 && data.size() != 9) return reply('D');
    std::vector<int> positions;
    for (char c : data) {
        const int p = static_cast<unsigned char>(c) - 128;
        if (p < 0 || p > 99) return reply('D');
        positions.push_back(p);
    }
    Parameters::Positions set;
    set.card.assign(positions.begin(), positions.end() - 6);
    std::copy(positions.end() - 6, positions.end(), set.code.begin());
    parameters_.positions = std::move(set);
    return reply('S');
}

// The band's digit, then from and to as "HHMM".
std::optional<std::string> Reader::onBand(std::string_view data) {
    if (data.size() != 9 || data[0] < '1' || data[0] > '3') return reply('D');
    Parameters::Band band{timeOfDay(data.substr(1, 4)), timeOfDay(data.substr(5, 4))};
    if (band.from.empty() || band.to.empty()) return reply('D');
    parameters_.bands[static_cast<std::size_t>(data[0] - '1')] = std::move(band);
    return reply('S');
}

// One archive record: its 3-digit number, then the card code. A record loaded again replaces
// the one with its number.
std::optional<std::string> Reader::onLoadArchive(std::string_view data) {
    if (data.size() < 4 || !allDigits(data.substr(0, 3))) return reply('D');
    archive_[std::string(data.substr(0, 3))] = data.substr(3);
    return reply('S');
}

// The download begins with the probe: the stored transits are handed out from the first again,
// so a download that did not erase them gets them all at the next one.
std::optional<std::string> Reader::onProbe(std::string_view data) {
    if (!data.empty()) return reply('D');
    nextTransit_ = 0;
    return reply('S');
}

std::optional<std::string> Reader::onSendTransit(std::string_view data) {
    if (!data.empty()) return reply('D');
    if (nextTransit_ >= transits_.size()) return reply('F');
    return reply('Z', record(transits_[nextTransit_++]));
}

// The card field, then hour, minute, day and month in 2 digits each.
std::string Reader::record(const StoredTransit& t) const {
    const std::string card = padLeft(t.card, 4);
    return card.substr(card.size() - static_cast<std::size_t>(cardDigits_)) + digits(t.hour, 2) +
           digits(t.minute, 2) + digits(t.day, 2) + digits(t.month, 2);
}

std::optional<std::string> Reader::onErase(std::string_view data) {
    if (data != "01") return reply('D');
    transits_.clear();
    nextTransit_ = 0;
    return reply('S');
}

// --- Simulator ---

Reader& Simulator::addReader(ReaderConfig config) { return readers_.emplace_back(std::move(config)); }

Reader& Simulator::reader(int loop, int address) {
    for (Reader& r : readers_)
        if (r.config().loop == loop && r.config().address == address) return r;
    throw std::out_of_range("no reader at loop " + std::to_string(loop) + " address " + std::to_string(address));
}

Reader* Simulator::addressed(std::string_view text) {
    const int address = addressOf(text);
    Reader* sameAddress = nullptr;
    for (Reader& r : readers_) {
        if ((loop_ != 0 && r.config().loop != loop_) || r.config().address != address) continue;
        if (isReset(text) || text.substr(0, 8) == r.prefix()) return &r;
        if (!sameAddress) sameAddress = &r;
    }
    return sameAddress;
}

void Simulator::receive(std::string_view bytes, std::int64_t nowMs) {
    inbox_ += bytes;
    for (;;) {
        const std::size_t first = inbox_.find(SOH);
        if (first == std::string::npos) {
            inbox_.clear();
            return;
        }
        inbox_.erase(0, first);
        std::size_t enq = inbox_.find(ENQ);
        if (enq == std::string::npos) return;
        // The text never holds SOH: a later SOH before the ENQ means the frame was cut short.
        const std::size_t soh = inbox_.rfind(SOH, enq);
        inbox_.erase(0, soh);
        enq -= soh;
        if (enq + 1 >= inbox_.size()) return;
        const std::string whole = inbox_.substr(0, enq + 2);
        inbox_.erase(0, enq + 2);
        const std::string_view text = std::string_view(whole).substr(1, enq - 1);
        if (frame(text) == whole) dispatch(text, nowMs);
    }
}

void Simulator::dispatch(std::string_view text, std::int64_t nowMs) {
    Reader* r = addressed(text);
    if (!r) return;
    if (const auto body = r->answer(text)) send(r->config(), *body, text.size() + 3, nowMs);
}

void Simulator::send(const ReaderConfig& config, std::string_view body, std::size_t requestBytes, std::int64_t nowMs) {
    using B = ReaderConfig::Behaviour;
    std::string bytes = replyFrame(body);
    if (config.behaviour == B::WrongChecksum) bytes.back() = static_cast<char>(bytes.back() + 1);
    if (config.behaviour == B::GarbageFirst) bytes.insert(0, Garbage);
    std::int64_t due = nowMs + (wireTimed_ ? wireMs(requestBytes + bytes.size()) : replyDelayMs_);
    if (config.behaviour != B::Slow) {
        due_.emplace(due, std::move(bytes));
        return;
    }
    for (std::string& piece : split(bytes, config.slowPieces)) {
        due_.emplace(due, std::move(piece));
        due += config.slowGapMs;
    }
}

std::optional<std::int64_t> Simulator::nextDueMs() const {
    if (due_.empty()) return std::nullopt;
    return due_.begin()->first;
}

std::string Simulator::take(std::int64_t nowMs) {
    std::string out;
    const auto end = due_.upper_bound(nowMs);
    for (auto it = due_.begin(); it != end; ++it) out += it->second;
    due_.erase(due_.begin(), end);
    return out;
}

// --- PtyServer ---

namespace {

[[noreturn]] void fail(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

}  // namespace

PtyServer::PtyServer(Simulator& sim) : sim_(sim) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0) fail("posix_openpt");
    char name[128];
    termios tio{};
    if (grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0 ||
        tcgetattr(master_, &tio) != 0) {
        const int e = errno;
        ::close(master_);
        errno = e;
        fail("pseudo-terminal set-up");
    }
    // Raw both ways: protocol bytes (SOH, ENQ, CR, 128-227) pass untouched and nothing echoes.
    cfmakeraw(&tio);
    slavePath_ = name;
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (tcsetattr(master_, TCSANOW, &tio) != 0 || slave_ < 0 ||
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK) != 0) {
        const int e = errno;
        if (slave_ >= 0) ::close(slave_);
        ::close(master_);
        errno = e;
        fail("pseudo-terminal set-up");
    }
}

PtyServer::~PtyServer() {
    ::close(slave_);
    ::close(master_);
}

std::int64_t PtyServer::nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void PtyServer::step(int timeoutMs) {
    if (const auto due = sim_.nextDueMs())
        timeoutMs = static_cast<int>(std::clamp<std::int64_t>(*due - nowMs(), 0, timeoutMs));
    pollfd p{master_, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) > 0 && (p.revents & POLLIN)) {
        char buf[512];
        ssize_t n;
        while ((n = ::read(master_, buf, sizeof buf)) > 0) sim_.receive({buf, static_cast<std::size_t>(n)}, nowMs());
    }
    const std::string out = sim_.take(nowMs());
    // A program that stops reading fills the line's buffer; what does not fit is lost, as on a wire.
    for (std::size_t at = 0; at < out.size();) {
        const ssize_t n = ::write(master_, out.data() + at, out.size() - at);
        if (n <= 0) break;
        at += static_cast<std::size_t>(n);
    }
}

void PtyServer::runFor(int ms) {
    const std::int64_t end = nowMs() + ms;
    for (std::int64_t now = nowMs(); now < end; now = nowMs())
        step(static_cast<int>(std::min<std::int64_t>(5, end - now)));
}

}  // namespace vc::sim
