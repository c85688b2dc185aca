// The settings file: any content is read without fault, into the buffer as the classic call
// fills it and into the settings; a value written reads back, and the write changes no other key.
//
// Input: chunks of the section, key and value to write, of another section and key to watch,
// a byte of the buffer's size, then the file's content.

#include <filesystem>

#include "core/settings/settings_file.h"
#include "fuzz/fuzz.h"
#include "platform/profile.h"

namespace vc::fuzz {

std::vector<std::string> Seeds() {
    // The shipped settings and the profile tests' files, each written to and watched at a key.
    const std::string shipped = readFile(std::string(VARCANTO_SITE_TEMPLATE) + "/Accessi.ini");
    const std::pair<const char*, const char*> chiavi[] = {
        {"Impostazioni", "Polling"}, {"S", "K"}, {"Altra", "POLLING"}};
    std::vector<std::string> seeds;
    for (const std::string& contenuto :
         {shipped, std::string("[Impostazioni]\r\n  Polling = 500 \r\nPorta=2\n[ Altra ]\nPOLLING=9\r\n"),
          std::string("[S]\r\nA=\"  due  parole \"\r\nB=\"aperta\r\nC=\t x y \t\r\nD=\r\nE=a=b\r\n;F=commento\r\n"),
          std::string("[S]\r\nA=1\r\n\r\n\r\n[T]\r\nB=2\r\n"), std::string("[S]\nA=1"), std::string("[S]\n[T]\n"),
          std::string("; solo un commento\r\n"), std::string()})
        for (auto [sezione, chiave] : chiavi)
            seeds.push_back(Seed().chunk(sezione).chunk(chiave).chunk("750").chunk("Impostazioni").chunk("Seriale")
                                .byte(10).rest(contenuto));
    return seeds;
}

namespace {

bool Blank(char c) { return c == ' ' || c == '\t'; }
bool Trimmed(const std::string& t) { return t.empty() || (!Blank(t.front()) && !Blank(t.back())); }
bool Has(const std::string& t, const char* chars) { return t.find_first_of(chars) != std::string::npos; }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool SameName(std::string a, std::string b) {
    for (std::string* t : {&a, &b}) {
        while (!t->empty() && Blank(t->front())) t->erase(0, 1);
        while (!t->empty() && Blank(t->back())) t->pop_back();
        for (char& c : *t) c = Lower(c);
    }
    return a == b;
}

// Names and values a program writes: one line each (no CR, no LF), a key that is not a comment,
// a section or an assignment, a value without blanks around it or quotes that reading takes away.
bool Scrivibile(const std::string& sezione, const std::string& chiave, const std::string& valore) {
    const bool quotato = valore.size() >= 2 && valore.front() == '"' && valore.back() == '"';
    const std::size_t primo = chiave.find_first_not_of(" \t");
    const char inizio = primo == std::string::npos ? '\0' : chiave[primo];
    return !Has(sezione, "\r\n]") && !Has(chiave, "\r\n=") && !Has(valore, "\r\n") && Trimmed(valore) && !quotato &&
           inizio != ';' && inizio != '[';
}

void BufferCome(const std::string& file, const std::string& sezione, const std::string& chiave, std::size_t n) {
    std::string buffer(n, '\x7F');
    const std::size_t copiati = profile::getString(sezione, chiave, "predefinito", buffer, file);
    check(buffer.size() == n, "the buffer keeps its size");
    if (n == 0) return check(copiati == 0, "an empty buffer gets nothing");
    check(copiati < n && buffer[copiati] == '\0', "at most size-1 characters, then a NUL");
    check(buffer.find_first_not_of('\x7F', copiati + 1) == std::string::npos, "the buffer past the NUL is kept");
    check(profile::read(sezione, chiave, "predefinito", n, file) == buffer.substr(0, copiati),
          "a read gives what the buffer got");
}

}  // namespace

}  // namespace vc::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vc;
    static const test::TempDir cartella;
    const std::string file = cartella.file("Accessi.ini");
    fuzz::Input in(data, size);
    const std::string sezione = in.chunk(), chiave = in.chunk(), valore = in.chunk();
    const std::string altraSezione = in.chunk(), altraChiave = in.chunk();
    const std::size_t n = in.byte();
    fuzz::writeFile(file, in.rest());

    fuzz::BufferCome(file, sezione, chiave, n);
    Impostazioni imp;
    LeggiImpostazioni(file, imp, true);

    if (!fuzz::Scrivibile(sezione, chiave, valore)) return 0;
    const std::string altroPrima = profile::read(altraSezione, altraChiave, "<nessuno>", 4096, file);
    fuzz::check(profile::writeString(sezione, chiave, valore, file), "a settings file is written");
    fuzz::check(profile::read(sezione, chiave, "<nessuno>", 4096, file) == valore, "a value written reads back");
    if (!(fuzz::SameName(sezione, altraSezione) && fuzz::SameName(chiave, altraChiave)))
        fuzz::check(profile::read(altraSezione, altraChiave, "<nessuno>", 4096, file) == altroPrima,
                    "a write changes no other key");
    return 0;
}
