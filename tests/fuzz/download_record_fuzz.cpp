// Downloaded records: any reply is read without fault, and a record it yields has digits for its
// date and time and a year never after now nor more than one back; a transit a reader stores
// comes back from its "Z" reply as it was stored.
//
// Input: a byte of options (bit 0 four-digit cards), the date and time of now (month, day, hour,
// minute), the stored transit (a chunk of the card, hour, minute, day, month), then a reply.

#include "fuzz/fuzz.h"
#include "readers_admin/transito_scaricato.h"
#include "reader_sim/reader_sim.h"

namespace vc::fuzz {

std::vector<std::string> Seeds() {
    // The download tests' records ("Z" replies after the reader's address), at the tests' date.
    std::vector<std::string> seeds;
    for (const char* record : {"012314301012", "01231430", "0123AB301012", "0123143010121314", "", "012314301312"})
        for (std::uint8_t opzioni : {0, 1})
            seeds.push_back(Seed().byte(opzioni).byte(12).byte(10).byte(9).byte(0).chunk("123").byte(14).byte(30)
                                .byte(10).byte(12).rest(sim::replyFrame(std::string("01Z") + record)));
    return seeds;
}

namespace {

bool Cifre(const std::string& t) { return t.size() == 2 && t.find_first_not_of("0123456789") == std::string::npos; }
std::string Due(int n) { return std::string(1, static_cast<char>('0' + n / 10)) + static_cast<char>('0' + n % 10); }

void Letto(const std::string& risposta, bool quattroCifre, const DateTime& adesso) {
    const auto t = LeggiTransito(risposta, quattroCifre, adesso);
    if (!t) return;
    check(t->carta.size() == 4 && Cifre(t->ora) && Cifre(t->minuto) && Cifre(t->giorno) && Cifre(t->mese),
          "a record read has a 4-character card and digits for its date and time");
    const auto quando = std::tuple{t->mese, t->giorno, t->ora, t->minuto};
    const auto ora = std::tuple{Due(adesso.month), Due(adesso.day), Due(adesso.hour), Due(adesso.minute)};
    check(t->anno == (quando <= ora ? adesso.year : adesso.year - 1),
          "a transit is dated at the latest year that is not after now");
}

// A reader with four-digit cards stores the transit; its "Z" reply is read back.
void Memorizzato(Input& in, const DateTime& adesso) {
    std::string carta;
    for (char c : in.chunk().substr(0, 4)) carta += static_cast<char>('0' + static_cast<unsigned char>(c) % 10);
    sim::StoredTransit t{carta, in.byte() % 24, in.byte() % 60, in.byte() % 31 + 1, in.byte() % 12 + 1};
    sim::Reader lettore({.loop = 1, .address = 1, .plantCode = 123});
    lettore.storeTransit(t);
    const auto corpo = lettore.answer("01000123S");
    check(corpo.has_value(), "the reader answers the download");
    const auto letto = LeggiTransito(sim::replyFrame(*corpo), true, adesso);
    check(letto && letto->carta == std::string(4 - carta.size(), '0') + carta && letto->ora == Due(t.hour) &&
              letto->minuto == Due(t.minute) && letto->giorno == Due(t.day) && letto->mese == Due(t.month),
          "a stored transit is read back as it was stored");
}

}  // namespace

}  // namespace vc::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vc;
    fuzz::Input in(data, size);
    const bool quattroCifre = in.byte() & 1;
    DateTime adesso{2026, in.byte() % 12 + 1, in.byte() % 28 + 1, in.byte() % 24, in.byte() % 60, 0};
    fuzz::Memorizzato(in, adesso);
    fuzz::Letto(in.rest(), quattroCifre, adesso);
    return 0;
}
