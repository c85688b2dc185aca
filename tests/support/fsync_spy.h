#pragma once
// Records what the program forces to disk: while a spy lives, every fsync() of the test binary
// (the program's own and the database's) is noted by the path of what it synced, a file or a
// folder. What a write leaves only in the page cache survives a killed process but not a power cut,
// so a crash test cannot see it; this can.

#include <string>
#include <vector>

namespace vc::test {

class FsyncSpy {
public:
    FsyncSpy();
    ~FsyncSpy();
    FsyncSpy(const FsyncSpy&) = delete;
    FsyncSpy& operator=(const FsyncSpy&) = delete;

    // The paths synced so far, oldest first (a file's path as it was when synced).
    const std::vector<std::string>& synced() const { return synced_; }
    bool wasSynced(const std::string& path) const;

private:
    std::vector<std::string> synced_;
};

}  // namespace vc::test
