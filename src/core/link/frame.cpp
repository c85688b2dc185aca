#include "core/link/frame.h"

namespace vc {

namespace {

// x = 5 XOR every byte from the start up to, not including, the first ENQ.
int XorFinoAEnq(std::string_view s) {
    int x = ENQ;
    for (char c : s) {
        if (c == ENQ) break;
        x ^= static_cast<unsigned char>(c);
    }
    return x;
}

bool EnqPenultimo(std::string_view r) { return r.size() >= 2 && r[r.size() - 2] == ENQ; }

}  // namespace

std::string Incornicia(std::string_view testo) {
    std::string frame;
    frame.reserve(testo.size() + 3);
    frame += SOH;
    frame += testo;
    frame += ENQ;
    int x = XorFinoAEnq(frame);
    if (x == 1 || x == 5) ++x;
    frame += static_cast<char>(x);
    return frame;
}

bool RispostaValida(std::string_view r) {
    if (r.size() < 2) return false;
    int x = XorFinoAEnq(r);
    if (EnqPenultimo(r)) {
        if (x == 2 || x == 5) ++x;
        return static_cast<unsigned char>(r.back()) == x;
    }
    // Stopped by the time-out right after its ENQ, without a checksum byte.
    return r.back() == ENQ && x == 0;
}

char StatoRisposta(std::string_view r) { return r.size() >= 4 ? r[3] : '\0'; }

FineRisposta ControllaFine(std::string_view ricevuto) {
    if (EnqPenultimo(ricevuto)) return RispostaValida(ricevuto) ? FineRisposta::Completa : FineRisposta::Errata;
    if (ricevuto.size() > MassimaRisposta) return FineRisposta::TroppoLunga;
    return FineRisposta::Attendi;
}

}  // namespace vc
