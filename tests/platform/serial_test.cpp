#include "platform/serial.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

#include "support/fakes.h"

namespace vc {
namespace {

// Sets an environment variable for one test.
class ScopedEnv {
public:
    ScopedEnv(std::string name, const std::string& value) : name_(std::move(name)) {
        ::setenv(name_.c_str(), value.c_str(), 1);
    }
    ~ScopedEnv() { ::unsetenv(name_.c_str()); }

private:
    std::string name_;
};

TEST(SerialDevicePath, PortNumberToDevice) {
    ::unsetenv("VARCANTO_COM1");
    EXPECT_EQ(serialDevicePath(1), "/dev/ttyS0");
    EXPECT_EQ(serialDevicePath(4), "/dev/ttyS3");
    EXPECT_EQ(serialDevicePath(0), "");
    EXPECT_EQ(serialDevicePath(-1), "");
    {
        ScopedEnv env("VARCANTO_COM1", "/dev/ttyUSB0");
        EXPECT_EQ(serialDevicePath(1), "/dev/ttyUSB0");
        EXPECT_EQ(serialDevicePath(2), "/dev/ttyS1");
    }
    ScopedEnv empty("VARCANTO_COM1", "");
    EXPECT_EQ(serialDevicePath(1), "/dev/ttyS0");
}

// Port 7 on the slave side of a pseudo-terminal; the test plays the reader on the master side.
class SerialOnPty : public ::testing::Test {
protected:
    void SetUp() override {
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master, 0);
        ASSERT_EQ(::grantpt(master), 0);
        ASSERT_EQ(::unlockpt(master), 0);
        slavePath = ::ptsname(master);
        env = std::make_unique<ScopedEnv>("VARCANTO_COM7", slavePath);
        line->open(7);
    }
    void TearDown() override {
        line.reset();
        if (master >= 0) ::close(master);
    }

    // Reads from the line until 'n' bytes came, waiting on a second descriptor of the slave
    // (poll does not take the bytes away); bounded, so a lost byte fails instead of hanging.
    std::string readFromLine(std::size_t n) {
        const int watch = ::open(slavePath.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
        std::string got;
        for (int tries = 0; got.size() < n && tries < 50; ++tries) {
            pollfd p{watch, POLLIN, 0};
            ::poll(&p, 1, 100);
            got += line->readAvailable();
        }
        ::close(watch);
        return got;
    }

    std::string readFromMaster(std::size_t n) {
        std::string got;
        char chunk[256];
        for (int tries = 0; got.size() < n && tries < 50; ++tries) {
            pollfd p{master, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) continue;
            const ssize_t r = ::read(master, chunk, sizeof chunk);
            if (r > 0) got.append(chunk, static_cast<std::size_t>(r));
        }
        return got;
    }

    int master = -1;
    std::string slavePath;
    std::unique_ptr<ScopedEnv> env;
    std::unique_ptr<SerialLine> line = makeSerialLine();
};

// Bytes the line discipline would eat or change unless the line is raw: CR, LF, ^C, XON/XOFF,
// NUL, DEL and the data-position bytes above 127.
const std::string kAwkwardBytes("\x02\r\n\x03\x11\x13\x00\x7F\x80\xE3\xFF" "fine", 15);

TEST_F(SerialOnPty, OpensAtTheRightSettings) {
    EXPECT_TRUE(line->isOpen());
    EXPECT_EQ(line->port(), 7);
    const int fd = ::open(slavePath.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    termios tio{};
    ASSERT_EQ(::tcgetattr(fd, &tio), 0);
    ::close(fd);
    EXPECT_EQ(::cfgetispeed(&tio), static_cast<speed_t>(B4800));
    EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B4800));
    EXPECT_EQ(tio.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS | CLOCAL | CREAD),
              static_cast<tcflag_t>(CS8 | CLOCAL | CREAD));
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL), 0u);
}

TEST_F(SerialOnPty, ReadsWhatTheReaderSentWithoutWaiting) {
    EXPECT_EQ(line->readAvailable(), "");
    ASSERT_EQ(::write(master, kAwkwardBytes.data(), kAwkwardBytes.size()),
              static_cast<ssize_t>(kAwkwardBytes.size()));
    EXPECT_EQ(readFromLine(kAwkwardBytes.size()), kAwkwardBytes);
    EXPECT_EQ(line->readAvailable(), "");
}

TEST_F(SerialOnPty, ReadsMoreThanOneChunk) {
    std::string big;
    for (int i = 0; i < 2000; ++i) big += static_cast<char>('A' + i % 26);
    ASSERT_EQ(::write(master, big.data(), big.size()), static_cast<ssize_t>(big.size()));
    EXPECT_EQ(readFromLine(big.size()), big);
}

TEST_F(SerialOnPty, WritesEveryByteAsItIs) {
    line->write(kAwkwardBytes);
    EXPECT_EQ(readFromMaster(kAwkwardBytes.size()), kAwkwardBytes);
}

TEST_F(SerialOnPty, ClosedLineReadsNothingAndRefusesWrites) {
    line->close();
    EXPECT_FALSE(line->isOpen());
    EXPECT_EQ(line->readAvailable(), "");
    EXPECT_THROW(line->write("x"), std::runtime_error);
    line->open(7);
    EXPECT_TRUE(line->isOpen());
}

TEST_F(SerialOnPty, FarEndGoneReadsAsSilence) {
    ::close(master);
    master = -1;
    EXPECT_EQ(line->readAvailable(), "");
}

TEST(SerialLine, PortsThatCannotBeOpenedThrow) {
    test::TempDir dir;
    const std::string plainFile = dir.file("non_una_porta");
    FILE* f = std::fopen(plainFile.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    ScopedEnv missing("VARCANTO_COM8", dir.file("ttyUSB9"));
    ScopedEnv notTty("VARCANTO_COM9", plainFile);

    auto line = makeSerialLine();
    for (int port : {0, -3, 8, 9}) {
        EXPECT_THROW(line->open(port), std::runtime_error) << port;
        EXPECT_FALSE(line->isOpen()) << port;
    }
    try {
        line->open(8);
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("No such file"), std::string::npos) << e.what();
    }
}

}  // namespace
}  // namespace vc
