#pragma once
// The line the random operator's station talks on: the multi-loop board and the serial line,
// both ending in the simulated readers. The line sees every frame written, with the loop the
// board selected for it, and checks that exchanges never nest.

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/port_io.h"
#include "platform/serial.h"
#include "reader_sim/reader_sim.h"

namespace vc::operatore {

// The multi-loop board: the loop it selects is the one the simulated readers hear on. After a
// frame its transmitter is sometimes still busy for a few reads of the line-status register, so
// the station's wait for it to empty yields.
class SimBoard final : public PortIO {
public:
    explicit SimBoard(sim::Simulator& sim) : sim_(sim) {}
    void out(std::uint16_t, std::uint8_t v) override {
        if (v & 8) {
            loop_ = (v & 7) + 1;
            sim_.setLoop(loop_);
        }
        // Only the turn to transmit selects the loop for the next frame: the turn to receive
        // after a frame does not.
        if (v & 16) selected_ = true;
    }
    std::uint8_t in(std::uint16_t) override {
        if (busyFor_ > 0) {
            --busyFor_;
            ++busyReads;
            return 0x00;
        }
        return 0x60;
    }
    // Before each frame: the loop that hears it, 0 for all of them (no board selected one).
    int frameSent(int busyAfter) {
        const int heard = selected_ ? loop_ : 0;
        if (!selected_) sim_.setLoop(0);
        selected_ = false;
        busyFor_ = busyAfter;
        return heard;
    }
    void reset() { selected_ = false, busyFor_ = 0; }

    long busyReads = 0;  // reads that found the transmitter busy

private:
    sim::Simulator& sim_;
    bool selected_ = false;
    int loop_ = 0;
    int busyFor_ = 0;
};

// A frame as the station wrote it.
struct Frame {
    int loop;          // the loop the board selected, 0 for every loop
    std::string text;  // between SOH and ENQ
};

// The simulated readers on the serial line, and the check that exchanges never nest: each one
// flushes, writes, then reads at one depth of the event loop until its reply is whole. A write
// made deeper while a shallower exchange is still reading means two exchanges wait at once.
class SimLine final : public SerialLine {
public:
    SimLine(const Clock& clock, sim::Simulator& sim, SimBoard& board) : clock_(clock), sim_(sim), board_(board) {}
    void open(int port) override {
        if (port != 1) throw std::runtime_error("no such port");
        open_ = true;
        port_ = port;
    }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    int port() const override { return port_; }
    std::string readAvailable() override {
        watch(false);
        std::string bytes = sim_.take(clock_.monotonicMs());
        if (onRead) onRead(bytes);
        return bytes;
    }
    void write(const std::string& bytes) override {
        watch(true);
        ++frames;
        const int loop = board_.frameSent(busyReads ? busyReads() : 0);
        const auto enq = bytes.find('\x05');
        if (onFrame) onFrame({loop, bytes.substr(1, enq == std::string::npos ? std::string::npos : enq - 1)});
        sim_.receive(bytes, clock_.monotonicMs());
    }
    void reset() {
        open_ = false;
        written_.clear();
        mustWriteAt_ = -1;
    }

    std::function<int()> depth;
    std::function<void(const std::string&)> fault;
    std::function<void(const Frame&)> onFrame;
    std::function<void(const std::string&)> onRead;  // every read, what it gave
    std::function<int()> busyReads;  // how long the board's transmitter stays busy after a frame
    long frames = 0;

private:
    struct Written {
        int depth;
        bool overtaken;  // a deeper write came while this exchange may still be reading
    };
    void watch(bool isWrite) {
        const int d = depth();
        if (mustWriteAt_ >= 0) {
            // Only a new exchange's flush may follow an overtaken one's reads at its depth.
            if (!(isWrite && d == mustWriteAt_))
                fault("nested exchange: an exchange was still waiting for its reply when another was written");
            mustWriteAt_ = -1;
        }
        if (isWrite) {
            std::erase_if(written_, [d](const Written& w) { return w.depth >= d; });
            for (auto& w : written_) w.overtaken = true;
            written_.push_back({d, false});
        } else {
            std::erase_if(written_, [d](const Written& w) { return w.depth > d; });
            if (!written_.empty() && written_.back().depth == d && written_.back().overtaken) mustWriteAt_ = d;
        }
    }

    const Clock& clock_;
    sim::Simulator& sim_;
    SimBoard& board_;
    bool open_ = false;
    int port_ = 0;
    std::vector<Written> written_;
    int mustWriteAt_ = -1;
};

}  // namespace vc::operatore
