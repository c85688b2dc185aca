#include <gtest/gtest.h>

#include "cards/cards_fixture.h"
#include "core/readers/carica_lettori.h"

namespace vc {
namespace {

constexpr const char* Passare = "Ora bisogna passare la carta su uno qualunque dei lettori presenti nella rete.";

class CartaEsterna : public test::CardsTest {
protected:
    FrmCardsAbil& apriOnLine() {
        lettore(1, "INGRESSO");
        lettore(2, "USCITA  ", 2);
        carta("0012", "Rossi", "Flag_online = 1");
        rispondi();
        return apri();
    }
    std::vector<std::string> polls() {
        std::vector<std::string> out;
        for (auto& c : comandi)
            if (c.at(8) == 'D') out.push_back(c);
        return out;
    }
};

TEST_F(CartaEsterna, FirstCardReadIsStoredAndThatReaderSwitchedOff) {
    auto& w = apriOnLine();
    letture[2] = {1, "ABCDEFGHIJ"};  // a 20-character reply on the second pass
    s.dialogs.expectMsg(Passare, mb::Information, "Messaggio");
    s.dialogs.expectMsg("Registrazione carta esterna OK !", mb::Information, "Messaggio");
    bool attesaBloccata = false;
    s.dialogs.onShow = [&](const test::ScriptedDialogs::Box& b) {
        if (b.text == "Registrazione carta esterna OK !")
            attesaBloccata = !w.Command1.Enabled() && !w.Command5.Enabled() && w.Command15.Enabled() &&
                             w.Command15.Caption() == "Fine passaggio carta esterna";
    };
    w.Command15.click();
    EXPECT_EQ(polls(), (std::vector<std::string>{"01000123D", "02000123D", "01000123D", "02000123D"}));
    EXPECT_EQ(comandi.back(), "02000123K000000000");
    EXPECT_EQ(s.app().Linea.LoopCorrente, 2);
    EXPECT_EQ(cartaNumero("0012").at("Stringa"), "ABCDEFGHIJ");
    EXPECT_TRUE(attesaBloccata);
    EXPECT_EQ(w.Command15.Caption(), "Registra carta esterna");
    EXPECT_TRUE(w.Command1.Enabled());
    EXPECT_TRUE(w.Command5.Enabled());
}

// The readers window saved while the card's poll waits moves reader 2 to another address and
// loop: the reader switched off is still the one that read the card.
TEST_F(CartaEsterna, AReloadOfTheReadersDuringThePollSwitchesOffTheReaderThatReadTheCard) {
    auto& w = apriOnLine();
    letture[2] = {0, "ABCDEFGHIJ"};
    s.serial.onWrite = [this, inner = s.serial.onWrite](const std::string& frame) {
        inner(frame);
        if (comandi.back() != "02000123D") return;
        s.loop.post([this] {
            s.sql("UPDATE Lettori SET NumeroIndirizzo = 5, NumeroLoop = 1 WHERE NumeroIndirizzo = 2");
            CaricaLettori(s.app());
        });
    };
    s.dialogs.expectMsg(Passare, mb::Information, "Messaggio");
    s.dialogs.expectMsg("Registrazione carta esterna OK !", mb::Information, "Messaggio");
    w.Command15.click();
    ASSERT_EQ(s.app().Lettori[1].NumeroIndirizzo, 5) << "the reload ran during the poll";
    EXPECT_EQ(comandi.back(), "02000123K000000000");
    EXPECT_EQ(s.app().Linea.LoopCorrente, 2);
}

TEST_F(CartaEsterna, ReadWithoutDataKeepsWaiting) {
    auto& w = apriOnLine();
    letture[1] = {0, ""};
    letture[2] = {0, "XY"};
    s.dialogs.expectMsg(Passare, mb::Information, "Messaggio");
    s.dialogs.expectMsg("Registrazione carta esterna OK !", mb::Information, "Messaggio");
    w.Command15.click();
    EXPECT_EQ(cartaNumero("0012").at("Stringa"), "XY");
    EXPECT_EQ(comandi.back(), "02000123K000000000");
}

TEST_F(CartaEsterna, PressingAgainStopsTheWaitWithNothingStored) {
    auto& w = apriOnLine();
    s.serial.onWrite = [this, &w, inner = s.serial.onWrite](const std::string& frame) {
        inner(frame);
        if (comandi.size() == 3) s.loop.post([&w] { w.Command15.click(); });
    };
    s.dialogs.expectMsg(Passare, mb::Information, "Messaggio");
    s.dialogs.expectMsg("Nessuna carta è stata passata.", mb::Information, "Messaggio");
    w.Command15.click();
    EXPECT_EQ(comandi.size(), 3u);  // no reader is polled after the stop, none switched off
    EXPECT_EQ(cartaNumero("0012").at("Stringa"), "<null>");
    EXPECT_EQ(w.Command15.Caption(), "Registra carta esterna");
    EXPECT_TRUE(w.Command1.Enabled());
}

TEST_F(CartaEsterna, ChecksComeBeforeAnyPoll) {
    struct Caso {
        const char* messaggio;
        int icona;
        const char* titolo;
        bool lettori;
        const char* modifiche;
        bool App::*attivo;
        bool cancellata;  // the card left the table behind the window
    } casi[] = {
        {"Non ci sono lettori.", mb::Exclamation, "Attenzione", false, "Flag_online = 1", nullptr, false},
        {"Opzione valida solo con l'On Line", mb::Exclamation, "Attenzione", true, "", nullptr, false},
        {"Disabilitare prima il polling.", mb::Exclamation, "Messaggio", true, "Flag_online = 1",
         &App::PollingAttivo, false},
        {"Disabilitare prima l'output automatico.", mb::Exclamation, "Messaggio", true, "Flag_online = 1",
         &App::OutputAutomatico, false},
        {"Il numero di carta non esiste.", mb::Information, "Messaggio", true, "Flag_online = 1", nullptr, true},
    };
    for (const auto& c : casi) {
        SCOPED_TRACE(c.messaggio);
        auto t = std::make_unique<test::Postazione>();
        t->rispondi();
        if (c.lettori) t->lettore(1, "INGRESSO");
        t->carta("0012", "Rossi", c.modifiche);
        auto& w = t->apri();
        if (c.attivo) t->s.app().*c.attivo = true;
        if (c.cancellata) t->s.sql("DELETE FROM Carte");
        t->s.dialogs.expectMsg(c.messaggio, c.icona, c.titolo);
        w.Command15.click();
        EXPECT_TRUE(t->comandi.empty());
        EXPECT_EQ(w.Command15.Caption(), "Registra carta esterna");
    }
}

TEST_F(CartaEsterna, ReleaseChecksTheCardThenAsks) {
    struct Caso {
        const char* messaggio;
        const char* modifiche;
        bool imparziale;
    } casi[] = {
        {"L'imparziale funziona solo in modalità On Line.", "Imparziale = 1", true},
        {"L'imparziale non è stato attivato.", "Flag_online = 1, Imparziale = 1", false},
        {"L'utente non è stato scelto per l'imparziale.", "Flag_online = 1", true},
    };
    for (const auto& c : casi) {
        SCOPED_TRACE(c.messaggio);
        auto t = std::make_unique<test::Postazione>();
        t->carta("0012", "Rossi", c.modifiche);
        auto& w = t->apri();
        t->s.app().imp.FlagImparziale = c.imparziale;
        t->s.dialogs.expectMsg(c.messaggio, mb::Exclamation, "Messaggio");
        w.Command14.click();
    }
}

TEST_F(CartaEsterna, ReleaseClearsTheBlockOnYesOnly) {
    carta("0011", "Bianchi", "Flag_online = 1, Imparziale = 1");
    carta("0012", "Rossi", "Flag_online = 1, Imparziale = 1");
    auto& w = apri();
    s.app().imp.FlagImparziale = true;
    w.Command1.click();
    const char* domanda = "Deselezionare l'utente dall'imparziale ?";
    s.dialogs.expectMsg(domanda, mb::YesNo | mb::Question, "Domanda", mb::No);
    w.Command14.click();
    EXPECT_EQ(cartaNumero("0012").at("Imparziale"), "1");

    s.dialogs.expectMsg(domanda, mb::YesNo | mb::Question, "Domanda", mb::Yes);
    s.dialogs.expectMsg("Utente riabilitato.", mb::Information, "Messaggio");
    w.Command14.click();
    EXPECT_EQ(cartaNumero("0012").at("Imparziale"), "0");
    EXPECT_EQ(cartaNumero("0011").at("Imparziale"), "1");
    EXPECT_FALSE(s.app().CartaImparziale);
    w.Command2.click();  // navigation goes on from the card shown
    EXPECT_EQ(w.text1.Text(), "Bianchi");
}

TEST_F(CartaEsterna, ReleaseOfACardGoneFromTheTableSaysSo) {
    carta("0011", "Bianchi", "Flag_online = 1");
    carta("0012", "Rossi", "Flag_online = 1, Imparziale = 1");
    auto& w = apri();
    s.app().imp.FlagImparziale = true;
    w.Command13.click();
    s.sql("UPDATE Carte SET NumeroCarta = '0099' WHERE NumeroCarta = '0012'");
    s.dialogs.expectMsg("Deselezionare l'utente dall'imparziale ?", mb::YesNo | mb::Question, "Domanda", mb::Yes);
    s.dialogs.expectMsg("Errore! Riprovare...", mb::Critical, "Errore");
    w.Command14.click();
    EXPECT_TRUE(s.app().CartaImparziale);
    EXPECT_EQ(cartaNumero("0099").at("Imparziale"), "1");
    w.Command2.click();
    EXPECT_EQ(w.text1.Text(), "Bianchi");
}

}  // namespace
}  // namespace vc
