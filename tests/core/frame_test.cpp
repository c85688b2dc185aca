#include <gtest/gtest.h>

#include "core/link/frame.h"
#include "reader_sim/reader_sim.h"
#include "support/hex.h"

namespace vc {
namespace {

using test::hex;

TEST(Frame, FramesAndSendChecksums) {
    struct Caso {
        const char* testo;
        int checksum;
    } casi[] = {
        {"01000123D", 65},  // the poll of address 1, plant code 123
        {"AD", 2},          // raw 1 is raised
        {"A@", 6},          // raw 5 is raised
        {"AG", 2},          // raw 2 is not
    };
    for (const auto& c : casi) {
        const std::string atteso = std::string("\x01") + c.testo + "\x05" + std::string(1, static_cast<char>(c.checksum));
        EXPECT_EQ(hex(Incornicia(c.testo)), hex(atteso)) << c.testo;
    }
}

TEST(Frame, ReplyChecks) {
    // Raw checksum = 5 XOR every byte before ENQ; the bodies below give the raw values named.
    struct Caso {
        std::string risposta;
        bool valida;
        const char* perche;
    } casi[] = {
        {"\x01" "01S\x05" "\x03", false, "raw 0x56 needs 0x56"},
        {sim::replyFrame("01S"), true, "a well-formed reply"},
        {"\x01" "\x06\x05\x03", true, "raw 2 is accepted only as 3"},
        {"\x01" "\x06\x05\x02", false, "raw 2 sent unraised"},
        {"\x01" "\x04\x01\x05\x01", true, "raw 1 is accepted as 1"},
        {"\x01" "\x04\x01\x05\x02", false, "raw 1 raised is wrong"},
        {"\x01" "\x04\x05", true, "ENQ without checksum, raw 0"},
        {"\x01" "\x03\x05", false, "ENQ without checksum, raw not 0"},
        {"\x01" "01S", false, "no ENQ"},
        {"", false, "nothing"},
    };
    for (const auto& c : casi) EXPECT_EQ(RispostaValida(c.risposta), c.valida) << c.perche << ": " << hex(c.risposta);
}

TEST(Frame, EndOfReplySaysWhatComesNext) {
    using F = FineRisposta;
    struct Caso {
        std::string ricevuto;
        F fine;
        const char* perche;
    } casi[] = {
        {"", F::Attendi, "nothing yet"},
        {"\x01" "01S", F::Attendi, "no ENQ yet"},
        {"\x01" "\x04\x05", F::Attendi, "ENQ last: its checksum byte may still come"},
        {sim::replyFrame("01S"), F::Completa, "ENQ and a right checksum"},
        {"\x01" "01S\x05" "\x03", F::Errata, "ENQ and a wrong checksum"},
        {sim::replyFrame("01S") + "x", F::Attendi, "a byte past the checksum: only the time-out ends it"},
        {std::string(MassimaRisposta, 'g'), F::Attendi, "garbage up to the longest reply"},
        {std::string(MassimaRisposta + 1, 'g'), F::TroppoLunga, "garbage past it"},
    };
    for (const auto& c : casi)
        EXPECT_EQ(static_cast<int>(ControllaFine(c.ricevuto)), static_cast<int>(c.fine)) << c.perche << ": " << hex(c.ricevuto);
}

}  // namespace
}  // namespace vc
