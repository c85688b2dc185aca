#include <gtest/gtest.h>

#include <functional>

#include "cards/cards_fixture.h"
#include "common/carte.h"

namespace vc {
namespace {

constexpr int Avviso = mb::Exclamation;

class CardsWindow : public test::CardsTest {
protected:
    // Command1 .. Command15 enabled, as a string of '1' and '0'.
    static std::string pulsanti(FrmCardsAbil& w) {
        CommandButton* b[] = {&w.Command1, &w.Command2,  &w.Command3,  &w.Command4,  &w.Command5,
                              &w.Command6, &w.Command7,  &w.Command8,  &w.Command9,  &w.Command10,
                              &w.Command11, &w.Command12, &w.Command13, &w.Command14, &w.Command15};
        std::string out;
        for (auto* p : b) out += p->Enabled() ? '1' : '0';
        return out;
    }
    std::size_t quanteCarte() { return righe("SELECT rowid FROM Carte").size(); }
    void nuova(FrmCardsAbil& w, const std::string& cognome, const std::string& numero) {
        w.Command3.click();
        w.text1.type(cognome);
        w.Text4.type(numero);
    }
};

TEST_F(CardsWindow, EmptyTableShowsTheEmptyState) {
    auto& w = apri();
    EXPECT_EQ(w.Label6.Caption(), "0 Utenti");
    //                     123456789012345
    EXPECT_EQ(pulsanti(w), "111000100001100");
    EXPECT_EQ(s.app().PosizioneCarta, 0);
    for (auto* nav : {&w.Command1, &w.Command2, &w.Command12, &w.Command13}) nav->click();
    EXPECT_EQ(w.Label6.Caption(), "0 Utenti");
    EXPECT_EQ(w.text1.Text(), "");
    EXPECT_FALSE(w.Frame1.Enabled());
}

TEST_F(CardsWindow, BrowseShowsEachStoredCardAndStopsAtTheEnds) {
    carta("0001", "Rossi", "Flag_online = 1, Output2 = 1, MetodoInput = 1, Input2 = 1, ControllaInput = 1, "
                           "Flag_fasce = 1, NomeFascia = 'Turno A', Imparziale = 1, Lettore = '101'");
    carta("0002", "Bianchi", "SceltaFascia = 2, Note = 'portineria'");
    carta("0003", "Verdi");
    fascia(" Turno A ");
    auto& w = apri();
    EXPECT_EQ(w.Label6.Caption(), "1 / 3");
    EXPECT_EQ(w.text1.Text(), "Rossi");
    EXPECT_EQ(w.Check5.Value(), 1);
    EXPECT_EQ(w.Check2.Value(), 0);
    EXPECT_EQ(w.Check3.Value(), 1);
    EXPECT_TRUE(w.Option3.Value());
    EXPECT_TRUE(w.Option7.Value());
    EXPECT_TRUE(w.Option6.Value());
    EXPECT_TRUE(w.Option1.Value());
    EXPECT_EQ(w.Check4.Value(), 1);
    EXPECT_EQ(w.Combo1.ListCount(), 1);
    EXPECT_EQ(w.Combo1.List(0), "Turno A");  // the list holds the trimmed names
    EXPECT_EQ(w.Combo1.Text(), "Turno A");
    EXPECT_TRUE(s.app().CartaImparziale);
    EXPECT_EQ(s.app().LettoriCarta[0], 1);
    EXPECT_EQ(s.app().LettoriCarta[1], 0);
    EXPECT_EQ(s.app().LettoriCarta[2], 1);
    EXPECT_EQ(s.app().LettoriCarta[3], 0);  // beyond the stored text
    EXPECT_TRUE(w.Frame6.Visible());
    EXPECT_FALSE(w.Frame11.Visible());
    EXPECT_FALSE(w.Frame6.Enabled());

    w.Command2.click();  // previous on the first: nothing
    EXPECT_EQ(w.Label6.Caption(), "1 / 3");
    w.Command1.click();
    EXPECT_EQ(w.Label6.Caption(), "2 / 3");
    EXPECT_EQ(w.text1.Text(), "Bianchi");
    EXPECT_EQ(w.Text5.Text(), "portineria");
    EXPECT_TRUE(w.Option10.Value());
    EXPECT_FALSE(s.app().CartaImparziale);
    EXPECT_TRUE(w.Frame11.Visible());
    w.Command13.click();
    EXPECT_EQ(w.Label6.Caption(), "3 / 3");
    EXPECT_EQ(w.text1.Text(), "Verdi");
    w.Command1.click();  // next on the last: nothing
    EXPECT_EQ(w.text1.Text(), "Verdi");
    w.Command2.click();
    EXPECT_EQ(w.text1.Text(), "Bianchi");
    w.Command12.click();
    EXPECT_EQ(w.Label6.Caption(), "1 / 3");
    EXPECT_EQ(w.text1.Text(), "Rossi");
}

TEST_F(CardsWindow, NewCardIsStoredPaddedAndShownLast) {
    carta("0001", "Rossi");
    carta("0002", "Bianchi");
    auto& w = apri();
    w.Command3.click();
    EXPECT_EQ(w.Command3.Caption(), "Annulla");
    EXPECT_EQ(w.Command4.Caption(), "Salva dati");
    EXPECT_EQ(w.Label6.Caption(), "Nuovo...");
    EXPECT_EQ(pulsanti(w), "001100010000000");
    // The defaults of a new card.
    EXPECT_EQ(w.Check1.Value() + w.Check2.Value() + w.Check3.Value() + w.Check5.Value(), 4);
    EXPECT_EQ(w.Check4.Value(), 0);
    EXPECT_TRUE(w.Option2.Value() && w.Option4.Value() && w.Option5.Value() && w.Option7.Value() && w.Option12.Value());
    EXPECT_EQ(w.text1.Text(), "");
    for (auto v : s.app().LettoriCarta) EXPECT_EQ(v, 0);

    w.text1.type("Neri");
    w.Text2.type("Anna");
    w.Text3.type("Via Roma 1");
    w.Text4.type("12345");  // four characters fit
    EXPECT_EQ(w.Text4.Text(), "1234");
    w.Text4.retype("12");
    w.Text5.type("nuova");
    w.Check3.click();
    w.Command4.click();

    const auto c = cartaNumero("0012");
    ASSERT_FALSE(c.empty());
    EXPECT_EQ(c.at("Cognome"), "Neri");
    EXPECT_EQ(c.at("Nome"), "Anna");
    EXPECT_EQ(c.at("Indirizzo"), "Via Roma 1");
    EXPECT_EQ(c.at("Note"), "nuova");
    EXPECT_EQ(c.at("AbilitaCarta"), "1");
    EXPECT_EQ(c.at("Output1"), "1");
    EXPECT_EQ(c.at("Output2"), "0");
    EXPECT_EQ(c.at("Flag_online"), "1");
    EXPECT_EQ(c.at("ControllaInput"), "0");
    EXPECT_EQ(c.at("MetodoInput"), "0");
    EXPECT_EQ(c.at("Input1"), "1");
    EXPECT_EQ(c.at("Input2"), "1");
    EXPECT_EQ(c.at("SceltaFascia"), "0");
    EXPECT_EQ(c.at("Imparziale"), "0");
    EXPECT_EQ(c.at("Lettore"), std::string(64, '0'));
    EXPECT_EQ(c.at("Stringa"), "<null>");

    EXPECT_EQ(w.Label6.Caption(), "3 / 3");
    EXPECT_EQ(w.Text4.Text(), "0012");
    EXPECT_EQ(w.Command3.Caption(), "Nuovo utente");
    EXPECT_EQ(w.Command4.Caption(), "Modifica utente");
    EXPECT_EQ(pulsanti(w), "111111111111111");
    EXPECT_FALSE(w.Frame1.Enabled());
    EXPECT_FALSE(w.Frame6.Enabled());
    EXPECT_FALSE(s.app().ModificaAttiva);
    EXPECT_FALSE(s.app().isLoaded("FrmWait"));
    w.Command2.click();  // the position counts from the new last card
    EXPECT_EQ(w.text1.Text(), "Bianchi");
}

TEST_F(CardsWindow, SaveCopiesTheNamedScheduleOrClearsTheCopy) {
    fascia("Turno A  ", "Lunedi = 1, Lun_1_da = '08:00', Lun_1_a = '12:00', Dom_2_a = '23:00'");
    struct Caso {
        const char* combo;
        bool abilita;
        const char* nome;
        const char* lunedi;
        const char* lun1da;
        const char* dom2a;
    } casi[] = {
        {"  Turno A", true, "Turno A", "1", "08:00", "23:00"},
        {"turno a", false, "turno a", "0", "##:##", "##:##"},  // names match case-sensitively
        {"Notte", false, "Notte", "0", "##:##", "##:##"},
    };
    auto& w = apri();
    int numero = 1;
    for (const auto& c : casi) {
        SCOPED_TRACE(c.combo);
        nuova(w, "Rossi", std::to_string(numero));
        w.Check4.click();
        w.Combo1.retype(c.combo);
        if (!c.abilita) w.Check4.click();
        w.Command4.click();
        const auto r = cartaNumero("000" + std::to_string(numero++));
        ASSERT_FALSE(r.empty());
        EXPECT_EQ(r.at("NomeFascia"), c.nome);
        EXPECT_EQ(r.at("Flag_fasce"), c.abilita ? "1" : "0");
        EXPECT_EQ(r.at("Lunedi"), c.lunedi);
        EXPECT_EQ(r.at("Lun_1_da"), c.lun1da);
        EXPECT_EQ(r.at("Dom_2_a"), c.dom2a);
        EXPECT_EQ(r.at("Martedi"), "0");
    }
}

// The schedule box takes a typed name, or none: an on-line card that keeps "Abilita" must name a
// schedule, and one that drops it loses its schedule and the copy.
TEST_F(CardsWindow, ATypedScheduleNameIsCheckedAndAnEmptyOneClearsTheSchedule) {
    fascia("Turno A", "Lunedi = 1, Lun_1_da = '08:00'");
    carta("0001", "Rossi", "Flag_online = 1, Flag_fasce = 1, NomeFascia = 'Turno A', Lunedi = 1, Lun_1_da = '08:00'");
    auto& w = apri();
    ASSERT_EQ(w.Combo1.Text(), "Turno A");
    w.Command4.click();  // edit
    w.Combo1.retype("");
    s.dialogs.expectMsg("Non è stato definito nessun turno per le fasce orarie.", Avviso, "Attenzione");
    w.Command4.click();
    EXPECT_EQ(cartaNumero("0001").at("NomeFascia"), "Turno A");
    w.Check4.click();  // no schedule for this card
    w.Command4.click();
    const auto r = cartaNumero("0001");
    EXPECT_EQ(r.at("NomeFascia"), "");
    EXPECT_EQ(r.at("Flag_fasce"), "0");
    EXPECT_EQ(r.at("Lunedi"), "0");
    EXPECT_EQ(r.at("Lun_1_da"), "##:##");
    EXPECT_EQ(w.Combo1.Text(), "");
}

TEST_F(CardsWindow, ValidationStopsTheSaveAtTheFirstFault) {
    carta("0007", "Rossi");
    fascia("Giorno");
    struct Caso {
        const char* nome;
        std::function<void(FrmCardsAbil&)> prepara;
        const char* messaggio;
        const char* numeroDopo;  // Text4 after the refusal
    } casi[] = {
        {"empty number", [](FrmCardsAbil&) {}, "Errore nei dati. Controllare il numero carta.", ""},
        {"letters", [](FrmCardsAbil& w) { w.Text4.type("12a"); }, "Errore nei dati. Controllare il numero carta.",
         "12a"},
        {"sign", [](FrmCardsAbil& w) { w.Text4.type("-1"); }, "Errore nei dati. Controllare il numero carta.", "-1"},
        {"five characters", [](FrmCardsAbil& w) { w.Text4.setText("12345"); },
         "Errore nei dati. Controllare il numero carta.", "12345"},
        {"same value", [](FrmCardsAbil& w) { w.Text4.type("7"); }, "Numero di carta già assegnato.", "7"},
        {"same text", [](FrmCardsAbil& w) { w.Text4.type("0007"); }, "Numero di carta già assegnato.", "0007"},
        {"no such schedule",
         [](FrmCardsAbil& w) {
             w.Text4.type("5");
             w.Check4.click();
             w.Combo1.retype("Notte");
         },
         "Non è stato definito nessun turno per le fasce orarie.", "0005"},
    };
    auto& w = apri();
    for (const auto& c : casi) {
        SCOPED_TRACE(c.nome);
        w.Command3.click();
        c.prepara(w);
        s.dialogs.expectMsg(c.messaggio, Avviso, "Attenzione");
        w.Command4.click();
        EXPECT_EQ(w.Label6.Caption(), "Nuovo...");
        EXPECT_EQ(w.Text4.Text(), c.numeroDopo);
        EXPECT_TRUE(w.Frame1.Enabled());
        EXPECT_EQ(quanteCarte(), 1u);
        w.Command3.click();  // cancel
    }
    EXPECT_EQ(w.Label6.Caption(), "1 / 1");
}

TEST_F(CardsWindow, EditKeepsItsOwnNumberAndWritesTheCardShown) {
    carta("0001", "Rossi");
    carta("0002", "Bianchi");
    carta("0003", "Verdi");
    auto& w = apri();
    w.Command1.click();
    w.Command4.click();
    EXPECT_EQ(w.Label6.Caption(), "Modifica...");
    EXPECT_EQ(pulsanti(w), "001100011000000");
    w.Text4.retype("1");
    s.dialogs.expectMsg("Numero di carta già assegnato.", Avviso, "Attenzione");
    w.Command4.click();
    // The refusal walked the table; the save after it still writes the card being edited.
    w.Text4.retype("2");
    w.text1.retype("Bianchi Neri");
    w.Check1.click();
    w.Command4.click();
    EXPECT_EQ(w.Label6.Caption(), "2 / 3");
    EXPECT_EQ(w.text1.Text(), "Bianchi Neri");
    EXPECT_EQ(cartaNumero("0002").at("Cognome"), "Bianchi Neri");
    EXPECT_EQ(cartaNumero("0002").at("AbilitaCarta"), "0");
    EXPECT_EQ(cartaNumero("0001").at("Cognome"), "Rossi");
    EXPECT_EQ(quanteCarte(), 3u);
}

// Each field shown, then saved unchanged, comes back to its own column: the texts all differ,
// and each pair of yes/no fields differs in one of the cards (field i is set in card k when bit k
// of i + 1 is). The schedule copy the save refreshes is left out.
TEST(CardsWindowFields, ShowingThenSavingACardKeepsEveryField) {
    const char* siNo[] = {"AbilitaCarta", "Flag_online", "Output1",        "Output2",   "MetodoInput",
                          "Input1",       "Input2",      "ControllaInput", "Flag_fasce"};
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(k);
        test::Postazione p;
        p.fascia("Turno A");
        std::string set = "Nome = 'Anna', Indirizzo = 'Via Po 3', Note = 'portineria', NomeFascia = 'Turno A', "
                          "Imparziale = 1, Stringa = 'ABC', SceltaFascia = " + std::to_string(k);
        for (int i = 0; i < 9; ++i) set += std::string(", ") + siNo[i] + " = " + std::to_string((i + 1) >> k & 1);
        p.carta("0007", "Rossi", set);
        auto riga = [&p] {
            auto r = p.cartaNumero("0007");
            for (const char* campo : CampiGiorni) r.erase(campo);
            for (const char* campo : CampiOrari) r.erase(campo);
            return r;
        };
        const auto prima = riga();
        auto& w = p.apri();
        w.Command4.click();
        w.Command4.click();
        EXPECT_EQ(w.Command4.Caption(), "Modifica utente");
        EXPECT_EQ(riga(), prima);
    }
}

TEST_F(CardsWindow, EditingNeverChangesTheRandomCheckBlock) {
    carta("0001", "Rossi", "Imparziale = 1, Stringa = 'ABC'");
    auto& w = apri();
    w.Command4.click();
    w.Command4.click();
    EXPECT_EQ(cartaNumero("0001").at("Imparziale"), "1");
    EXPECT_EQ(cartaNumero("0001").at("Stringa"), "ABC");
}

TEST_F(CardsWindow, CancelShowsTheStoredCardOrTheEmptyState) {
    carta("0001", "Rossi", "Lettore = '01'");
    carta("0002", "Bianchi");
    auto& w = apri();
    w.Command1.click();
    w.Command4.click();
    w.text1.retype("Cambiato");
    s.app().LettoriCarta.fill(0);
    w.Command3.click();
    EXPECT_EQ(w.Label6.Caption(), "2 / 2");
    EXPECT_EQ(w.text1.Text(), "Bianchi");
    EXPECT_EQ(s.app().LettoriCarta[63], 1);  // the stored flags again
    EXPECT_EQ(w.Command3.Caption(), "Nuovo utente");
    EXPECT_FALSE(w.Frame1.Enabled());

    w.Command12.click();
    w.Command3.click();
    w.Command3.click();
    EXPECT_EQ(w.Label6.Caption(), "1 / 2");
    EXPECT_EQ(w.text1.Text(), "Rossi");
    EXPECT_EQ(pulsanti(w), "111111111111111");
}

TEST_F(CardsWindow, CancellingANewCardOnAnEmptyTableGoesBackToTheEmptyState) {
    auto& w = apri();
    w.Command3.click();
    w.text1.type("Neri");
    w.Command3.click();
    EXPECT_EQ(w.Label6.Caption(), "0 Utenti");
    EXPECT_EQ(w.text1.Text(), "");
    EXPECT_EQ(pulsanti(w), "111000100001100");
}

TEST_F(CardsWindow, DeleteAsksThenShowsTheFirstCardOrTheEmptyState) {
    carta("0001", "Rossi");
    carta("0002", "Bianchi");
    auto& w = apri();
    w.Command1.click();
    s.dialogs.expectMsg("Sei sicuro di voler eliminare l'utente ?", mb::YesNo | mb::Question, "Domanda", mb::No);
    w.Command5.click();
    EXPECT_EQ(quanteCarte(), 2u);
    EXPECT_EQ(w.Label6.Caption(), "2 / 2");

    s.dialogs.expectMsg("Sei sicuro di voler eliminare l'utente ?", mb::YesNo | mb::Question, "Domanda", mb::Yes);
    w.Command5.click();
    EXPECT_TRUE(cartaNumero("0002").empty());
    EXPECT_EQ(w.Label6.Caption(), "1 / 1");
    EXPECT_EQ(w.text1.Text(), "Rossi");

    s.dialogs.expectMsg("Sei sicuro di voler eliminare l'utente ?", mb::YesNo | mb::Question, "Domanda", mb::Yes);
    w.Command5.click();
    EXPECT_EQ(quanteCarte(), 0u);
    EXPECT_EQ(w.Label6.Caption(), "0 Utenti");
    EXPECT_EQ(w.text1.Text(), "");
    EXPECT_EQ(pulsanti(w), "111000100001100");
}

TEST_F(CardsWindow, DeleteShowsTheNextCardsOwnFrames) {
    carta("0001", "Rossi");  // stand-alone
    carta("0002", "Bianchi", "Flag_online = 1");
    auto& w = apri();
    w.Command1.click();  // to the on-line card
    ASSERT_TRUE(w.Frame6.Visible());
    s.dialogs.expectMsg("Sei sicuro di voler eliminare l'utente ?", mb::YesNo | mb::Question, "Domanda", mb::Yes);
    w.Command5.click();
    EXPECT_EQ(w.text1.Text(), "Rossi");
    EXPECT_FALSE(w.Frame6.Visible());
    EXPECT_TRUE(w.Frame11.Visible());
}

TEST_F(CardsWindow, BandOptionsFollowTheStandAloneBandSettings) {
    s.setting("FasceOrarie", "Si");
    s.setting("OrarioIniziale1", "08:00");
    s.setting("OrarioFinale1", "12:00");
    s.setting("OrarioIniziale3", "14:00");
    s.setting("OrarioFinale3", "18:00");
    carta("0001", "Rossi", "SceltaFascia = 3");
    carta("0002", "Bianchi", "SceltaFascia = 7");
    auto& w = apri();
    EXPECT_TRUE(w.Option9.Enabled());
    EXPECT_FALSE(w.Option10.Enabled());
    EXPECT_TRUE(w.Option11.Enabled());
    EXPECT_TRUE(w.Option12.Enabled());
    w.Command1.click();
    EXPECT_TRUE(w.Option11.Value());  // a band outside 0..3 leaves the options as they were

    s.app().imp.UsaFasceOrarie = false;
    w.Command4.click();
    EXPECT_FALSE(w.Option9.Enabled());
    EXPECT_FALSE(w.Option11.Enabled());
    EXPECT_TRUE(w.Option12.effectivelyEnabled());
    EXPECT_TRUE(w.Frame11.Enabled());
}

TEST_F(CardsWindow, OnLineBoxSwapsTheScheduleAndBandFramesWhileEditing) {
    carta("0001", "Rossi", "Flag_online = 1");
    auto& w = apri();
    w.Check5.setValue(0);  // outside the edit state the rule does nothing
    EXPECT_TRUE(w.Frame6.Visible());
    w.Check5.setValue(1);
    w.Command4.click();
    EXPECT_FALSE(w.Command9.Enabled());  // on-line without "Abilita"
    w.Check5.click();
    EXPECT_FALSE(w.Frame6.Visible());
    EXPECT_TRUE(w.Frame11.Visible());
    EXPECT_TRUE(w.Frame11.Enabled());
    EXPECT_TRUE(w.Command9.Enabled());
    w.Check5.click();
    w.Check4.click();
    EXPECT_TRUE(w.Frame6.Visible());
    EXPECT_TRUE(w.Combo1.Enabled());
    EXPECT_TRUE(w.Command9.Enabled());
}

TEST_F(CardsWindow, ReturnShowsTheMainWindowAndCloseIsIgnoredWhileEditing) {
    carta("0001");
    auto& w = apri();
    w.Command4.click();
    w.close();
    EXPECT_TRUE(s.app().isLoaded(FrmCardsAbil::kName));
    w.Command3.click();
    w.close();
    EXPECT_FALSE(s.app().isLoaded(FrmCardsAbil::kName));
    EXPECT_TRUE(s.app().form("FrmMain").Visible());
}

}  // namespace
}  // namespace vc
