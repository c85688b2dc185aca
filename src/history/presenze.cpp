#include "history/presenze.h"

#include <algorithm>
#include <cctype>

namespace vc {

namespace {

enum class Verso { Ingresso, Uscita, InOut, Altro };

Verso DirezioneDi(const TransitoPresenza& t) {
    std::string v = t.verso;
    std::transform(v.begin(), v.end(), v.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (v == "IN") return Verso::Ingresso;
    if (v == "OUT") return Verso::Uscita;
    if (v == "INOUT") return Verso::InOut;
    return Verso::Altro;
}

// The run of one badge: its names come from the transit that began it.
class Gruppo {
public:
    Gruppo(const TransitoPresenza& primo, std::vector<Presenza>& out) : primo_(primo), out_(out) {}

    const std::string& badge() const { return primo_.badge; }
    bool ingressoInAttesa() const { return inAttesa_; }
    void ingresso(double t) {
        ingresso_ = t;
        inAttesa_ = true;
    }
    // The pending entry closed by this exit, or the exit alone.
    void uscita(double t) {
        scrivi(inAttesa_, ingresso_, true, t);
        inAttesa_ = false;
    }
    // The pending entry without its exit.
    void chiudiIngresso() {
        if (inAttesa_) scrivi(true, ingresso_, false, 0);
        inAttesa_ = false;
    }

private:
    void scrivi(bool conIngresso, double in, bool conUscita, double uscita) {
        out_.push_back({primo_.cognome, primo_.nome, primo_.badge, in, uscita, !conIngresso, !conUscita});
    }
    const TransitoPresenza& primo_;
    std::vector<Presenza>& out_;
    double ingresso_ = 0;
    bool inAttesa_ = false;
};

}  // namespace

Accoppiamento AccoppiaTransiti(const std::vector<TransitoPresenza>& transiti) {
    Accoppiamento r;
    std::size_t i = 0;
    while (i < transiti.size()) {
        Gruppo g(transiti[i], r.presenze);
        // The first transit of a run: only an entry keeps the run going.
        switch (DirezioneDi(transiti[i])) {
        case Verso::Ingresso: g.ingresso(transiti[i].dataOra); break;
        case Verso::Uscita: g.uscita(transiti[i].dataOra); break;
        case Verso::InOut: r.passaggiInOut = true; break;
        case Verso::Altro: break;
        }
        ++i;
        if (!g.ingressoInAttesa()) continue;
        while (i < transiti.size() && transiti[i].badge == g.badge()) {
            const TransitoPresenza& t = transiti[i];
            const Verso verso = DirezioneDi(t);
            // A second entry begins a new run; the pending one stands alone.
            if (verso == Verso::Ingresso && g.ingressoInAttesa()) break;
            ++i;
            if (verso == Verso::Ingresso) g.ingresso(t.dataOra);
            if (verso == Verso::InOut) r.passaggiInOut = true;
            if (verso != Verso::Uscita) continue;
            const bool accoppiata = g.ingressoInAttesa();
            g.uscita(t.dataOra);
            // An exit after a completed pair stands alone and ends the run.
            if (!accoppiata) break;
        }
        g.chiudiIngresso();
    }
    return r;
}

}  // namespace vc
