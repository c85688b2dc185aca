#include <gtest/gtest.h>

#include <deque>
#include <fstream>
#include <functional>
#include <sstream>

#include "lettori_in_linea.h"
#include "readers_admin/frm_conf_lettori.h"
#include "readers_admin/frm_util_tessaro.h"
#include "riga_lettore.h"
#include "support/fakes.h"

namespace vc {
namespace {

const char* const Prompt = "Inserisci il nome del file (senza estensione, al massimo 8 caratteri) :";

// The archive reader at address 2, plant code 000777, shown by the readers window, which has
// opened the utilities. Its polls answer with the cards queued in 'carte' ("" for silence);
// once they are used up, the next poll presses the stop button.
class Archive : public ::testing::Test {
protected:
    Archive() {
        test::RigaLettore riga;
        riga.tipo = "KOVA KV-P";
        riga.indirizzo = 2;
        riga.codice = "000777";
        test::InserisciLettore(s, riga);
        linea = std::make_unique<test::LettoriInLinea>(s, 0);
        linea->risposta = [this](const std::string& t) { return risposta(t); };
        auto& lettori = s.app().form<FrmConfLettori>();
        lettori.Show();
        lettori.Command8.click();
        u().setObserver([this](Form&, Control* c) {
            if (c == &u().Label2 && !u().Label2.Caption().empty())
                esiti.push_back(u().Label2.Caption() + (u().Label2.ForeColor() == colour::Green ? " [verde]" : ""));
        });
    }
    FrmUtilTessaro& u() { return s.app().form<FrmUtilTessaro>(); }
    std::string file(const std::string& nome) { return s.site.file(nome + ".txt"); }
    void scrivi(const std::string& nome, const std::string& testo) { std::ofstream(file(nome), std::ios::binary) << testo; }
    std::string leggi(const std::string& nome) {
        std::ifstream f(file(nome), std::ios::binary);
        std::stringstream ss;
        ss << f.rdbuf();
        return ss.str();
    }
    void nome(const std::string& n) { s.dialogs.expectInput(Prompt, "Nome file", n); }
    bool inattiva() {
        return u().Command1.Visible() && u().Command2.Visible() && u().Command3.Visible() && !u().Command4.Visible() &&
               !u().Label1.Visible() && !u().ProgressBar1.Visible();
    }
    const std::vector<std::string>& comandi() { return linea->comandi; }

    std::string risposta(const std::string& t) {
        if (t.substr(8, 1) == "D") {
            prompt.push_back(u().Label1.Caption());
            if (carte.empty()) {
                u().Command4.click();
                if (dopoArresto) dopoArresto();
                return "";
            }
            const std::string carta = carte.front();
            carte.pop_front();
            return carta.empty() ? "" : carta == "N" ? "02N" : "02I0000" + carta;
        }
        return rifiuta == comandi().size() ? "02D" : "02S";
    }

