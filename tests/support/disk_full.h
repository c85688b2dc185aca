#pragma once
// A full disk under one folder: while one lives, every write of the test binary (the program's own
// and the database's) to a file under that folder fails with ENOSPC and writes nothing. Opening,
// reading and creating files still work, as on a real full disk.

#include <string>

namespace vc::test {

class DiskFull {
public:
    explicit DiskFull(const std::string& folder);
    ~DiskFull();
    DiskFull(const DiskFull&) = delete;
    DiskFull& operator=(const DiskFull&) = delete;
};

}  // namespace vc::test
