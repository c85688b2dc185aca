#include "core/log/transiti_sospesi.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <set>

#include "common/text.h"
#include "core/app.h"
#include "platform/cp1252.h"
#include "platform/database.h"
#include "platform/safe_file.h"

namespace vc {

namespace {

bool VaNelloStorico(const TransitoSospeso& v) { return v.tipo == 'S'; }

std::string Percorso(const std::string& cartella, const std::string& nome) { return cartella + "/" + nome; }

// ---- the journal's lines ----------------------------------------------------------------

std::string Protetto(const std::string& campo) {
    std::string out;
    for (char c : campo) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '\t': out += "\\t"; break;
            case '\r': out += "\\r"; break;
            case '\n': out += "\\n"; break;
            default: out += c;
        }
    }
    return out;
}

std::vector<std::string> Campi(const std::string& riga) {
    std::vector<std::string> campi(1);
    for (std::size_t i = 0; i < riga.size(); ++i) {
        const char c = riga[i];
        if (c == '\t') {
            campi.emplace_back();
        } else if (c == '\\' && i + 1 < riga.size()) {
            const char e = riga[++i];
            campi.back() += e == 't' ? '\t' : e == 'r' ? '\r' : e == 'n' ? '\n' : e;
        } else {
            campi.back() += c;
        }
    }
    return campi;
}

std::string Riga(const std::vector<std::string>& campi) {
    std::string out;
    for (const std::string& c : campi) out += (out.empty() ? "" : "\t") + Protetto(c);
    return out + "\n";
}

std::string Record(const TransitoSospeso& v) {
    std::vector<std::string> campi{std::string(1, v.tipo), v.id, v.quando};
    if (v.tipo != 'Z') {
        campi.push_back(v.presenza == ' ' ? "" : std::string(1, v.presenza));
        campi.push_back(v.badge);
    }
    campi.insert(campi.end(), v.riga.begin(), v.riga.end());
    return Riga(campi);
}

std::optional<TransitoSospeso> Voce(const std::vector<std::string>& c) {
    if (c[0].size() != 1 || c.size() < 3) return std::nullopt;
    TransitoSospeso v;
    v.tipo = c[0][0];
    v.id = c[1];
    v.quando = c[2];
    v.suDisco = true;
    const std::size_t attesi = v.tipo == 'R' ? 14 : v.tipo == 'P' ? 5 : v.tipo == 'S' ? 6 : v.tipo == 'Z' ? 3 : 0;
    if (attesi == 0 || c.size() != attesi) return std::nullopt;
    std::size_t resto = 3;
    if (v.tipo != 'Z') {
        v.presenza = c[3].empty() ? ' ' : c[3][0];
        v.badge = c[4];
        resto = 5;
    }
    v.riga.assign(c.begin() + static_cast<long>(resto), c.end());
    return v;
}

bool Annota(const std::string& cartella, const std::string& riga) {
    return safe_file::append(Percorso(cartella, sospesi::Giornale), riga, 0600);
}

// The journal as it is on the disk: a regular file, never read through a link.
std::optional<std::string> ContenutoGiornale(const std::string& cartella) {
    const std::string giornale = Percorso(cartella, sospesi::Giornale);
    const int fd = ::open(giornale.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    std::string testo;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        char buf[65536];
        for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;) testo.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return testo;
}

// ---- writing a passage where it belongs --------------------------------------------------

std::string Q(const std::string& t) { return sqlQuote(t); }

// The passage's rows, inside the caller's transaction. A journal's passage also leaves its id, so
// that a replay after a kill finds it written and does not write it again.
void ScriviRighe(Database& db, const TransitoSospeso& v, bool conId) {
    if (conId) {
        db.execute("CREATE TABLE IF NOT EXISTS sospesi_registrati (id TEXT PRIMARY KEY)");
        if (!db.query("SELECT 1 FROM sospesi_registrati WHERE id = " + Q(v.id)).empty()) return;
        db.execute("INSERT INTO sospesi_registrati (id) VALUES (" + Q(v.id) + ")");
    }
    if (v.tipo == 'R') {
        const auto& r = v.riga;
        db.execute("INSERT INTO transiti (NumeroBadge, Cognome, Nome, PosizioneLettore, Data, Ora, Passaggio, verso, "
                   "nota) VALUES (" + Q(r[0]) + ", " + Q(r[1]) + ", " + Q(r[2]) + ", " + Q(r[3]) + ", " + Q(r[4]) +
                   ", " + Q(r[5]) + ", " + (r[6] == "1" ? "1" : "0") + ", " + Q(r[7]) + ", " + Q(r[8]) + ")");
    }
    if (v.tipo == 'Z') db.execute("DELETE FROM presenti");
    const std::string chi = Q(Trim(v.badge));
    if (v.presenza == '+') db.execute("INSERT INTO presenti (NumeroBadge) VALUES (" + chi + ")");
    // The first row in table order with this trimmed number, as the anti-pass-back check finds it.
    if (v.presenza == '-')
        db.execute("DELETE FROM presenti WHERE rowid = (SELECT rowid FROM presenti WHERE trim(NumeroBadge) = " + chi +
                   " ORDER BY rowid LIMIT 1)");
}

