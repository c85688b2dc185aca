#pragma once
// Shared by the fuzz targets (one libFuzzer target per *_fuzz.cpp; scripts/fuzz runs them).
//
// Each target defines LLVMFuzzerTestOneInput and Seeds(): its inputs built from the tests' cases.
// Run with VARCANTO_FUZZ_SEEDS=<folder>, a target writes those seeds there and exits, so the
// corpus starts from cases the tests know, kept in one place with the code that reads them.
//
// Inputs are read with Input and seeds written with Seed, in the same layout: single bytes and
// chunks (a length byte, then that many bytes; a short input gives what is left).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "support/fakes.h"

namespace vc::fuzz {

// The target's seeds.
std::vector<std::string> Seeds();

// A property that does not hold stops the run at once, naming the property; libFuzzer keeps the input.
void check(bool holds, const char* property);

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::string chunk();
    std::string rest();
    bool empty() const { return at_ >= size_; }

private:
    const std::uint8_t* data_;
    std::size_t size_, at_ = 0;
};

class Seed {
public:
    Seed& byte(std::uint8_t b);
    Seed& chunk(const std::string& bytes);  // at most 255 bytes
    Seed& rest(const std::string& bytes);
    operator std::string() const { return text_; }

private:
    std::string text_;
};

// A station on its own site folder for the whole run, made on the first call: 'prepare' runs
// before the main window loads. Every message box is answered OK, and forgotten at the next call.
test::Station& station(const std::function<void(test::Station&)>& prepare = {});

// A file of the station's site folder written whole.
void writeFile(const std::string& path, const std::string& content);
std::string readFile(const std::string& path);

}  // namespace vc::fuzz
