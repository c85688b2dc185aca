#include "core/schedule/uscite_temporizzate.h"

#include <sstream>

#include "common/text.h"
#include "core/app.h"
#include "core/link/reader_link.h"
#include "core/main/main_status.h"
#include "platform/safe_file.h"

namespace vc {

namespace {

// The day, band and mark columns of a line of each kind.
struct Colonne {
    std::size_t da, a, segno;
};
constexpr Colonne ColonneData{25, 36, 42}, ColonneGiorno{17, 28, 34};

// The file's items: a comma ends one, and quotes around one are removed.
std::vector<std::string> Voci(std::istream& f) {
    std::vector<std::string> voci;
    std::string riga;
    while (std::getline(f, riga)) {
        if (!riga.empty() && riga.back() == '\r') riga.pop_back();
        std::size_t inizio = 0;
        for (;;) {
            const auto virgola = riga.find(',', inizio);
            std::string voce = riga.substr(inizio, virgola == std::string::npos ? std::string::npos : virgola - inizio);
            if (voce.size() >= 2 && voce.front() == '"' && voce.back() == '"') voce = voce.substr(1, voce.size() - 2);
            voci.push_back(voce);
            if (virgola == std::string::npos) break;
            inizio = virgola + 1;
        }
    }
    return voci;
}

}  // namespace

std::int16_t TipoRigaDate(const std::string& riga) {
    // The weekday words carry the code page's accented "ì" (0xEC).
    static const std::pair<const char*, std::int16_t> chiavi[] = {
        {"Data", 1},          {"Luned\xEC", 3}, {"Marted\xEC", 4}, {"Mercoled\xEC", 5}, {"Gioved\xEC", 6},
        {"Venerd\xEC", 7},    {"Sabato", 8},    {"Domenica", 2},   {"Orario", 9},
    };
    for (auto [chiave, tipo] : chiavi)
        if (riga.rfind(chiave, 0) == 0) return tipo;
    return 0;
}

void Settaggio_output_lettore(App& app, std::int16_t scom) {
    for (int i = 0; i < app.NumeroLettori; ++i) {
        const DatiLettore& l = app.Lettori[static_cast<std::size_t>(i)];
        std::string comando = PrefissoLettore(l) + "O0" + Num(scom);
        invia_comando(app, comando, l.NumeroLoop);
    }
}

namespace {

void ApplicaRegole(App& app) {
    // A missing file is a file in which no rule applies; so is one that cannot be read, which the
    // status line names.
    const std::string file = app.file("Date.txt");
    const safe_file::ReadResult date = safe_file::read(file);
    if (date.status == safe_file::ReadResult::Status::Unusable)
        RigaDiStato(app).setCaption(safe_file::unreadable(file, date.why));
    if (date.status != safe_file::ReadResult::Status::Read) return;
    std::istringstream f(date.content);
    const DateTime oggi = app.sys.clock.now();
    const std::string meseGiorno = Pad(oggi.month, 2) + "/" + Pad(oggi.day, 2);
    for (const std::string& voce : Voci(f)) {
        const std::int16_t tipo = TipoRigaDate(voce);
        Colonne c{};
        if (tipo == 1) {
            if (Mid(voce, 9, 2) + "/" + Mid(voce, 6, 2) != meseGiorno) continue;
            c = ColonneData;
        } else if (tipo >= 2 && tipo <= 8) {
            if (oggi.weekday() != tipo - 1) continue;
            c = ColonneGiorno;
        } else if (tipo == 9) {
            c = ColonneGiorno;
        } else {
            continue;
        }
        if (Mid(voce, c.segno, 1) != "X") continue;
        const std::string adesso = oggi.timeText();
        Settaggio_output_lettore(app, Mid(voce, c.da, 5) <= adesso && adesso <= Mid(voce, c.a, 5) ? 1 : 0);
        return;
    }
}

}  // namespace

void UsciteTemporizzate(App& app) {
    if (!app.OutputAutomatico) return;
    // A tick that falls inside another exchange's wait runs once the line is free, so none of its
    // commands is refused. One waiting tick is enough: it reads the file and the time when it runs.
    if (app.Linea.UsciteInAttesa) return;
    app.Linea.UsciteInAttesa = true;
    app.Linea.QuandoLineaLibera([&app] {
        app.Linea.UsciteInAttesa = false;
        if (app.OutputAutomatico) ApplicaRegole(app);
    });
}

}  // namespace vc