// Every database passage that waits, in order, in one transaction: one write to the disk for all
// of them, so that a long queue does not hold the line. Returns whether they went.
bool ScriviTuttiNelDatabase(Database* db, const std::vector<TransitoSospeso*>& voci) {
    if (!db || voci.empty()) return false;
    try {
        Transaction t(*db);
        for (const TransitoSospeso* v : voci) ScriviRighe(*db, *v, true);
        t.commit();
        return true;
    } catch (const DbError&) {
        return false;
    }
}

bool AccodaStorico(const std::string& cartella, const std::string& riga) {
    return safe_file::append(Percorso(cartella, "Storico.txt"), '"' + cp1252::fromUtf8(riga) + "\"\r\n");
}

// The history file's size; 0 for anything but a regular file, which takes no line.
std::int64_t Dimensione(const std::string& file) {
    struct stat st {};
    return ::lstat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? static_cast<std::int64_t>(st.st_size) : 0;
}

// The history line of a journal's passage, once: the size noted before the append tells, after a
// kill, whether the line went in.
bool ScriviNelloStorico(const std::string& cartella, TransitoSospeso& v) {
    const std::string storico = Percorso(cartella, "Storico.txt");
    if (v.storicoDa && Dimensione(storico) > *v.storicoDa) return true;
    if (!v.storicoDa) {
        const std::int64_t ora = Dimensione(storico);
        if (v.suDisco && !Annota(cartella, Riga({"A", v.id, std::to_string(ora)}))) return false;
        v.storicoDa = ora;
    }
    return AccodaStorico(cartella, v.riga.at(0));
}

// Puts on the disk, in order, the passages only memory holds; stops at the first that will not go.
void SalvaSuDisco(const std::string& cartella, TransitiSospesi& attesa) {
    for (TransitoSospeso& v : attesa.voci) {
        if (v.suDisco) continue;
        if (!Annota(cartella, Record(v))) return;
        v.suDisco = true;
    }
}

}  // namespace

