// The password file: any content is read as the login reads it without fault, and decoded or
// refused with the program's end; a password the window accepts, written into that file, reads
// back and decodes to itself.
//
// Input: a chunk of the password (UTF-8), then the file's content.

#include "fuzz/fuzz.h"
#include "password/password_file.h"
#include "platform/cp1252.h"
#include "platform/profile.h"

namespace vc::fuzz {

std::vector<std::string> Seeds() {
    // The passwords of the window's and the login's tests, over the shipped file and broken ones.
    const std::string shipped = readFile(std::string(VARCANTO_SITE_TEMPLATE) + "/pswaccessi.txt");
    std::vector<std::string> seeds;
    for (const char* password : {"abc", "", "Abcdefghijklmnop", "segreta", "\xE2\x82\xAC", "\xC3\xBF",
                                 "abcdefghijklmn\xC3\xB0", "ab\xE4\xB8\xAD", "\t"})
        for (const std::string& file : {shipped,
                                        std::string("[Varcanto]\r\nFile=\xB0\xB0\xB0" "bdf" "\xA7\xA7\xA7\r\n"),
                                        std::string("[Varcanto]\r\nFile=\xB0\xB0\xB0" "\x01" "\xA7\xA7\xA7\r\n"),
                                        std::string("[Varcanto]\r\nFile=abc\r\n"), std::string()})
            seeds.push_back(Seed().chunk(password).rest(file));
    return seeds;
}

namespace {

// The stored value decoded as at the login, or nothing when the login ends the program.
std::optional<std::string> Decodifica(App& app, const std::string& valore) {
    try {
        return DecodificaPassword(app, valore);
    } catch (const ProgramEnd&) {
        return std::nullopt;
    }
}

// What the window accepts: at most 16 characters, each in the code page, none raised to a line end.
std::optional<std::string> Accettata(const std::string& password) {
    bool lossy = false;
    if (cp1252::fromUtf8(password, &lossy).size() > 16 || lossy) return std::nullopt;
    const auto valore = CodificaPassword(password);
    if (!valore || valore->find_first_of("\r\n") != std::string::npos) return std::nullopt;
    return valore;
}

}  // namespace

}  // namespace vc::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vc;
    test::Station& s = fuzz::station();
    const std::string file = s.site.file("pswaccessi.txt");
    fuzz::Input in(data, size);
    const std::string password = in.chunk();
    fuzz::writeFile(file, in.rest());

    const std::string letto = LeggiPassword(file);
    fuzz::check(letto.size() <= 22 && letto.find('\0') == std::string::npos, "the login reads at most 22 characters");
    fuzz::Decodifica(s.app(), letto);

    const auto valore = fuzz::Accettata(password);
    if (!valore) return 0;
    fuzz::check(profile::writeString(SezionePassword, ChiavePassword, *valore, file), "the password file is written");
    fuzz::check(LeggiPassword(file) == *valore, "a stored password reads back");
    fuzz::check(fuzz::Decodifica(s.app(), *valore) == password, "a stored password decodes to itself");
    return 0;
}
