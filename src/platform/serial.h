#pragma once
// The reader line: one serial port at 4800 8N1, raw. Reads never block.

#include <memory>
#include <string>

namespace vc {

class SerialLine {
public:
    virtual ~SerialLine() = default;
    // Opens port number n at 4800 8N1 raw; the device must be a terminal (a serial port or a
    // pseudo-terminal). Throws std::runtime_error with the system's reason.
    virtual void open(int port) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual int port() const = 0;
    // Whatever has arrived since the last call (possibly ""), without waiting. A read error
    // reads as silence.
    virtual std::string readAvailable() = 0;
    // The descriptor a wait for input can block on (Clock::waitReadable); -1 when the port is not
    // open or the line has none (a fake), and a waiter must then look again at every yield.
    virtual int descriptor() const { return -1; }
    // Writes every byte; throws std::runtime_error when the port is not open, fails, or has not
    // taken them within 2 s.
    virtual void write(const std::string& bytes) = 0;
};

// The device behind port number n: $VARCANTO_COMn when set and not empty, else /dev/ttyS(n-1);
// "" when n < 1.
std::string serialDevicePath(int port);

// The termios implementation.
std::unique_ptr<SerialLine> makeSerialLine();

}  // namespace vc
