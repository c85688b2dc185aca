#pragma once
// Fakes of the platform services, and a station fixture on a temporary site folder.

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/app.h"

namespace vc::test {

// A clock that moves only when told: each doEvents() advances it by 'quantum' ms, sleep() by the
// time asked. Waits measured on it take no real time and are exact.
class FakeClock final : public Clock {
public:
    explicit FakeClock(DateTime start = {2026, 12, 10, 9, 0, 0}) : start_(start) {}
    DateTime now() const override;
    double secondsSinceMidnight() const override;
    std::int64_t monotonicMs() const override { return ms_; }
    void sleep(int ms) override { ms_ += ms > 0 ? ms : 0; }
    void onDoEvents() override { ms_ += quantum; }
    // Returns at once, as a fake clock never waits, unless a test stands in for the blocking.
    void waitReadable(int fd, int ms) override {
        if (onWait) onWait(fd, ms);
    }
    // Sees every wait asked for; a test that moves the clock here plays a blocking one.
    std::function<void(int fd, int ms)> onWait;

    void advance(std::int64_t ms) { ms_ += ms; }
    void set(DateTime t) {
        start_ = t;
        wallOffset_ = ms_;
    }
    int quantum = 10;

private:
    DateTime start_;
    std::int64_t ms_ = 0;
    std::int64_t wallOffset_ = 0;
};

// The host of windows tested on their own, without a station: a fake clock, its event loop,
// and a count of the windows unloaded.
class FormHostFake final : public FormHost {
public:
    EventLoop& loop() override { return loop_; }
    void formUnloaded(Form&) override { ++unloaded; }
    FakeClock clock;
    EventLoop loop_{clock};
    int unloaded = 0;
};

// Message and input boxes answered from a script; each box must be the one expected, with its
// text, style (buttons and icon) and title.
class ScriptedDialogs final : public Dialogs {
public:
    struct Box {
        std::string text;
        int style = 0;
        std::string title;
        int answer = mb::OK;
        std::string input;  // the answer of an input box
        bool isInput = false;
        bool prefix = false;  // the text only has to begin with 'text'
    };
    void expectMsg(std::string text, int style, std::string title, int answer = mb::OK);
    // For a text that ends with a system's own reason.
    void expectMsgStartingWith(std::string text, int style, std::string title);
    void expectInput(std::string prompt, std::string title, std::string answer);
    // A hook run when a box is shown, before it is answered (to look at the screen behind it).
    std::function<void(const Box&)> onShow;

    int msgBox(const std::string& text, int style, const std::string& title) override;
    std::string inputBox(const std::string& prompt, const std::string& title, const std::string& initial) override;
    void beep() override { ++beeps; }
    void setBusyPointer(bool b) override { busy = b; }

    // Every box is answered at once (OK, an empty input) without being scripted: for the fuzz
    // targets, where any box may come.
    bool unscripted = false;
    // Every box shown so far, in order.
    std::vector<Box> shown;
    int beeps = 0;
    bool busy = false;
    bool allAnswered() const { return script_.empty(); }

private:
    std::deque<Box> script_;
};

// A serial line without a port: which port numbers open is set by the test; what the line
// receives is scheduled by the test (at once or after a delay on the clock), typically from
// onWrite, which sees every write.
class FakeSerialLine final : public SerialLine {
public:
    explicit FakeSerialLine(const Clock& clock) : clock_(clock) {}
    void open(int port) override;
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    int port() const override { return port_; }
    std::string readAvailable() override;
    void write(const std::string& bytes) override;

    // Bytes that arrive 'afterMs' from now.
    void deliver(std::string bytes, std::int64_t afterMs = 0);
    // When the next bytes arrive, if any are on their way.
    std::optional<std::int64_t> nextArrival() const;
    int descriptor() const override { return open_ ? fd : -1; }
    int fd = -1;  // the descriptor it says it has while open

    std::set<int> openable{1};
    std::function<void(const std::string&)> onWrite;
    std::vector<std::string> writes;  // each write, in order
    // The command texts of the frames written so far (framing removed), emptying the list.
    std::vector<std::string> takeTexts();

private:
    const Clock& clock_;
    std::vector<std::pair<std::int64_t, std::string>> incoming_;
    bool open_ = false;
    int port_ = 0;
};

// The command text of a frame as the station writes it: SOH, text, ENQ, checksum.
inline std::string commandText(const std::string& frame) {
    return frame.size() >= 3 ? frame.substr(1, frame.size() - 3) : "";
}

// I/O ports: writes are recorded; the line-status register reads 'lineStatus'.
class FakePortIO final : public PortIO {
public:
    void out(std::uint16_t port, std::uint8_t value) override { writes.push_back({port, value}); }
    std::uint8_t in(std::uint16_t port) override {
        reads.push_back(port);
        return lineStatus;
    }
    std::vector<std::pair<std::uint16_t, std::uint8_t>> writes;
    std::vector<std::uint16_t> reads;
    std::uint8_t lineStatus = 0x60;
};

// The line's settings as values a test sets, by default as the shipped settings file has them:
// port 1, the board at 300h and not fitted.
class FakeLineSettings final : public LineSettings {
public:
    bool SchedaInstallata() override { return scheda; }
    std::uint16_t IndirizzoScheda() override { return indirizzo; }
    int PortaSeriale() override { return porta; }
    bool scheda = false;
    std::uint16_t indirizzo = 0x300;
    int porta = 1;
};

// A reader line on the fakes alone, with no station; its port is open.
struct LineRig {
    LineRig() { serial.open(1); }
    FakeClock clock;
    EventLoop loop{clock};
    FakeSerialLine serial{clock};
    FakePortIO ports;
    FakeLineSettings settings;
    ReaderLine line{serial, ports, clock, loop, settings};
};

// Keeps every report handed to the front end.
class CapturingReports final : public ReportRenderer {
public:
    void render(const ReportData& data) override { rendered.push_back(data); }
    std::vector<ReportData> rendered;
};

// A temporary folder removed at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// A station on a fresh site folder built from the shipped template, with every window
// registered and the fakes above in place of the machine.
class Station {
public:
    Station();
    ~Station();
    App& app() { return *app_; }
    // Writes one key of the site's settings file before start-up.
    void setting(const std::string& key, const std::string& value);
    void removeSetting(const std::string& key);
    // Runs a statement on the site database.
    void sql(const std::string& statement);
    // Starts the program: loads the main window.
    Form& start();
    // The program ended (as by a kill: nothing is saved on the way out) and started again on the
    // same site and the same fakes.
    Form& restart();

    TempDir site;
    FakeClock clock;
    EventLoop loop{clock};
    ScriptedDialogs dialogs;
    FakeSerialLine serial{clock};
    FakePortIO ports;
    CapturingReports reports;

private:
    std::unique_ptr<App> app_;
};

// A control of a window found by their names, as the front end finds it; the first touch loads
// the window (hidden). Throws std::logic_error when the window has no such control.
template <class C>
C& control(App& app, const std::string& formName, const std::string& controlName, int index = -1) {
    Control* c = app.form(formName).control(controlName, index);
    if (!c) throw std::logic_error("no control " + controlName + " on " + formName);
    return dynamic_cast<C&>(*c);
}

}  // namespace vc::test
