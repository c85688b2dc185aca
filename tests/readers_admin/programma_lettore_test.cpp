#include <gtest/gtest.h>

#include <functional>

#include "core/main/frm_main.h"
#include "core/main/frm_wait.h"
#include "lettori_in_linea.h"
#include "readers_admin/frm_conf_lettori.h"
#include "riga_lettore.h"
#include "support/fakes.h"

namespace vc {
namespace {

constexpr int Domanda = mb::Question | mb::YesNoCancel;
const std::string Posizioni4 = "\x80\x81\x82\x83\x84\x85\x86\x87\x88\x89";

// The reader at address 3, plant code 000123, opening time 5, shown by the readers window. It
// answers every command with "S" unless told otherwise; the reset's status is its 2nd character.
class Programming : public ::testing::Test {
protected:
    void avvia(const test::RigaLettore& riga = {}) {
        test::InserisciLettore(s, riga);
        linea = std::make_unique<test::LettoriInLinea>(s, 0);
        linea->risposta = [this](const std::string& t) { return risposta(t); };
        linea->durante = [this] { abilitataDurante = abilitataDurante || w().Enabled(); };
        s.clock.set({2027, 2, 3, 9, 5, 0});
        w().Show();
    }
    FrmConfLettori& w() { return s.app().form<FrmConfLettori>(); }
    void programma(int scelta, const char* esito, int icona, const char* titolo) {
        s.dialogs.expectMsg("Vuoi resettare il lettore ?", Domanda, "Domanda", scelta);
        if (esito) s.dialogs.expectMsg(esito, icona, titolo);
        w().Command6.click();
        EXPECT_TRUE(w().Enabled());
        EXPECT_FALSE(s.app().isLoaded("FrmWait"));
    }
    void riuscito(int scelta) { programma(scelta, "Programmazione effettuata.", mb::Information, "Messaggio"); }
    const std::vector<std::string>& comandi() { return linea->comandi; }

