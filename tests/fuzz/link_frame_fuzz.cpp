// Reply framing and checks: any bytes are judged without fault, and the end-of-reply check agrees
// with the checks; a frame the station builds is heard by a reader as the text it carries, and the
// reader's reply to it passes the checks and is complete; after a body and its ENQ exactly one
// checksum byte is accepted.

#include "core/link/frame.h"
#include "fuzz/fuzz.h"
#include "reader_sim/reader_sim.h"

namespace vc::fuzz {

std::vector<std::string> Seeds() {
    // The replies of the link's tests, and a poll, a grant and a store command.
    return {"\x01" "01S\x05" "\x03",     sim::replyFrame("01S"), "\x01" "\x06\x05\x03", "\x01" "\x06\x05\x02",
            "\x01" "\x04\x01\x05\x01",   "\x01" "\x04\x05",      "\x01" "01S",          "",
            sim::replyFrame("01I0110123456789"), "D", "K110001000", "B0012123000012"};
}

namespace {

// Only the bytes a command text can hold: no SOH or ENQ.
std::string Testo(const std::string& bytes) {
    std::string t;
    for (char c : bytes)
        if (c != SOH && c != ENQ) t += c;
    return t;
}

void UnCheckSolo(const std::string& corpo) {
    const std::string senza = std::string(1, SOH) + corpo + ENQ;
    int accettati = 0;
    for (int c = 0; c < 256; ++c) accettati += RispostaValida(senza + static_cast<char>(c)) ? 1 : 0;
    check(accettati == 1, "exactly one checksum byte is accepted after a body");
}

void FrameSentito(const std::string& comando) {
    sim::Simulator simulatore;
    sim::Reader& lettore = simulatore.addReader({.loop = 1, .address = 1, .plantCode = 123});
    const std::string testo = "01000123D" + comando;
    const std::string frame = Incornicia(testo);
    check(frame.back() != SOH && frame.back() != ENQ, "a frame's checksum byte is never SOH or ENQ");
    simulatore.receive(frame, 0);
    check(!lettore.commands.empty() && lettore.commands.back() == testo, "a frame built is heard as its text");
    const std::string risposta = simulatore.take(1000000);
    check(risposta.empty() || ControllaFine(risposta) == FineRisposta::Completa,
          "a reader's reply to a frame built is accepted as complete");
}

}  // namespace

}  // namespace vc::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vc;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const bool valida = RispostaValida(bytes);
    StatoRisposta(bytes);
    const FineRisposta fine = ControllaFine(bytes);
    fuzz::check(fine != FineRisposta::Completa || valida, "a reply judged complete passes the checks");
    fuzz::check(fine != FineRisposta::Errata || !valida, "a reply judged bad fails them");
    const std::string testo = fuzz::Testo(bytes);
    fuzz::UnCheckSolo(testo);
    fuzz::FrameSentito(testo);
    return 0;
}
