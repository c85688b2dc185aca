#include "support/fifo_watch.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace vc::test {

namespace {
constexpr unsigned HangGuardSeconds = 30;
}

FifoWatch::FifoWatch(std::vector<std::string> paths) : paths_(std::move(paths)) {
    inotify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    EXPECT_GE(inotify_, 0);
    for (const std::string& p : paths_) {
        EXPECT_EQ(::mkfifo(p.c_str(), 0666), 0) << p;
        watches_.push_back(::inotify_add_watch(inotify_, p.c_str(), IN_OPEN));
        EXPECT_GE(watches_.back(), 0) << p;
    }
    ::alarm(HangGuardSeconds);
}

FifoWatch::~FifoWatch() {
    ::alarm(0);
    ::close(inotify_);
}

std::vector<std::string> FifoWatch::opened() {
    std::vector<std::string> names;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(inotify_, buffer, sizeof buffer);
        if (n <= 0) break;
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
            const auto w = std::find(watches_.begin(), watches_.end(), e->wd);
            if (w != watches_.end()) {
                const std::string& name = paths_[static_cast<std::size_t>(w - watches_.begin())];
                if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
            }
            at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
        }
    }
    return names;
}

}  // namespace vc::test
