// Every window of the program, rendered on its own: a screenshot for a person to look at, every
// control's widget where the form puts it, and the captions really drawn (read back from a PDF).

#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <functional>

#include "gui_support.h"
#include "password/password_file.h"
#include "platform/profile.h"

namespace vc {
namespace {

void conPassword(test::OnScreen& s) {
    const auto valore = CodificaPassword("segreta");
    ASSERT_TRUE(valore);
    ASSERT_TRUE(profile::writeString(SezionePassword, ChiavePassword, *valore, s.station.site.file("pswaccessi.txt")));
}

void conLettori(test::OnScreen& s) {
    for (int i = 1; i <= 3; ++i)
        s.station.sql(
            "INSERT INTO Lettori (TipoLettore, SituatoPresso, CodiceImpianto, Stato, NumeroLoop, "
            "NumeroIndirizzo) VALUES ('KOVA KV-M1', 'INGRESSO', '000123', 'In', 1, " +
            std::to_string(i) + ")");
}

void conCarte(test::OnScreen& s) {
    s.station.sql(
        "INSERT INTO Carte (Cognome, Nome, Indirizzo, NumeroCarta, AbilitaCarta, Flag_online) VALUES "
        "('Bianchi', 'Luca', 'Via Roma 1', '0001', 1, 0), ('Verdi', 'Anna', 'Via Po 2', '0002', 0, 1)");
}

void conFascia(test::OnScreen& s) {
    s.station.sql(
        "INSERT INTO Fasce (Nome, Lunedi, Lun_1_da, Lun_1_a, Lun_2_da, Lun_2_a) "
        "VALUES ('Mattino', 1, '08:00', '12:30', '14:00', '18:00')");
}

// The window that changes a password, as it comes up once one is set.
void passwordPresente(test::OnScreen& s) { s.app().PasswordPresente = true; }

struct Finestra {
    const char* form;
    std::function<void(test::OnScreen&)> prepara;  // before start-up
    std::vector<QString> testi;                    // words the window must show
};

void PrintTo(const Finestra& f, std::ostream* os) { *os << f.form; }

class Finestre : public ::testing::TestWithParam<Finestra> {};

// Paints the widget on a PDF page of its size under the screenshot folder; returns its path.
QString stampaPdf(QWidget& w, const std::string& nome) {
    const QString pdf = QString::fromStdString(std::string(VARCANTO_SCREENSHOTS) + "/" + nome + ".pdf");
    {
        QPdfWriter writer(pdf);
        writer.setResolution(72);  // one widget pixel to one point
        writer.setPageSize(QPageSize(QSizeF(w.width(), w.height()), QPageSize::Point));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter painter(&writer);
        w.render(&painter);
    }
    return pdf;
}

TEST_P(Finestre, RendersEveryControlWhereTheFormPutsIt) {
    const Finestra& f = GetParam();
    test::OnScreen s;
    if (f.prepara) f.prepara(s);
    s.start();
    gui::FormWindow& w = f.form == std::string("FrmMain") ? s.window(f.form) : s.show(f.form);
    const Form& form = s.app().form(f.form);

    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.windowTitle().toStdString(), form.Caption());
    EXPECT_EQ(w.size(), QSize(form.geometry.width, form.geometry.height));
    for (const Control* c : form.controls()) {
        QWidget* cw = w.widgetOf(*c);
        if (!cw) continue;
        const Geometry& g = c->geometry;
        EXPECT_EQ(cw->geometry(), QRect(g.left, g.top, g.width, g.height)) << c->name() << " " << c->index();
        EXPECT_EQ(cw->isVisibleTo(&w), c->effectivelyVisible()) << c->name() << " " << c->index();
    }
    const std::string png = test::screenshot(w, f.form);
    EXPECT_FALSE(QImage(QString::fromStdString(png)).isNull());

    const QString stampa = stampaPdf(w, f.form);
    if (!test::canReadPdf()) GTEST_SKIP() << "pdftotext is not installed";
    const QString testo = test::pdfText(stampa);
    for (const QString& parola : f.testi)
        EXPECT_TRUE(testo.contains(parola)) << parola.toStdString() << " not in:\n" << testo.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    OgniFinestra, Finestre,
    ::testing::Values(
        Finestra{"FrmMain",
                 nullptr,
                 {"Impostazioni", "Uscita dal programma", "Polling", "Output automatico", "AntiPass-Back", "On Line"}},
        Finestra{"FrmProgSetup",
                 nullptr,
                 {"Settaggio", "Porta seriale", "Sblocco da tastiera", "Fascia 3", "Ritorna alla pagina principale"}},
        Finestra{"FrmChkPassw", conPassword, {"Inserisci la password", "Ok"}},
        Finestra{"FrmWait", nullptr, {"ATTENDERE", "PREGO"}},
        Finestra{"FrmConfLettori",
                 conLettori,
                 {"Posizione dei dati", "Gestione Database", "Ritorna alla pagina principale"}},
        Finestra{"FrmCardsAbil",
                 conCarte,
                 {"Dati", "Configurazione", "Carta abilitata", "Non contr.", "Porta 1", "Bianchi"}},
        Finestra{"FrmPassAbil", conLettori, {"Lettori", "INGRESSO", "Ok"}},
        Finestra{"FrmCardSearch", nullptr, {"Seleziona il campo", "Ok", "Annulla"}},
        Finestra{"FrmDefFasce", nullptr, {"Fascia 1", "Fascia 3", "Da", "Ok"}},
        Finestra{"FrmFasceOnline", conFascia, {"Nome", "Abilita", "Database", "Nuovo", "Esci", "Mattino", "12:30"}},
        Finestra{"FrmUtilTessaro",
                 nullptr,
                 {"Creazione file di archivio carte", "Programmazione carte per Tessaro",
                  "Ritorna alla pagina Gestione Lettori"}},
        Finestra{"FrmFunzAgg",
                 nullptr,
                 {"Stampa archivio utenti", "Scelta utenti per l'imparziale", "Elimina storico da tutti i lettori",
                  "Fasce orarie On Line", "Ritorna alla pagina principale"}},
        Finestra{"FrmDownLoad", conLettori, {"Opzioni", "Singolo lettore", "Tutti i lettori", "Numero lettori : 3"}},
        Finestra{"FrmViewStoria",
                 nullptr,
                 {"Periodo", "Solo Storia Odierna", "Badge Singolo", "Records trovati", "Cancella storico"}},
        Finestra{"FrmGestPassw",
                 passwordPresente,
                 {"Inserisci la vecchia password", "Inserisci la nuova password", "Cambia password"}}),
    [](const ::testing::TestParamInfo<Finestra>& caso) { return std::string(caso.param.form); });

}  // namespace
}  // namespace vc
