#pragma once
// Pipes planted under the names of site files, watched for any open. A program that opened one to
// read it would wait for a writer forever: the alarm ends such a test (and its binary) instead of
// leaving it hanging.

#include <string>
#include <vector>

namespace vc::test {

class FifoWatch {
public:
    explicit FifoWatch(std::vector<std::string> paths);
    ~FifoWatch();
    FifoWatch(const FifoWatch&) = delete;
    FifoWatch& operator=(const FifoWatch&) = delete;

    // The pipes opened by anyone since they were planted.
    std::vector<std::string> opened();

private:
    std::vector<std::string> paths_;
    std::vector<int> watches_;
    int inotify_ = -1;
};

}  // namespace vc::test
