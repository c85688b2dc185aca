#include "fuzz/fuzz.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

namespace vc::fuzz {

void check(bool holds, const char* property) {
    if (holds) return;
    std::fprintf(stderr, "property does not hold: %s\n", property);
    __builtin_trap();
}

std::string Input::chunk() {
    const std::size_t n = std::min<std::size_t>(byte(), size_ - at_);
    std::string out(reinterpret_cast<const char*>(data_ + at_), n);
    at_ += n;
    return out;
}

std::string Input::rest() {
    std::string out(reinterpret_cast<const char*>(data_ + at_), size_ - at_);
    at_ = size_;
    return out;
}

Seed& Seed::byte(std::uint8_t b) {
    text_ += static_cast<char>(b);
    return *this;
}

Seed& Seed::chunk(const std::string& bytes) {
    const std::string cut = bytes.substr(0, 255);
    byte(static_cast<std::uint8_t>(cut.size()));
    text_ += cut;
    return *this;
}

Seed& Seed::rest(const std::string& bytes) {
    text_ += bytes;
    return *this;
}

test::Station& station(const std::function<void(test::Station&)>& prepare) {
    static std::unique_ptr<test::Station> s;
    if (!s) {
        s = std::make_unique<test::Station>();
        s->dialogs.unscripted = true;
        if (prepare) prepare(*s);
        s->start();
    }
    s->dialogs.shown.clear();
    return *s;
}

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace vc::fuzz

// With VARCANTO_FUZZ_SEEDS set, writes the target's seeds into that folder and ends.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* folder = std::getenv("VARCANTO_FUZZ_SEEDS");
    if (!folder) return 0;
    int n = 0;
    for (const std::string& seed : vc::fuzz::Seeds())
        vc::fuzz::writeFile(std::string(folder) + "/seed-" + std::to_string(++n), seed);
    std::exit(0);
}
