#include "platform/profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/fakes.h"
#include "support/fsync_spy.h"

namespace vc::profile {
namespace {

namespace fs = std::filesystem;

class Profile : public ::testing::Test {
protected:
    std::string file(const std::string& content) {
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    std::string content() const {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::string get(const std::string& section, const std::string& key, const std::string& def = "-") const {
        return read(section, key, def, 100, path);
    }

    test::TempDir dir;
    std::string path = dir.file("Accessi.ini");
};

TEST_F(Profile, NamesCompareWithoutCaseOrBlanksAround) {
    file("[Impostazioni]\r\n  Polling = 500 \r\nPorta=2\n[ Altra ]\nPOLLING=9\r\n");
    EXPECT_EQ(get("IMPOSTAZIONI", "polling"), "500");
    EXPECT_EQ(get(" impostazioni ", "PORTA "), "2");
    EXPECT_EQ(get("altra", "Polling"), "9");
}

TEST_F(Profile, ValueIsTrimmedAndUnquoted) {
    file("[S]\r\nA=\"  due  parole \"\r\nB=\"aperta\r\nC=\t x y \t\r\nD=\r\nE=a=b\r\n;F=commento\r\n");
    EXPECT_EQ(get("S", "A"), "  due  parole ");
    EXPECT_EQ(get("S", "B"), "\"aperta");
    EXPECT_EQ(get("S", "C"), "x y");
    EXPECT_EQ(get("S", "D"), "");
    EXPECT_EQ(get("S", "E"), "a=b");
    EXPECT_EQ(get("S", ";F"), "-");
}

TEST_F(Profile, BufferGetsAtMostSizeLessOneCharactersAndKeepsItsTail) {
    file("[S]\r\nLunga=0123456789ABC\r\nCorta=ab\r\n");
    std::string buffer(10, ' ');
    EXPECT_EQ(getString("S", "Lunga", "", buffer, path), 9u);
    EXPECT_EQ(buffer, std::string("012345678\0", 10));

    buffer.assign(10, ' ');
    EXPECT_EQ(getString("S", "Corta", "", buffer, path), 2u);
    EXPECT_EQ(buffer, std::string("ab\0       ", 10));

    EXPECT_EQ(read("S", "Lunga", "", 5, path), "0123");
}

TEST_F(Profile, MissingFileSectionOrKeyGivesTheDefault) {
    const std::string missing = dir.file("nessuno.ini");
    file("[S]\r\nK=v\r\n[T]\r\n");
    struct Case {
        const char* section;
        const char* key;
        std::string file;
    };
    const Case cases[] = {{"S", "K", missing}, {"X", "K", path}, {"T", "K", path}, {"S", "J", path}};
    for (const auto& c : cases) {
        std::string buffer(8, ' ');
        EXPECT_EQ(getString(c.section, c.key, "def", buffer, c.file), 3u) << c.section << c.key << c.file;
        EXPECT_EQ(buffer, std::string("def\0    ", 8)) << c.section << c.key << c.file;
    }
}

TEST_F(Profile, ReplacingAValueKeepsEveryOtherLineByteForByte) {
    const std::string before = "; impostazioni della stazione\r\n[Impostazioni]\r\nIndirizzo=2F8\r\n"
                               "polling = 500\n  ; tempo in ms\r\nRitardo=3\r\n\r\n[Altro]\nPolling=1\r\n";
    file(before);
    ASSERT_TRUE(writeString("impostazioni", "Polling", "750", path));
    EXPECT_EQ(content(), "; impostazioni della stazione\r\n[Impostazioni]\r\nIndirizzo=2F8\r\n"
                         "Polling=750\n  ; tempo in ms\r\nRitardo=3\r\n\r\n[Altro]\nPolling=1\r\n");
    EXPECT_EQ(get("Altro", "Polling"), "1");
}

TEST_F(Profile, ANewKeyGoesAtTheEndOfItsSection) {
    struct Case {
        const char* name;
        std::string before;
        std::string after;
    };
    const Case cases[] = {
        {"before the blank lines", "[S]\r\nA=1\r\n\r\n\r\n[T]\r\nB=2\r\n",
         "[S]\r\nA=1\r\nK=v\r\n\r\n\r\n[T]\r\nB=2\r\n"},
        {"after a last line without ending", "[S]\nA=1", "[S]\nA=1\r\nK=v\r\n"},
        {"right after an empty section", "[S]\n[T]\n", "[S]\nK=v\r\n[T]\n"},
    };
    for (const auto& c : cases) {
        file(c.before);
        ASSERT_TRUE(writeString("S", "K", "v", path)) << c.name;
        EXPECT_EQ(content(), c.after) << c.name;
    }
}

TEST_F(Profile, WriteCreatesTheFileAndTheSection) {
    ASSERT_TRUE(writeString("Password", "Psw", "x y", path));
    EXPECT_EQ(content(), "[Password]\r\nPsw=x y\r\n");
    ASSERT_TRUE(writeString("Impostazioni", "Porta", "1", path));
    EXPECT_EQ(content(), "[Password]\r\nPsw=x y\r\n[Impostazioni]\r\nPorta=1\r\n");

    file("; solo un commento");
    ASSERT_TRUE(writeString("S", "K", "v", path));
    EXPECT_EQ(content(), "; solo un commento\r\n[S]\r\nK=v\r\n");
}

TEST_F(Profile, WriteKeepsTheFileModeAndLeavesNoTemporaryFile) {
    file("[S]\r\nK=1\r\n");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(writeString("S", "K", "2", path));
    EXPECT_EQ(fs::status(path).permissions(), fs::perms(0640));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

// The temporary file was once named after the process: a link planted under that name in a
// writable site folder was followed and the file it named overwritten.
TEST_F(Profile, ARewriteFollowsNoPlantedLinkAndIsOnTheDiskWhenItReturns) {
    const std::string vittima = dir.file("vittima");
    std::ofstream(vittima, std::ios::binary) << "intatto";
    file("[S]\r\nK=1\r\n");
    fs::create_symlink(vittima, path + "." + std::to_string(::getpid()) + ".tmp");
    const test::FsyncSpy spia;
    ASSERT_TRUE(writeString("S", "K", "2", path, 0600));
    EXPECT_EQ(content(), "[S]\r\nK=2\r\n");
    EXPECT_FALSE(fs::is_symlink(path));
    EXPECT_EQ(fs::status(path).permissions(), fs::perms(0600));
    std::ifstream v(vittima, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(v), {}), "intatto");
    // The new text, then the folder entry that names it.
    ASSERT_EQ(spia.synced().size(), 2u);
    EXPECT_EQ(fs::path(spia.synced()[0]).parent_path(), fs::canonical(dir.path()));
    EXPECT_TRUE(spia.wasSynced(dir.path()));
}

TEST_F(Profile, WriteFailsWhereTheFileCannotBeWritten) {
    EXPECT_FALSE(writeString("S", "K", "v", dir.file("manca/Accessi.ini")));
    fs::create_directory(dir.file("cartella"));
    EXPECT_FALSE(writeString("S", "K", "v", dir.file("cartella")));
    EXPECT_TRUE(fs::is_directory(dir.file("cartella")));
}

TEST_F(Profile, AReadOnlyFileIsNotReplaced) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes any file";
    file("[S]\r\nK=1\r\n");
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    EXPECT_FALSE(writeString("S", "K", "2", path));
    EXPECT_EQ(content(), "[S]\r\nK=1\r\n");
}

}  // namespace
}  // namespace vc::profile
