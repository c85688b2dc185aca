#pragma once
// Byte reads and writes of x86 I/O ports: the multi-loop board's loop and direction register and
// the UART's line-status register.

#include <cstdint>
#include <memory>

namespace vc {

class PortIO {
public:
    virtual ~PortIO() = default;
    virtual void out(std::uint16_t port, std::uint8_t value) = 0;
    virtual std::uint8_t in(std::uint16_t port) = 0;
};

// Direct port access where the machine allows it (x86, with the permission to ask for it).
// Elsewhere writes go nowhere and reads give 0x60, "transmitter empty", so nothing waits on a
// register that is not there.
std::unique_ptr<PortIO> makePortIO();

}  // namespace vc
