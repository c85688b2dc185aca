#include "support/fsync_spy.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>

namespace vc::test {
namespace {
std::vector<std::string>* spying = nullptr;

std::string pathOf(int fd) {
    std::error_code ec;
    const auto p = std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), ec);
    return ec ? std::string() : p.string();
}
}  // namespace

FsyncSpy::FsyncSpy() { spying = &synced_; }
FsyncSpy::~FsyncSpy() { spying = nullptr; }

bool FsyncSpy::wasSynced(const std::string& path) const {
    const std::string canonical = std::filesystem::weakly_canonical(path).string();
    return std::find(synced_.begin(), synced_.end(), canonical) != synced_.end();
}

}  // namespace vc::test

// Defined in the test binary, this fsync takes the place of the C library's for every caller in
// it, and hands the call on.
extern "C" int fsync(int fd) {
    using Fsync = int (*)(int);
    static const auto real = reinterpret_cast<Fsync>(dlsym(RTLD_NEXT, "fsync"));
    if (vc::test::spying) vc::test::spying->push_back(vc::test::pathOf(fd));
    return real(fd);
}
