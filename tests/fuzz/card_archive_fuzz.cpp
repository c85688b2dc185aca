// The card archive: any archive is read and searched without fault; a record appended to it is
// found by the poll engine's look-up, and every record that was there is still read as before.
//
// Input: a byte of the record number, a chunk of the card code, then the archive's content.

#include <sstream>

#include "common/archivio_carte.h"
#include "core/access/polling.h"
#include "fuzz/fuzz.h"
#include "platform/safe_file.h"

namespace vc::fuzz {

std::vector<std::string> Seeds() {
    // The archives of the look-up's and the utilities' tests, appended a valid and a broken code.
    std::vector<std::string> seeds;
    for (const char* archivio : {"\"001ZZZZZZ\"\r\n\"012A1B2C3\"\r\n", "xyzQQQQQQ\r\n\r\n\"012A1B2C3\"",
                                 "\"001ZZZZZZ\"\r", "\"001ZZZZZZ\"\n", "", "\"007AAAAAA\"\r\n   \r\n\"0x\"\r\n"})
        for (const char* codice : {"A1B2C3", "QQQQQQ", "ZZZZZZ", "AB\"C\r\n"})
            seeds.push_back(Seed().byte(42).chunk(codice).rest(archivio));
    return seeds;
}

namespace {

// The records of an archive's content, read line by line as both readers read them.
std::vector<std::string> Record(const std::string& contenuto) {
    std::vector<std::string> record;
    std::istringstream righe(contenuto);
    std::string riga;
    while (std::getline(righe, riga))
        if (auto r = RecordArchivio(riga)) record.push_back(*r);
    return record;
}

std::string Tre(int n) { return std::string{char('0' + n / 100), char('0' + n / 10 % 10), char('0' + n % 10)}; }

}  // namespace

}  // namespace vc::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vc;
    test::Station& s = fuzz::station();
    s.app().imp.FileTessaro = "ARCHIVIO";
    const std::string file = s.site.file("ARCHIVIO.txt");
    fuzz::Input in(data, size);
    const std::string numero = fuzz::Tre(in.byte() % 1000), codice = in.chunk();
    const std::string prima = in.rest();
    fuzz::writeFile(file, prima);
    cerca_carta_file(s.app(), codice);

    // The utilities window appends only a code a reader can report.
    if (!CodiceCartaValido(codice)) return 0;
    // Appended as the utilities window appends: the line's end comes from the archive's last byte.
    const std::optional<char> ultimo = prima.empty() ? std::nullopt : std::optional<char>(prima.back());
    fuzz::check(safe_file::append(file, RigaDaAccodare(ultimo, numero + codice)), "a record is appended");
    const std::string dopo = fuzz::readFile(file);
    fuzz::check(dopo.compare(0, prima.size(), prima) == 0, "appending rewrites nothing");
    std::vector<std::string> attesi = fuzz::Record(prima);
    attesi.push_back(numero + codice);
    fuzz::check(fuzz::Record(dopo) == attesi, "the records are those before, then the one appended");
    const std::string trovato = cerca_carta_file(s.app(), codice);
    fuzz::check(trovato != "####" && trovato != "????", "an appended record is found");
    return 0;
}