namespace sospesi {

void Leggi(const std::string& cartella, TransitiSospesi& attesa) {
    attesa.letti = true;
    std::optional<std::string> testo = ContenutoGiornale(cartella);
    if (!testo) return;
    // A last line without its end was being written when the program died: its decision never
    // ended. It goes, or the next record appended would run into it.
    if (const std::size_t fine = testo->rfind('\n') + 1; fine != testo->size()) {
        testo->resize(fine);
        safe_file::replace(Percorso(cartella, Giornale), *testo, 0600);
    }
    std::size_t inizio = 0;
    for (std::size_t fine; (fine = testo->find('\n', inizio)) != std::string::npos; inizio = fine + 1) {
        const std::vector<std::string> c = Campi(testo->substr(inizio, fine - inizio));
        auto stessa = [&](const TransitoSospeso& v) { return c.size() >= 2 && v.id == c[1]; };
        auto it = std::find_if(attesa.voci.begin(), attesa.voci.end(), stessa);
        if (c[0] == "D" && it != attesa.voci.end()) {
            attesa.voci.erase(it);
        } else if (c[0] == "A" && c.size() == 3 && it != attesa.voci.end()) {
            it->storicoDa = std::atoll(c[2].c_str());
        } else if (auto v = Voce(c); v && it == attesa.voci.end()) {
            attesa.voci.push_back(std::move(*v));
        }
    }
}

std::size_t Registra(const std::string& cartella, TransitiSospesi& attesa, Database* db, int attesaMs) {
    if (!attesa.letti) Leggi(cartella, attesa);
    SalvaSuDisco(cartella, attesa);
    // Each destination in its own order: the history file refusing a line holds back its later
    // lines only.
    std::vector<TransitoSospeso*> nelDatabase;
    for (TransitoSospeso& v : attesa.voci)
        if (!VaNelloStorico(v)) nelDatabase.push_back(&v);
    if (db) db->setBusyTimeout(attesaMs);
    std::set<const TransitoSospeso*> scritti;
    if (ScriviTuttiNelDatabase(db, nelDatabase)) scritti.insert(nelDatabase.begin(), nelDatabase.end());
    if (db) db->setBusyTimeout(Database::DefaultBusyMs);
    for (TransitoSospeso& v : attesa.voci) {
        if (!VaNelloStorico(v)) continue;
        if (!ScriviNelloStorico(cartella, v)) break;
        scritti.insert(&v);
    }
    std::string fatti;
    for (const TransitoSospeso* v : scritti)
        if (v->suDisco) fatti += Riga({"D", v->id});
    if (!fatti.empty()) Annota(cartella, fatti);
    std::erase_if(attesa.voci, [&](const TransitoSospeso& v) { return scritti.count(&v) > 0; });
    if (attesa.voci.empty() && ContenutoGiornale(cartella)) {
        // Every record is done: the journal goes, then the ids it needed.
        std::filesystem::remove(Percorso(cartella, Giornale));
        if (db) db->tryExecute("DELETE FROM sospesi_registrati");
    }
    return attesa.voci.size();
}

bool Scrivi(const std::string& cartella, TransitoSospeso& v, Database* db, bool dalGiornale) {
    if (v.tipo == 'S') return dalGiornale ? ScriviNelloStorico(cartella, v) : AccodaStorico(cartella, v.riga.at(0));
    if (!db) return false;
    Transaction t(*db);
    ScriviRighe(*db, v, dalGiornale);
    t.commit();
    return true;
}

bool InAttesa(const TransitiSospesi& attesa, const TransitoSospeso& v) {
    return std::any_of(attesa.voci.begin(), attesa.voci.end(),
                       [&](const TransitoSospeso& w) { return VaNelloStorico(w) == VaNelloStorico(v); });
}

void Accoda(const std::string& cartella, TransitiSospesi& attesa, TransitoSospeso v) {
    if (attesa.seme.empty()) {
        std::random_device caso;
        attesa.seme = std::to_string(caso()) + std::to_string(caso());
    }
    v.id = attesa.seme + "-" + std::to_string(++attesa.progressivo);
    v.suDisco = false;
    attesa.voci.push_back(std::move(v));
    SalvaSuDisco(cartella, attesa);
}

std::optional<bool> Dentro(const TransitiSospesi& attesa, const std::string& badge) {
    for (auto it = attesa.voci.rbegin(); it != attesa.voci.rend(); ++it) {
        if (it->tipo == 'Z') return false;
        if (it->presenza != ' ' && Trim(it->badge) == Trim(badge)) return it->presenza == '+';
    }
    return std::nullopt;
}

long Presenti(const TransitiSospesi& attesa, long nellaTabella) {
    long n = nellaTabella;
    for (const TransitoSospeso& v : attesa.voci) {
        if (v.tipo == 'Z') n = 0;
        n += v.presenza == '+' ? 1 : v.presenza == '-' ? -1 : 0;
    }
    return n;
}

std::string Avviso(const TransitiSospesi& attesa) {
    if (attesa.voci.empty()) return "";
    std::string testo = "TRANSITI NON REGISTRATI: " + std::to_string(attesa.voci.size()) + " in attesa dal " +
                        attesa.voci.front().quando;
    for (auto it = attesa.voci.rbegin(); it != attesa.voci.rend(); ++it) {
        if (Trim(it->badge).empty()) continue;
        testo += " - ultima carta " + it->badge;
        break;
    }
    const auto soloInMemoria = std::count_if(attesa.voci.begin(), attesa.voci.end(),
                                             [](const TransitoSospeso& v) { return !v.suDisco; });
    if (soloInMemoria > 0) testo += " - " + std::to_string(soloInMemoria) + " non ancora salvati su disco";
    return testo;
}

}  // namespace sospesi

}  // namespace vc
