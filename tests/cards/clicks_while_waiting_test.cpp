// What the operator does to the cards window while one of its handlers yields: the schedule
// look-up and the save walk the schedules and draw the wait window, and a click or a close that
// arrives meanwhile must neither free what the handler holds nor break its run.

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "cards/cards_fixture.h"
#include "cards/frm_fasce_online.h"

namespace vc {
namespace {

class ClicksWhileWaiting : public ::testing::Test {
protected:
    // A station with two cards, the first on-line on schedule "Feriale", the cards window open.
    struct Caso : test::Postazione {
        Caso() {
            fascia("Notte");
            fascia("Feriale", "Lunedi = 1, Lun_1_da = '08:00', Lun_1_a = '12:00'");
            carta("0012", "Rossi", "Flag_online = 1, Flag_fasce = 1, NomeFascia = 'Feriale'");
            carta("0013", "Verdi");
            w = &apri();
        }
        // Does 'azione' at the first yield at which 'quando' holds, as the operator would.
        void allaPrimaAttesa(std::function<bool()> quando, std::function<void()> azione) {
            s.loop.post([this, quando, azione] {
                if (!quando()) return allaPrimaAttesa(quando, azione);
                fatto = true;
                azione();
            });
        }
        FrmCardsAbil* w = nullptr;
        bool fatto = false;
    };
};

TEST_F(ClicksWhileWaiting, TheScheduleLookUpEndsOnTheCardItStartedFrom) {
    struct Intervento {
        const char* nome;
        std::function<void(FrmCardsAbil&)> fai;
    } interventi[] = {
        {"a second \"Fasce orarie\"", [](FrmCardsAbil& w) { w.Command9.click(); }},
        {"the next card", [](FrmCardsAbil& w) { w.Command1.click(); }},
        {"back to the main window", [](FrmCardsAbil& w) { w.Command7.click(); }},
        {"the title-bar close", [](FrmCardsAbil& w) { w.close(); }},
    };
    for (const auto& i : interventi) {
        SCOPED_TRACE(i.nome);
        auto c = std::make_unique<Caso>();
        c->allaPrimaAttesa([] { return true; }, [&] { i.fai(*c->w); });
        c->w->Command9.click();
        EXPECT_TRUE(c->fatto);
        App& app = c->s.app();
        ASSERT_TRUE(app.isLoaded(FrmCardsAbil::kName));
        EXPECT_FALSE(c->w->Enabled());
        EXPECT_EQ(c->w->Text4.Text(), "0012");
        EXPECT_FALSE(app.form("FrmMain").Visible());
        EXPECT_FALSE(app.isLoaded("FrmWait"));
        auto& vista = app.form<FrmFasceOnline>();
        EXPECT_TRUE(vista.Visible());
        EXPECT_EQ(vista.Text5.Text(), "Feriale");
        EXPECT_EQ(vista.text1[0].Text(), "08:00");
        EXPECT_EQ(vista.Label5.Caption(), "0012");
    }
}

TEST_F(ClicksWhileWaiting, AnnullaOrASecondSaveDuringTheSaveChangeNothing) {
    struct Momento {
        const char* nome;
        std::function<bool(Caso&)> quando;
    } momenti[] = {
        {"the number check's schedule walk", [](Caso&) { return true; }},
        {"the wait window", [](Caso& c) { return c.s.app().isLoaded("FrmWait"); }},
        {"the write's schedule walk", [](Caso& c) { return c.w->Data1.recordset()->editing(); }},
    };
    struct Pulsante {
        const char* nome;
        CommandButton FrmCardsAbil::*pulsante;
    } pulsanti[] = {{"Annulla", &FrmCardsAbil::Command3}, {"Salva dati", &FrmCardsAbil::Command4}};
    for (bool nuova : {true, false}) {
        for (const auto& m : momenti) {
            for (const auto& p : pulsanti) {
                SCOPED_TRACE(std::string(nuova ? "new card, " : "edit, ") + p.nome + " at " + m.nome);
                auto c = std::make_unique<Caso>();
                FrmCardsAbil& w = *c->w;
                if (nuova) {
                    w.Command3.click();
                    w.Text4.type("7");
                    w.Check4.click();
                    w.Combo1.setText("Feriale");
                } else {
                    w.Command4.click();
                }
                w.text1.retype("Bianchi");
                c->allaPrimaAttesa([&] { return m.quando(*c); }, [&] { (w.*p.pulsante).click(); });
                w.Command4.click();
                EXPECT_TRUE(c->fatto);

                const auto carte = c->righe("SELECT NumeroCarta, Cognome, NomeFascia, Lunedi, Lun_1_da FROM Carte");
                ASSERT_EQ(carte.size(), nuova ? 3u : 2u);
                const auto& salvata = nuova ? carte[2] : carte[0];
                EXPECT_EQ(salvata.at("NumeroCarta"), nuova ? "0007" : "0012");
                EXPECT_EQ(salvata.at("Cognome"), "Bianchi");
                EXPECT_EQ(salvata.at("NomeFascia"), "Feriale");
                EXPECT_EQ(salvata.at("Lun_1_da"), "08:00");
                EXPECT_EQ(carte[0].at("Cognome"), nuova ? "Rossi" : "Bianchi");
                EXPECT_EQ(carte[1].at("Cognome"), "Verdi");

                EXPECT_EQ(w.Label6.Caption(), nuova ? "3 / 3" : "1 / 2");
                EXPECT_EQ(w.text1.Text(), "Bianchi");
                EXPECT_EQ(w.Command3.Caption(), "Nuovo utente");
                EXPECT_EQ(w.Command4.Caption(), "Modifica utente");
                EXPECT_TRUE(w.Enabled());
                EXPECT_FALSE(c->s.app().ModificaAttiva);
                EXPECT_FALSE(c->s.app().isLoaded("FrmWait"));
            }
        }
    }
}

}  // namespace
}  // namespace vc
