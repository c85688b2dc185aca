#include "support/disk_full.h"

#include <dlfcn.h>
#include <errno.h>
#include <sys/types.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace vc::test {
namespace {
std::string* full = nullptr;  // the folder, canonical, with a trailing slash

bool refused(int fd) {
    if (!full) return false;
    std::error_code ec;
    const auto p = std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), ec);
    if (ec || p.string().rfind(*full, 0) != 0) return false;
    errno = ENOSPC;
    return true;
}

}  // namespace

template <class F>
F real(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

DiskFull::DiskFull(const std::string& folder) {
    full = new std::string(std::filesystem::canonical(folder).string() + "/");
}
DiskFull::~DiskFull() {
    delete full;
    full = nullptr;
}

}  // namespace vc::test

// Defined in the test binary, these take the place of the C library's for every caller in it.
extern "C" ssize_t write(int fd, const void* buf, size_t n) {
    static const auto next = vc::test::real<ssize_t (*)(int, const void*, size_t)>("write");
    return vc::test::refused(fd) ? -1 : next(fd, buf, n);
}
extern "C" ssize_t pwrite(int fd, const void* buf, size_t n, off_t at) {
    static const auto next = vc::test::real<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite");
    return vc::test::refused(fd) ? -1 : next(fd, buf, n, at);
}
extern "C" ssize_t pwrite64(int fd, const void* buf, size_t n, off64_t at) {
    static const auto next = vc::test::real<ssize_t (*)(int, const void*, size_t, off64_t)>("pwrite64");
    return vc::test::refused(fd) ? -1 : next(fd, buf, n, at);
}
