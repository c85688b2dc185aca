#include <gtest/gtest.h>

#include "cards/cards_fixture.h"
#include "cards/frm_card_search.h"
#include "cards/frm_def_fasce.h"
#include "cards/frm_pass_abil.h"

namespace vc {
namespace {

// ---- reader association ----

class Associazione : public test::CardsTest {
protected:
    FrmPassAbil& associa(FrmCardsAbil& w) {
        w.Command8.click();
        EXPECT_FALSE(w.Enabled());
        auto& a = s.app().form<FrmPassAbil>();
        EXPECT_TRUE(a.Visible());
        return a;
    }
};

TEST_F(Associazione, BoxesShowTheReadersAndTheCardsFlagsReadOnlyInBrowse) {
    lettore(1, "INGRESSO");
    lettore(2, "USCITA  ");
    lettore(3, "MENSA   ");
    carta("0001", "Rossi", "Lettore = '101'");
    auto& w = apri();
    auto& a = associa(w);
    EXPECT_EQ(a.SSTab1.Tab(), 0);
    const char* luoghi[] = {"INGRESSO", "USCITA  ", "MENSA   "};
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(a.Check1[i].Enabled());
        EXPECT_EQ(a.Check1[i].Caption(), luoghi[i]);
    }
    EXPECT_EQ(a.Check1[0].Value(), 1);
    EXPECT_EQ(a.Check1[1].Value(), 0);
    EXPECT_EQ(a.Check1[2].Value(), 1);
    for (int i = 3; i < 64; ++i) {
        EXPECT_FALSE(a.Check1[i].Enabled()) << i;
        EXPECT_EQ(a.Check1[i].Caption(), "") << i;
        EXPECT_EQ(a.Check1[i].Value(), 0) << i;
    }
    a.Check1[0].click();  // not editing: read-only
    EXPECT_EQ(a.Check1[0].Value(), 1);
    a.Command1.click();
    EXPECT_FALSE(s.app().isLoaded(FrmPassAbil::kName));
    EXPECT_TRUE(w.Enabled());
    EXPECT_EQ(s.app().LettoriCarta[0], 1);
    EXPECT_EQ(s.app().LettoriCarta[2], 1);
    EXPECT_EQ(s.app().LettoriCarta[3], 0);  // beyond the readers: 0 whatever it held
}

TEST_F(Associazione, ChangesReachTheCardOnlyWhenItIsSaved) {
    lettore(1, "INGRESSO");
    lettore(2, "USCITA  ");
    carta("0001", "Rossi", "Lettore = '11'");
    auto& w = apri();
    w.Command4.click();
    auto& a = associa(w);
    a.Check1[0].click();
    a.Command1.click();
    EXPECT_EQ(s.app().LettoriCarta[0], 0);
    EXPECT_EQ(cartaNumero("0001").at("Lettore"), "11");
    w.Command4.click();
    EXPECT_EQ(cartaNumero("0001").at("Lettore"), "01" + std::string(62, '0'));
}

TEST_F(Associazione, SecondTabHoldsReadersFrom33AndFlagsBeyondTheReadersAreDropped) {
    for (int i = 1; i <= 33; ++i) lettore(i % 32, "L" + std::to_string(i));
    carta("0001", "Rossi", "Lettore = '" + std::string(39, '0') + "1'");
    auto& w = apri();
    w.Command4.click();
    EXPECT_EQ(s.app().LettoriCarta[39], 1);
    auto& a = associa(w);
    EXPECT_TRUE(a.Check1[32].Enabled());
    EXPECT_EQ(a.Check1[32].Caption(), "L33");
    EXPECT_FALSE(a.Check1[32].effectivelyVisible());  // on the second tab
    a.SSTab1.choose(1);
    EXPECT_TRUE(a.Check1[32].effectivelyVisible());
    EXPECT_FALSE(a.Check1[33].Enabled());
    EXPECT_FALSE(a.Check1[39].Enabled());
    EXPECT_EQ(a.Check1[39].Value(), 0);
    a.Command1.click();
    EXPECT_EQ(s.app().LettoriCarta[39], 0);
}

TEST_F(Associazione, NoReadersNoWindow) {
    carta("0001");
    auto& w = apri();
    s.dialogs.expectMsg("Non ci sono lettori memorizzati nel database.", mb::Exclamation, "Attenzione");
    w.Command8.click();
    EXPECT_TRUE(w.Enabled());
    EXPECT_FALSE(s.app().isLoaded(FrmPassAbil::kName));
}

TEST_F(Associazione, ClosingTheWindowKeepsTheFlagsAndBringsTheCardsBack) {
    lettore(1, "INGRESSO");
    carta("0001", "Rossi", "Lettore = '1'");
    auto& w = apri();
    w.Command4.click();
    auto& a = associa(w);
    a.Check1[0].click();
    a.close();
    EXPECT_EQ(s.app().LettoriCarta[0], 1);
    EXPECT_TRUE(w.Enabled());
    EXPECT_FALSE(s.app().isLoaded(FrmPassAbil::kName));
}

// ---- card search ----

// A click queued on the cards window before its close unloaded it: the association window
// opened from the window left behind would bring a cards window back beside the main one.
TEST_F(Associazione, AClickQueuedBeforeTheCloseIsIgnored) {
    lettore(1, "INGRESSO");
    carta("0001", "Rossi", "Lettore = '1'");
    auto& w = apri();
    s.loop.post([&] { w.close(); });
    s.loop.post([&] { w.Command8.click(); });
    s.loop.doEvents();
    EXPECT_FALSE(s.app().isLoaded(FrmPassAbil::kName));
    EXPECT_FALSE(s.app().isLoaded(FrmCardsAbil::kName));
    EXPECT_TRUE(s.app().form("FrmMain").Visible() && s.app().form("FrmMain").Enabled());
}

class Ricerca : public test::CardsTest {
protected:
    FrmCardsAbil& apriTre() {
        carta("0045", "Rossi");
        carta("0450", "Bianchi ");
        carta("0007", "Rossi", "Lettore = '0'");
        auto& w = apri();
        w.Command13.click();
        return w;
    }
    FrmCardSearch& cerca(FrmCardsAbil& w) {
        w.Command10.click();
        EXPECT_FALSE(w.Enabled());
        return s.app().form<FrmCardSearch>();
    }
};

TEST_F(Ricerca, FirstExactMatchInRecordOrderWins) {
    struct Caso {
        int campo;  // 0 "Numero carta", 1 "Cognome"
        const char* testo;
        const char* posizione;  // Label6 afterwards, "" for "not found"
    } casi[] = {
        {0, "45", "1 / 3"},
        {0, "450", "2 / 3"},
        {0, "045", ""},
        {0, "0045", ""},
        {1, "Rossi", "1 / 3"},
        {1, "rossi", ""},
        {1, "Bianchi", ""},
        {1, "Bianchi ", "2 / 3"},
    };
    auto& w = apriTre();
    for (const auto& c : casi) {
        SCOPED_TRACE(c.testo);
        w.Command13.click();
        auto& r = cerca(w);
        r.Combo1.choose(c.campo);
        r.text1.type(c.testo);
        if (!*c.posizione) s.dialogs.expectMsg("Nessun record trovato.", mb::Information, "Messaggio");
        r.Command1.click();
        EXPECT_FALSE(s.app().isLoaded(FrmCardSearch::kName));
        EXPECT_TRUE(w.Enabled());
        EXPECT_EQ(w.Label6.Caption(), *c.posizione ? c.posizione : "3 / 3");
    }
}

TEST_F(Ricerca, ShownCardIsRedrawnFromTheRecord) {
    auto& w = apriTre();
    s.app().LettoriCarta.fill(1);
    auto& r = cerca(w);
    r.Combo1.choose(0);
    r.text1.type("99");
    s.dialogs.expectMsg("Nessun record trovato.", mb::Information, "Messaggio");
    r.Command1.click();
    EXPECT_EQ(w.Text4.Text(), "0007");
    EXPECT_EQ(s.app().LettoriCarta[0], 0);
    EXPECT_EQ(s.app().LettoriCarta[1], 0);
    w.Command2.click();  // navigation goes on from the card found
    EXPECT_EQ(w.Text4.Text(), "0450");
}

TEST_F(Ricerca, NothingToSearchBeforeAFieldIsChosen) {
    auto& w = apriTre();
    auto& r = cerca(w);
    EXPECT_FALSE(r.Command1.Enabled());
    EXPECT_FALSE(r.text1.Enabled());
    r.Combo1.choose(1);
    EXPECT_EQ(r.Frame2.Caption(), "Inserisci il cognome");
    EXPECT_EQ(r.TipoRicerca, 2);
    EXPECT_TRUE(r.Command1.Enabled());
    r.Combo1.choose(0);
    EXPECT_EQ(r.Frame2.Caption(), "Inserisci il numero carta");
    r.Command2.click();
    EXPECT_TRUE(w.Enabled());
    EXPECT_EQ(w.Label6.Caption(), "3 / 3");

    auto& again = cerca(w);  // each opening starts afresh
    EXPECT_FALSE(again.Command1.Enabled());
    again.close();
    EXPECT_TRUE(w.Enabled());
    EXPECT_FALSE(s.app().isLoaded(FrmCardSearch::kName));
}

// ---- bands and schedule views ----

using Viste = test::CardsTest;

TEST_F(Viste, StandAloneCardShowsTheSettingsBandsWithItsOwnHighlighted) {
    struct Caso {
        int banda;  // SceltaFascia
        bool verdi[3];
    } casi[] = {{2, {false, true, false}}, {0, {true, true, true}}};
    for (const auto& c : casi) {
        SCOPED_TRACE(c.banda);
        auto t = std::make_unique<test::Postazione>();
        t->s.setting("FasceOrarie", "Si");
        t->s.setting("OrarioIniziale2", "08:00");
        t->s.setting("OrarioFinale2", "12:00");
        t->carta("0001", "Rossi", "SceltaFascia = " + std::to_string(c.banda));
        auto& w = t->apri();
        w.Command9.click();
        EXPECT_FALSE(w.Enabled());
        auto& v = t->s.app().form<FrmDefFasce>();
        EXPECT_TRUE(v.Visible());
        for (int k = 0; k < 3; ++k) {
            for (TextBox* b : {&v.text1[k], &v.Text2[k]}) {
                EXPECT_EQ(b->BackColor(), c.verdi[k] ? colour::Green : colour::Red) << k;
                EXPECT_EQ(b->ForeColor(), c.verdi[k] ? colour::Black : colour::White) << k;
                EXPECT_TRUE(b->Locked());
            }
        }
        EXPECT_EQ(v.text1[1].Text(), "08:00");
        EXPECT_EQ(v.Text2[1].Text(), "12:00");
        EXPECT_EQ(v.text1[0].Text(), "##:##");
        v.Command1.click();
        EXPECT_FALSE(t->s.app().isLoaded(FrmDefFasce::kName));
        EXPECT_TRUE(w.Enabled());
    }
}

TEST_F(Viste, OnLineCardShowsItsScheduleReadOnly) {
    fascia("Altro", "Sabato = 1");
    fascia(" Feriale ", "Lunedi = 1, Martedi = 1, Mercoledi = 1, Giovedi = 1, Venerdi = 1, "
                        "Lun_1_da = '08:00', Lun_1_a = '12:00', Ven_2_a = '19:00'");
    carta("0012", "Rossi", "Flag_online = 1, Flag_fasce = 1, NomeFascia = 'Feriale  '");
    auto& w = apri();
    w.Command9.click();
    EXPECT_TRUE(s.app().FasceDaCarte);
    EXPECT_FALSE(w.Enabled());
    EXPECT_FALSE(s.app().isLoaded("FrmWait"));
    Form& f = s.app().form("FrmFasceOnline");
    EXPECT_TRUE(f.Visible());
    auto ctl = [&](const char* nome, int i = -1) -> Control& { return *f.control(nome, i); };
    EXPECT_EQ(static_cast<TextBox&>(ctl("Text5")).Text(), " Feriale ");
    EXPECT_TRUE(static_cast<TextBox&>(ctl("Text5")).Locked());
    for (int d = 0; d < 7; ++d) {
        const bool feriale = d < 5;
        EXPECT_EQ(static_cast<CheckBox&>(ctl("Check1", d)).Value(), feriale ? 1 : 0) << d;
        EXPECT_EQ(static_cast<Frame&>(ctl("Frame2", d)).ForeColor(), feriale ? colour::Green : colour::Red) << d;
    }
    EXPECT_EQ(static_cast<TextBox&>(ctl("text1", 0)).Text(), "08:00");
    EXPECT_EQ(static_cast<TextBox&>(ctl("Text2", 0)).Text(), "12:00");
    EXPECT_EQ(static_cast<TextBox&>(ctl("Text4", 4)).Text(), "19:00");
    EXPECT_EQ(static_cast<TextBox&>(ctl("Text3", 6)).Text(), "##:##");
    EXPECT_FALSE(ctl("Frame1").Enabled());
    EXPECT_TRUE(ctl("Frame3").Enabled());
    for (const char* b : {"Command1", "Command2", "Command3", "Command5", "Command6", "Command7", "Command8"})
        EXPECT_FALSE(ctl(b).Enabled()) << b;
    EXPECT_TRUE(ctl("Command4").Enabled());
    EXPECT_EQ(static_cast<Frame&>(ctl("Frame4")).Caption(), "N.Carta");
    EXPECT_EQ(static_cast<Label&>(ctl("Label5")).Caption(), "0012");

    static_cast<CommandButton&>(ctl("Command4")).click();  // "Esci" goes back to the cards
    EXPECT_FALSE(s.app().isLoaded("FrmFasceOnline"));
    EXPECT_TRUE(w.Enabled());
    EXPECT_TRUE(w.Visible());
}

TEST_F(Viste, OnLineCardWithoutAKnownScheduleSaysWhy) {
    struct Caso {
        const char* nome;
        const char* messaggio;
    } casi[] = {
        {"", "Non è stato inserito nessun turno."},
        {"feriale", "Il turno definito nelle fasce orarie non esiste."},  // letter case counts
    };
    for (const auto& c : casi) {
        SCOPED_TRACE(c.messaggio);
        auto t = std::make_unique<test::Postazione>();
        t->fascia("Feriale");
        t->carta("0012", "Rossi", std::string("Flag_online = 1, Flag_fasce = 1, NomeFascia = ") + sqlQuote(c.nome));
        auto& w = t->apri();
        t->s.dialogs.expectMsg(c.messaggio, mb::Exclamation, "Attenzione");
        w.Command9.click();
        EXPECT_TRUE(w.Enabled());
        EXPECT_FALSE(t->s.app().isLoaded("FrmFasceOnline"));
        EXPECT_FALSE(t->s.app().isLoaded("FrmWait"));
    }
}

}  // namespace
}  // namespace vc
