#include "platform/serial.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace vc {
namespace {

// A reader line that stops taking bytes must not hang the program.
constexpr std::chrono::milliseconds kWriteLimit{2000};

std::runtime_error systemError(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

void configure(int fd, const std::string& path) {
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) throw systemError(path + " is not a serial line");
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CRTSCTS);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    ::cfsetispeed(&tio, B4800);
    ::cfsetospeed(&tio, B4800);
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) throw systemError(path + ": cannot set 4800 8N1");
}

class TermiosLine final : public SerialLine {
public:
    ~TermiosLine() override { close(); }

    void open(int n) override {
        close();
        const std::string path = serialDevicePath(n);
        if (path.empty()) throw std::runtime_error("serial port " + std::to_string(n) + " does not exist");
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) throw systemError("cannot open " + path);
        try {
            configure(fd, path);
        } catch (...) {
            ::close(fd);
            throw;
        }
        fd_ = fd;
        port_ = n;
    }

    void close() override {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

    bool isOpen() const override { return fd_ >= 0; }
    int port() const override { return port_; }
    int descriptor() const override { return fd_; }

    // A read error (an adapter pulled out, the far end of a pseudo-terminal gone) reads as
    // silence: the link then reports the reader as not answering.
    std::string readAvailable() override {
        std::string got;
        char chunk[512];
        while (fd_ >= 0) {
            const ssize_t n = ::read(fd_, chunk, sizeof chunk);
            if (n > 0) {
                got.append(chunk, static_cast<std::size_t>(n));
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else {
                break;
            }
        }
        return got;
    }

    void write(const std::string& bytes) override {
        if (fd_ < 0) throw std::runtime_error("serial port not open");
        const auto deadline = std::chrono::steady_clock::now() + kWriteLimit;
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
            if (n >= 0) {
                done += static_cast<std::size_t>(n);
            } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
                waitWritable(deadline);
            } else if (errno != EINTR) {
                throw systemError("serial port " + std::to_string(port_) + ": write failed");
            }
        }
    }

private:
    void waitWritable(std::chrono::steady_clock::time_point deadline) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{fd_, POLLOUT, 0};
        if (left.count() <= 0 || (::poll(&p, 1, static_cast<int>(left.count())) == 0))
            throw std::runtime_error("serial port " + std::to_string(port_) + ": write timed out");
    }

    int fd_ = -1;
    int port_ = 0;
};

}  // namespace

std::string serialDevicePath(int port) {
    if (port <= 0) return "";
    const std::string name = "VARCANTO_COM" + std::to_string(port);
    const char* device = std::getenv(name.c_str());
    if (device && *device) return device;
    return "/dev/ttyS" + std::to_string(port - 1);
}

std::unique_ptr<SerialLine> makeSerialLine() { return std::make_unique<TermiosLine>(); }

}  // namespace vc