    std::deque<std::string> carte;
    std::function<void()> dopoArresto;  // runs right after the stop is pressed
    std::size_t rifiuta = 0;       // the n-th command (1-based) of the loading is refused
    std::vector<std::string> prompt;  // the prompt shown at each poll
    std::vector<std::string> esiti;   // Label2's outcomes, in order
    test::Station s;
    std::unique_ptr<test::LettoriInLinea> linea;
};

TEST_F(Archive, BuildingRegistersEachNewCardOnceInANewFile) {
    carte = {"", "N", "ABC123", "ABC123", "XYZ789"};
    nome("CARTE");
    u().Command1.click();

    EXPECT_EQ(leggi("CARTE"), "\"000ABC123\"\r\n\"001XYZ789\"\r\n");
    const std::vector<std::string> attesi = {"Passare la carta numero 0", "Passare la carta numero 0",
                                             "Passare la carta numero 0", "Passare la carta numero 1",
                                             "Passare la carta numero 1", "Passare la carta numero 2"};
    EXPECT_EQ(prompt, attesi);
    const std::vector<std::string> esitiAttesi = {"Scrittura nel file Ok. [verde]", "La carta è già in archivio.",
                                                  "Scrittura nel file Ok. [verde]"};
    EXPECT_EQ(esiti, esitiAttesi);
    for (const auto& c : comandi()) EXPECT_EQ(c, "02000777D");
    EXPECT_EQ(comandi().size(), 6u);  // the stop came during the sixth poll: no seventh
    EXPECT_GT(s.dialogs.beeps, 0);
    EXPECT_TRUE(inattiva());
}

// The building run yields from the name's question to its last poll: the idle buttons, clicked
// before the run shows its prompt or after the stop while it winds up, must start nothing.
TEST_F(Archive, WhileBuildingOnlyTheStopIsTaken) {
    auto clicca = [this] {
        for (CommandButton* b : {&u().Command1, &u().Command2, &u().Command3}) s.loop.post([b] { b->click(); });
    };
    dopoArresto = clicca;
    carte = {"ABC123"};
    nome("CARTE");
    clicca();
    u().Command1.click();

    EXPECT_EQ(leggi("CARTE"), "\"000ABC123\"\r\n");
    EXPECT_EQ(comandi().size(), 2u);
    ASSERT_TRUE(s.app().isLoaded(FrmUtilTessaro::kName));
    EXPECT_TRUE(u().Visible());
    EXPECT_TRUE(inattiva());
    EXPECT_TRUE(s.dialogs.allAnswered());
}

TEST_F(Archive, AnExistingFileContinuesAfterItsLastRecord) {
    s.app().imp.FlagBeep = false;
    scrivi("VECCHIO", "\"000AAAAAA\"\r\n\"041BBBBBB\"\r\n");
    carte = {"CCCCCC"};
    nome("VECCHIO");
    s.dialogs.expectMsg("Il file già esiste. I dati verranno messi in coda.", mb::Information, "Messaggio");
    u().Command1.click();
    EXPECT_EQ(leggi("VECCHIO"), "\"000AAAAAA\"\r\n\"041BBBBBB\"\r\n\"042CCCCCC\"\r\n");
    EXPECT_EQ(s.dialogs.beeps, 0);
}

TEST_F(Archive, AFullArchiveTakesNoMoreCards) {
    scrivi("PIENO", "\"999AAAAAA\"\r\n");
    nome("PIENO");
    s.dialogs.expectMsg("Il file già esiste. I dati verranno messi in coda.", mb::Information, "Messaggio");
    s.dialogs.expectMsg("L'archivio è pieno: al massimo 1000 carte.", mb::Exclamation, "Attenzione");
    u().Command1.click();
    EXPECT_TRUE(comandi().empty());
    EXPECT_TRUE(inattiva());
}

TEST_F(Archive, TheNameIsAskedUntilItPassesAndAnEmptyAnswerEndsWithNothingDone) {
    nome("NOMELUNGO");
    s.dialogs.expectMsg("Il nome del file deve essere al massimo di 8 caratteri.", mb::Exclamation, "Attenzione");
    nome("A.B");
    s.dialogs.expectMsg("Il nome del file non deve contenere il carattere punto.", mb::Exclamation, "Attenzione");
    nome("");
    u().Command1.click();
    EXPECT_TRUE(comandi().empty());
    EXPECT_TRUE(inattiva());
}

TEST_F(Archive, LoadingSendsEveryRecordInFileOrder) {
    scrivi("TRE", "\"000AAAAAA\"\r\n\"001BBBBBB\"\r\n\"002CCCCCC\"\r\n");
    nome("TRE");
    s.dialogs.onShow = [this](const test::ScriptedDialogs::Box& b) {
        if (b.text == "Programmazione effettuata.") {
            EXPECT_EQ(u().ProgressBar1.Value(), 3);
            EXPECT_EQ(u().ProgressBar1.Max, 3);
            EXPECT_FALSE(u().Enabled());
        }
    };
    s.dialogs.expectMsg("Programmazione effettuata.", mb::Information, "Messaggio");
    u().Command2.click();
    const std::vector<std::string> attesi = {"02000777L000AAAAAA", "02000777L001BBBBBB", "02000777L002CCCCCC"};
    EXPECT_EQ(comandi(), attesi);
    EXPECT_TRUE(u().Enabled());
    EXPECT_TRUE(inattiva());
    EXPECT_FALSE(s.dialogs.busy);
}

TEST_F(Archive, LoadingStopsAtTheFirstRefusedRecord) {
    scrivi("TRE", "\"000AAAAAA\"\r\n\"001BBBBBB\"\r\n\"002CCCCCC\"\r\n");
    rifiuta = 2;
    nome("TRE");
    s.dialogs.expectMsg("Errore di comunicazione con il Tessaro.", mb::Critical, "Errore");
    u().Command2.click();
    EXPECT_EQ(comandi().size(), 2u);
    EXPECT_EQ(u().ProgressBar1.Value(), 1);
    EXPECT_TRUE(u().Enabled());
    EXPECT_TRUE(inattiva());
}

TEST_F(Archive, AMissingFileSendsNothing) {
    nome("NESSUNO");
    s.dialogs.expectMsg("Il file non esiste.", mb::Exclamation, "Attenzione");
    u().Command2.click();
    EXPECT_TRUE(comandi().empty());
    EXPECT_TRUE(inattiva());
}

// An odd line (or two records glued on one) is skipped with one message naming it; every good
// record stays usable, both for loading and for the duplicate test and numbering of a build.
TEST_F(Archive, OddLinesAreSkippedWithOneMessageAndTheGoodRecordsKept) {
    const std::string testo = "\"000AAAAAA\"\r\nxx\r\n\r\n\"001BBBBBB\"\r\n\"ABCDDDDDD\"\r\n";
    scrivi("ROTTO", testo);
    const std::string avviso = "Righe non valide nel file " + file("ROTTO") + ", ignorate: 2, 5.";
    nome("ROTTO");
    s.dialogs.expectMsg(avviso, mb::Exclamation, "Attenzione");
    s.dialogs.expectMsg("Programmazione effettuata.", mb::Information, "Messaggio");
    u().Command2.click();
    EXPECT_EQ(comandi(), (std::vector<std::string>{"02000777L000AAAAAA", "02000777L001BBBBBB"}));

    linea->comandi.clear();
    carte = {"BBBBBB", "CCCCCC"};
    nome("ROTTO");
    s.dialogs.expectMsg("Il file già esiste. I dati verranno messi in coda.", mb::Information, "Messaggio");
    s.dialogs.expectMsg(avviso, mb::Exclamation, "Attenzione");
    u().Command1.click();
    EXPECT_EQ(leggi("ROTTO"), testo + "\"002CCCCCC\"\r\n");
    EXPECT_EQ(esiti, (std::vector<std::string>{"La carta è già in archivio.", "Scrittura nel file Ok. [verde]"}));
    EXPECT_TRUE(s.dialogs.allAnswered());
}

// A last line left without its end (an archive edited by hand, one cut short by a crash and padded
// with NULs) is ended before the new record, so the record gets a line of its own and the
// duplicate test finds it. A NUL last byte once read as an empty file.
TEST_F(Archive, ARecordIsNeverGluedOntoAnUnendedLastLine) {
    s.app().imp.FlagBeep = false;
    struct Caso {
        std::string fine;  // what ends the file's last line
        const char* dopo;  // what the file holds after the new record is appended
    } casi[] = {{"", "\r\n"}, {"\r", "\n"}, {"\n", ""}, {std::string("\r\n\0", 3), "\r\n"}};
    for (const auto& c : casi) {
        SCOPED_TRACE(testing::PrintToString(c.fine));
        esiti.clear();
        const std::string vecchio = "\"041BBBBBB\"" + c.fine;
        scrivi("VECCHIO", vecchio);
        carte = {"CCCCCC", "CCCCCC"};
        nome("VECCHIO");
        s.dialogs.expectMsg("Il file già esiste. I dati verranno messi in coda.", mb::Information, "Messaggio");
        if (c.fine.find('\0') != std::string::npos)
            s.dialogs.expectMsg("Righe non valide nel file " + file("VECCHIO") + ", ignorate: 2.", mb::Exclamation,
                                "Attenzione");
        u().Command1.click();
        EXPECT_EQ(leggi("VECCHIO"), vecchio + c.dopo + "\"042CCCCCC\"\r\n");
        EXPECT_EQ(esiti, (std::vector<std::string>{"Scrittura nel file Ok. [verde]", "La carta è già in archivio."}));
    }
}

// A card code is 6 printable characters: a reply carrying CR LF or a quote would forge or break a
// record, so anything else is reported and nothing is written.
TEST_F(Archive, OnlyASixCharacterPrintableCodeIsWritten) {
    s.app().imp.FlagBeep = false;
    carte = {"ABC\r\n\"0001ZZZZZZ", "AB\r\n12", "ABCDE", "ABCDEFG", "AB\"DEF", std::string("AB\0DEF", 6),
             "ABC\x90" "EF", "ABCDEF"};
    nome("NUOVO");
    u().Command1.click();
    EXPECT_EQ(leggi("NUOVO"), "\"000ABCDEF\"\r\n");
    std::vector<std::string> attesi(7, "Codice della carta non valido: nulla è stato scritto nel file.");
    attesi.push_back("Scrittura nel file Ok. [verde]");
    EXPECT_EQ(esiti, attesi);
    EXPECT_EQ(u().Label2.ForeColor(), colour::Green);
}

TEST_F(Archive, RefusedWhilePollingOrAutomaticOutputsAreOn) {
    struct {
        bool* flag;
        const char* messaggio;
    } casi[] = {{&s.app().PollingAttivo, "Disabilitare prima il polling."},
                {&s.app().OutputAutomatico, "Disabilitare prima l'output automatico."}};
    for (const auto& c : casi) {
        *c.flag = true;
        for (auto* b : {&u().Command1, &u().Command2}) {
            s.dialogs.expectMsg(c.messaggio, mb::Exclamation, "Messaggio");
            b->click();
        }
        *c.flag = false;
    }
    EXPECT_TRUE(comandi().empty());
}

TEST_F(Archive, BackReturnsToTheReadersWindow) {
    auto& lettori = s.app().form<FrmConfLettori>();
    EXPECT_FALSE(lettori.Enabled());
    u().close();
    EXPECT_FALSE(s.app().isLoaded(FrmUtilTessaro::kName));
    EXPECT_TRUE(lettori.Enabled());
    EXPECT_TRUE(lettori.Visible());
}

}  // namespace
}  // namespace vc
