#include "history/presenze.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <numeric>

#include "platform/database.h"

namespace vc {

namespace {

// Table order: a scan of TEMP, no sort.
constexpr const char* kTransitiPresenze =
    "select NUMEROBADGE, COGNOME, NOME, verso, dataora from temp where passaggio = true order by rowid";

unsigned char Minuscola(unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c; }

// Two texts as NOCASE compares them: up to the shorter one's length, and no further than a NUL
// byte of the first.
int ConfrontaTesti(const std::string& a, const std::string& b) {
    if (a == b) return 0;  // the usual case within a badge's run, and the quickest
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x == y) {
            if (x == 0) break;
            continue;
        }
        if (Minuscola(x) != Minuscola(y)) return Minuscola(x) - Minuscola(y);
    }
    return a.size() < b.size() ? -1 : a.size() > b.size();
}

int ConfrontaBinari(const std::string& a, const std::string& b) {
    const int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
    if (c != 0) return c;
    return a.size() < b.size() ? -1 : a.size() > b.size();
}

int Confronta(Specie sa, const std::string& a, Specie sb, const std::string& b) {
    if (sa != sb) return sa < sb ? -1 : 1;
    if (sa == Specie::Testo) return ConfrontaTesti(a, b);
    return sa == Specie::Binaria ? ConfrontaBinari(a, b) : 0;
}

bool Precede(const TransitoPresenza& a, const TransitoPresenza& b) {
    if (const int c = Confronta(a.specieCognome, a.cognome, b.specieCognome, b.cognome)) return c < 0;
    if (const int c = Confronta(a.specieNome, a.nome, b.specieNome, b.nome)) return c < 0;
    if (const int c = Confronta(a.specieBadge, a.badge, b.specieBadge, b.badge)) return c < 0;
    return a.dataOra < b.dataOra;
}

Specie SpecieDi(Database::Row::Kind k) {
    if (k == Database::Row::Kind::Null) return Specie::Nulla;
    return k == Database::Row::Kind::Blob ? Specie::Binaria : Specie::Testo;
}

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

void OrdinaTransiti(std::vector<TransitoPresenza>& transiti) {
    // The places are sorted rather than the transits, which are costly to move; then each transit
    // goes to its place along the cycles of the permutation, with no second copy of them all.
    std::vector<std::uint32_t> da(transiti.size());  // da[i]: the transit that goes to place i
    std::iota(da.begin(), da.end(), 0u);
    std::stable_sort(da.begin(), da.end(),
                     [&transiti](std::uint32_t a, std::uint32_t b) { return Precede(transiti[a], transiti[b]); });
    for (std::uint32_t inizio = 0; inizio < da.size(); ++inizio) {
        if (da[inizio] == inizio) continue;
        TransitoPresenza primo = std::move(transiti[inizio]);
        std::uint32_t posto = inizio;
        while (da[posto] != inizio) {
            const std::uint32_t origine = da[posto];
            transiti[posto] = std::move(transiti[origine]);
            da[posto] = posto;
            posto = origine;
        }
        transiti[posto] = std::move(primo);
        da[posto] = posto;
    }
}

// A row whose time is not a number has no time to pair and is left out (its history date could not
// be read).
std::vector<TransitoPresenza> TransitiPresenza(Database& report) {
    using Kind = Database::Row::Kind;
    std::vector<TransitoPresenza> out;
    // Room for every row at once: growing by steps would move them all several times.
    out.reserve(static_cast<std::size_t>(report.query("SELECT count(*) FROM temp")[0][0].second.toInt()));
    std::string altro;
    report.forEachRow(kTransitiPresenze, [&](const Database::Row& r) {
        const Kind ora = r.kind(4);
        if (ora != Kind::Real && ora != Kind::Integer) return;
        TransitoPresenza& t = out.emplace_back();
        t.badge = r.text(0, altro);
        t.cognome = r.text(1, altro);
        t.nome = r.text(2, altro);
        t.verso = r.text(3, altro);
        t.dataOra = r.value(4).toDouble();
        t.specieBadge = SpecieDi(r.kind(0));
        t.specieCognome = SpecieDi(r.kind(1));
        t.specieNome = SpecieDi(r.kind(2));
    });
    OrdinaTransiti(out);
    return out;
}

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
