#include "platform/safe_file.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "support/fakes.h"

namespace vc::safe_file {
namespace {

namespace fs = std::filesystem;

std::string contenuto(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The history file and the card archive were appended through whatever stood under their name:
// a link planted in a writable site folder had the program write where it pointed.
TEST(SafeFile, AppendWritesOnlyToARegularFileUnderItsOwnName) {
    struct Caso {
        const char* nome;
        std::function<void(const std::string& file, const std::string& altrove)> pianta;
    } casi[] = {
        {"link to a file", [](auto& f, auto& a) { std::ofstream(a) << "altro"; fs::create_symlink(a, f); }},
        {"link to nothing", [](auto& f, auto& a) { fs::create_symlink(a, f); }},
        {"pipe", [](auto& f, auto&) { ASSERT_EQ(::mkfifo(f.c_str(), 0600), 0); }},
        {"folder", [](auto& f, auto&) { fs::create_directory(f); }},
    };
    for (const Caso& c : casi) {
        SCOPED_TRACE(c.nome);
        test::TempDir dir;
        const std::string file = dir.file("Storico.txt"), altrove = dir.file("altrove");
        c.pianta(file, altrove);
        EXPECT_FALSE(append(file, "riga\r\n"));
        EXPECT_TRUE(!fs::exists(altrove) || contenuto(altrove) == "altro");
    }
    test::TempDir dir;
    const std::string file = dir.file("Storico.txt");
    EXPECT_TRUE(append(file, "uno\r\n", 0600));
    EXPECT_TRUE(append(file, "due\r\n"));
    EXPECT_EQ(contenuto(file), "uno\r\ndue\r\n");
    EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

}  // namespace
}  // namespace vc::safe_file
