#include "platform/port_io.h"

#include <bitset>

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define VC_HAS_PORT_IO 1
#endif

namespace vc {

namespace {

class NoPortIO final : public PortIO {
public:
    void out(std::uint16_t, std::uint8_t) override {}
    std::uint8_t in(std::uint16_t) override { return 0x60; }
};

#ifdef VC_HAS_PORT_IO
class DirectPortIO final : public PortIO {
public:
    void out(std::uint16_t port, std::uint8_t value) override {
        if (allowed(port)) outb(value, port);
    }
    std::uint8_t in(std::uint16_t port) override { return allowed(port) ? inb(port) : 0x60; }

private:
    // Permission is asked per port, the first time it is used.
    bool allowed(std::uint16_t port) {
        if (port >= asked_.size()) return false;
        if (!asked_[port]) {
            asked_[port] = true;
            granted_[port] = ioperm(port, 1, 1) == 0;
        }
        return granted_[port];
    }
    std::bitset<0x400> asked_, granted_;
};
#endif

}  // namespace

std::unique_ptr<PortIO> makePortIO() {
#ifdef VC_HAS_PORT_IO
    return std::make_unique<DirectPortIO>();
#else
    return std::make_unique<NoPortIO>();
#endif
}

}  // namespace vc