    // By default every command is accepted; a test replaces the answer to one command letter.
    std::function<std::string(const std::string& testo)> risposta = [](const std::string& t) {
        return t[0] == 'W' ? std::string("S") : t.substr(0, 2) + "S";
    };
    bool abilitataDurante = false;  // the readers window was enabled while a frame went out
    test::Station s;
    std::unique_ptr<test::LettoriInLinea> linea;
};

TEST_F(Programming, WithoutResetSendsTheParametersAddressedWithTheReadersOwnCode) {
    avvia();
    riuscito(mb::No);
    const std::vector<std::string> attesi = {"03000123A00012300010", "03000123N010000", "03000123T0509030227",
                                             "03000123P" + Posizioni4};
    EXPECT_EQ(comandi(), attesi);
    EXPECT_FALSE(abilitataDurante);
    EXPECT_EQ(s.app().Linea.LoopCorrente, 1);
}

TEST_F(Programming, ResetThenWaitsForTheRestartAndUsesTheClearedCode) {
    avvia();
    int silenzi = 2;
    risposta = [&silenzi](const std::string& t) -> std::string {
        if (t[0] == 'W') return "S";
        if (t.substr(2, 7) == "000000D" && silenzi-- > 0) return "";
        return t.substr(0, 2) + "S";
    };
    riuscito(mb::Yes);
    ASSERT_GE(comandi().size(), 5u);
    EXPECT_EQ(comandi()[0], "W0300");
    EXPECT_EQ(comandi()[1], "03000000D");
    EXPECT_EQ(comandi()[2], "03000000D");
    EXPECT_EQ(comandi()[3], "03000000D");
    EXPECT_EQ(comandi()[4], "03000000A00012300010");
    EXPECT_EQ(comandi()[5], "03000123N010000");
}

TEST_F(Programming, CancelSendsNothing) {
    avvia();
    programma(mb::Cancel, nullptr, 0, "");
    EXPECT_TRUE(comandi().empty());
}

TEST_F(Programming, ThreeDigitCardsOptionsAndOneActiveBand) {
    s.setting("QuattroCifre", "No");
    s.setting("Ritardo", "7");
    s.setting("OrarioIniziale2", "07:30");
    s.setting("OrarioFinale2", "12:00");
    test::RigaLettore riga;
    riga.tipo = "TREN TR-C";
    riga.riscriviRam = 0;
    riga.testInput = 1;
    riga.fasce = 1;
    avvia(riga);
    riuscito(mb::No);
    const std::vector<std::string> attesi = {"03000123A0001230001000", "03000123N071111", "03000123T0509030227",
                                             "03000123P\x80\x81\x82\x84\x85\x86\x87\x88\x89",
                                             "03000123F207301200"};
    EXPECT_EQ(comandi(), attesi);
}

TEST_F(Programming, TheFirstReplyThatIsNotAnAcceptanceStopsTheSequence) {
    struct Caso {
        const char* nome;
        int reset;
        char comando;       // the command letter answered differently ('W' for the reset)
        std::string corpo;  // its reply body; "" for no answer
        const char* messaggio;
        int icona;
        std::size_t inviati;
    } casi[] = {
        {"no answer", mb::No, 'A', "", "Periferica non connessa.", mb::Exclamation, 1},
        {"wrong plant code", mb::No, 'N', "03C", "Errore nel codice applicazione.", mb::Exclamation, 2},
        {"transfer error", mb::No, 'T', "03D", "Errore nel trasferimento dati.", mb::Exclamation, 3},
        {"unknown status", mb::No, 'P', "03X", "Risposta sconosciuta.", mb::Critical, 4},
        {"reset unanswered", mb::Yes, 'W', "", "Periferica non connessa.", mb::Exclamation, 1},
        {"reset transfer error", mb::Yes, 'W', "D", "Errore nel trasferimento dati.", mb::Exclamation, 1},
    };
    avvia();
    for (const auto& c : casi) {
        SCOPED_TRACE(c.nome);
        linea->comandi.clear();
        risposta = [&c](const std::string& t) {
            const char lettera = t[0] == 'W' ? 'W' : t[8];
            if (lettera == c.comando) return c.corpo;
            return t[0] == 'W' ? std::string("S") : t.substr(0, 2) + "S";
        };
        programma(c.reset, c.messaggio, c.icona, "Attenzione");
        EXPECT_EQ(comandi().size(), c.inviati);
    }
}

TEST_F(Programming, AReaderThatNeverRestartsIsGivenUpAfterAHundredSeconds) {
    avvia();
    risposta = [](const std::string& t) { return t[0] == 'W' ? std::string("S") : std::string(); };
    programma(mb::Yes, "Il lettore non risponde.", mb::Exclamation, "Attenzione");
    const auto& t = linea->istanti;
    ASSERT_GE(t.size(), 3u);
    EXPECT_EQ(comandi().back(), "03000000D");
    // The last poll starts before the deadline and ends 2 s later.
    EXPECT_LT(t.back() - t[1], 100000);
    EXPECT_GE(t.back() - t[1], 98000);
}

// The step under way in the wait window: the reset, the seconds of the restart wait, then each
// parameter frame out of those this reader will get (here with one band).
TEST_F(Programming, TheWaitWindowShowsTheStepUnderWay) {
    s.setting("OrarioIniziale2", "07:30");
    s.setting("OrarioFinale2", "12:00");
    test::RigaLettore riga;
    riga.fasce = 1;
    avvia(riga);
    int silenzi = 2;
    risposta = [&silenzi](const std::string& t) -> std::string {
        if (t[0] == 'W') return "S";
        if (t.substr(2, 7) == "000000D" && silenzi-- > 0) return "";
        return t.substr(0, 2) + "S";
    };
    std::vector<std::string> mostrati;
    linea->durante = [&] {
        FrmWait& attesa = s.app().form<FrmWait>();
        mostrati.push_back(attesa.Label2.Caption());
        EXPECT_TRUE(attesa.Command1.effectivelyEnabled() && attesa.Command1.effectivelyVisible());
        EXPECT_FALSE(w().Enabled());
    };
    riuscito(mb::Yes);
    EXPECT_EQ(mostrati, (std::vector<std::string>{
                            "Reset del lettore",
                            "Attesa del riavvio del lettore: 0 s su 100",
                            "Attesa del riavvio del lettore: 2 s su 100",
                            "Attesa del riavvio del lettore: 4 s su 100",
                            "Invio dei parametri: comando 1 di 5",
                            "Invio dei parametri: comando 2 di 5",
                            "Invio dei parametri: comando 3 di 5",
                            "Invio dei parametri: comando 4 di 5",
                            "Invio dei parametri: comando 5 di 5",
                        }));
}

// The stop lets the frame under way end and sends nothing more; the closing message says what
// the reader took.
TEST_F(Programming, AnnullaStopsAfterTheFrameUnderWay) {
    struct Caso {
        const char* nome;
        int reset;
        std::size_t al;  // pressed during this frame (1-based)
        bool chiude;     // closes the wait window instead
        const char* messaggio;
    } casi[] = {
        {"during the options", mb::No, 2, false,
         "Programmazione interrotta.\r\nParametri accettati dal lettore: 2 su 4; gli altri non sono stati inviati."},
        {"closing the wait window while the reader restarts", mb::Yes, 2, true,
         "Programmazione interrotta.\r\nIl lettore è stato resettato.\r\nParametri accettati dal lettore: 0 su 4; "
         "gli altri non sono stati inviati."},
    };
    avvia();
    // A reader that never comes back after the reset: only the stop ends the wait early.
    risposta = [](const std::string& t) {
        return t[0] == 'W' ? std::string("S") : t.substr(2, 7) == "000000D" ? std::string() : t.substr(0, 2) + "S";
    };
    for (const auto& c : casi) {
        SCOPED_TRACE(c.nome);
        linea->comandi.clear();
        linea->alComando(c.al, [&] {
            FrmWait& attesa = s.app().form<FrmWait>();
            if (c.chiude)
                attesa.close();
            else
                attesa.Command1.click();
        });
        programma(c.reset, c.messaggio, mb::Information, "Messaggio");
        EXPECT_EQ(comandi().size(), c.al);
        EXPECT_TRUE(w().Visible());
    }
}

TEST_F(Programming, RefusedWhilePollingOrAutomaticOutputsAreOn) {
    avvia();
    struct {
        bool* flag;
        const char* messaggio;
    } casi[] = {{&s.app().PollingAttivo, "Disabilitare prima il polling."},
                {&s.app().OutputAutomatico, "Disabilitare prima l'output automatico."}};
    for (const auto& c : casi) {
        *c.flag = true;
        s.dialogs.expectMsg(c.messaggio, mb::Exclamation, "Messaggio");
        w().Command6.click();
        *c.flag = false;
    }
    EXPECT_TRUE(comandi().empty());
    EXPECT_TRUE(w().Enabled());
}

}  // namespace
}  // namespace vc
