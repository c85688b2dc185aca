#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "common/archivio_carte.h"
#include "support/fakes.h"

namespace vc {
namespace {

using namespace std::string_literals;

// An appended record lands on a line of its own however the archive ended, and the lines that
// were there are read as before.
TEST(ArchivioCarte, AnAppendedRecordHasALineOfItsOwnWhateverTheLastByte) {
    struct Caso {
        std::string prima, dopo;
    } casi[] = {
        {"", "\"042A1B2C3\"\r\n"},
        {"\"001ZZZZZZ\"\r\n", "\"001ZZZZZZ\"\r\n\"042A1B2C3\"\r\n"},
        {"\"001ZZZZZZ\"", "\"001ZZZZZZ\"\r\n\"042A1B2C3\"\r\n"},
        {"\"001ZZZZZZ\"\r", "\"001ZZZZZZ\"\r\n\"042A1B2C3\"\r\n"},
        {"\"001ZZZZZZ\"\n", "\"001ZZZZZZ\"\n\"042A1B2C3\"\r\n"},
        {"\"001ZZZZZZ\"\r\nx\0"s, "\"001ZZZZZZ\"\r\nx\0\r\n\"042A1B2C3\"\r\n"s},  // a NUL is not an empty file
        {"\0"s, "\0\r\n\"042A1B2C3\"\r\n"s},
    };
    test::TempDir d;
    const std::string file = d.file("ARCHIVIO.txt");
    for (const auto& c : casi) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << c.prima;
        ASSERT_TRUE(AccodaRecord(file, "042A1B2C3"));
        std::ifstream in(file, std::ios::binary);
        std::ostringstream letto;
        letto << in.rdbuf();
        EXPECT_EQ(letto.str(), c.dopo) << "after " << testing::PrintToString(c.prima);
    }
}

}  // namespace
}  // namespace vc
