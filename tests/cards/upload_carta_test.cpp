#include <gtest/gtest.h>

#include <memory>

#include "cards/cards_fixture.h"

namespace vc {
namespace {

// Card 0045: stand-alone, enabled, "And", "Controlla", "2 Off", "1 On", "Fascia 2", "Porta 1" only.
constexpr const char* Opzioni =
    "MetodoInput = 1, ControllaInput = 1, Input2 = 0, Input1 = 1, SceltaFascia = 2, Output1 = 1, Output2 = 0";

using UploadCarta = test::CardsTest;

// Readers 1 and 2 on loop 1, reader 3 on loop 2, and one card.
FrmCardsAbil& treLettori(test::Postazione& p, const char* modifiche = Opzioni, const char* numero = "0045") {
    p.lettore(1, "INGRESSO");
    p.lettore(2, "USCITA  ");
    p.lettore(3, "MENSA   ", 2);
    p.carta(numero, "Rossi", modifiche);
    p.rispondi();
    return p.apri();
}

TEST_F(UploadCarta, EveryReaderGetsStoreOrDeleteByTheCardsFlags) {
    struct Caso {
        const char* nome;
        bool quattroCifre;
        const char* numero;
        std::string modifiche;
        std::vector<std::string> attesi;
    } casi[] = {
        {"4 digits", true, "0045", std::string(Opzioni) + ", Lettore = '101'",
         {"01000123B00451001210", "02000123C0045", "03000123B00451001210"}},
        {"3 digits", false, "0045", std::string(Opzioni) + ", Lettore = '1'",
         {"01000123B0451001210", "02000123C045", "03000123C045"}},
        {"3 digits drop the first", false, "1234", std::string(Opzioni),
         {"01000123B2341001210", "02000123B2341001210", "03000123B2341001210"}},
        {"disabled card", true, "0045", std::string(Opzioni) + ", AbilitaCarta = 0",
         {"01000123C0045", "02000123C0045", "03000123C0045"}},
        {"not checked, Or, all day, both doors", true, "0045",
         "ControllaInput = 0, MetodoInput = 0, Input2 = 1, Input1 = 0, SceltaFascia = 0, Output1 = 0, Output2 = 1, "
         "Lettore = '11'",
         {"01000123B00450110001", "02000123B00450110001", "03000123C0045"}},
    };
    for (const auto& c : casi) {
        SCOPED_TRACE(c.nome);
        auto t = std::make_unique<test::Postazione>();
        t->s.setting("QuattroCifre", c.quattroCifre ? "Si" : "No");
        auto& w = treLettori(*t, c.modifiche.c_str(), c.numero);
        t->s.dialogs.expectMsg("Programmazione della carta effettuata.", mb::Information, "Messaggio");
        w.Command11.click();
        EXPECT_EQ(t->comandi, c.attesi);
        EXPECT_TRUE(w.Enabled());
        EXPECT_FALSE(t->s.app().isLoaded("FrmWait"));
    }
}

// A band no reader takes (a hand-edited database) is never sent: the card is deleted from every
// reader, also from the one it is enabled on, where an entry stored before would still admit it
// stand-alone, and the message names the card. The window shows the band options of the card
// before, which must not be sent for this one.
TEST_F(UploadCarta, StoredBandOutOfRangeDeletesTheCardEverywhere) {
    for (const char* fascia : {"7", "12", "-1"}) {
        SCOPED_TRACE(fascia);
        auto t = std::make_unique<test::Postazione>();
        t->lettore(1, "INGRESSO");
        t->lettore(2, "USCITA");
        t->carta("0010", "Bianchi", "SceltaFascia = 2");
        t->carta("0045", "Rossi", std::string("SceltaFascia = ") + fascia + ", Lettore = '10'");
        t->rispondi();
        auto& w = t->apri();
        w.Command13.click();  // the last card
        ASSERT_EQ(w.Text4.Text(), "0045");
        t->s.dialogs.expectMsg(std::string("Carta 0045: fascia oraria ") + fascia +
                                   " non valida, la carta è stata cancellata dai lettori invece di essere memorizzata.",
                               mb::Exclamation, "Attenzione");
        w.Command11.click();
        EXPECT_EQ(t->comandi, (std::vector<std::string>{"01000123C0045", "02000123C0045"}));
        EXPECT_TRUE(w.Enabled());
        EXPECT_FALSE(t->s.app().isLoaded("FrmWait"));
    }
}

TEST_F(UploadCarta, EachReaderIsAddressedOnItsOwnLoop) {
    s.setting("SchedaK-880", "Si");
    auto& w = treLettori(*this);
    s.dialogs.expectMsg("Programmazione della carta effettuata.", mb::Information, "Messaggio");
    w.Command11.click();
    std::vector<std::uint8_t> selezioni;
    for (auto& [porta, valore] : s.ports.writes)
        if (valore & 16) selezioni.push_back(valore);
    // (loop - 1) Or 8 Or 16 before each frame.
    EXPECT_EQ(selezioni, (std::vector<std::uint8_t>{24, 24, 25}));
}

TEST_F(UploadCarta, SilentReaderStopsTheRunWithItsTitle) {
    stati[2] = 0;
    auto& w = treLettori(*this);
    bool attesaMostrata = false;
    s.dialogs.onShow = [&](const test::ScriptedDialogs::Box&) { attesaMostrata = s.app().isLoaded("FrmWait"); };
    const auto inizio = s.clock.monotonicMs();
    s.dialogs.expectMsg("Periferica non connessa.", mb::Exclamation, "Lettore 2 - situato presso USCITA");
    w.Command11.click();
    EXPECT_EQ(comandi.size(), 2u);  // the third reader gets nothing
    EXPECT_GE(s.clock.monotonicMs() - inizio, 2000);
    EXPECT_FALSE(attesaMostrata);
    EXPECT_TRUE(w.Enabled());
}

TEST_F(UploadCarta, ReplyStatusNamesTheFailure) {
    struct Caso {
        char stato;
        const char* messaggio;
        int icona;
    } casi[] = {
        {'D', "Errore nel trasferimento dati.", mb::Exclamation},
        {'C', "Errore nel codice applicazione.", mb::Exclamation},
        {'s', "Risposta sconosciuta.", mb::Critical},
        {'I', "Risposta sconosciuta.", mb::Critical},
    };
    for (const auto& c : casi) {
        SCOPED_TRACE(c.messaggio);
        auto t = std::make_unique<test::Postazione>();
        t->stati[1] = c.stato;
        auto& w = treLettori(*t);
        t->s.dialogs.expectMsg(c.messaggio, c.icona, "Lettore 1 - situato presso INGRESSO");
        w.Command11.click();
        EXPECT_EQ(t->comandi.size(), 1u);
    }
}

TEST_F(UploadCarta, PreconditionsStopBeforeAnyReaderIsAddressed) {
    struct Caso {
        const char* messaggio;
        const char* titolo;
        bool lettori;
        const char* modifiche;
        bool App::*attivo;  // a switch of the main window that is on
    } casi[] = {
        {"Carta abilitata all' On Line", "Messaggio", true, "Flag_online = 1", nullptr},
        {"Non ci sono lettori memorizzati nel database.", "Attenzione", false, "", nullptr},
        {"Disabilitare prima il polling.", "Messaggio", true, "", &App::PollingAttivo},
        {"Disabilitare prima l'output automatico.", "Messaggio", true, "", &App::OutputAutomatico},
    };
    for (const auto& c : casi) {
        SCOPED_TRACE(c.messaggio);
        auto t = std::make_unique<test::Postazione>();
        t->rispondi();
        if (c.lettori) t->lettore(1, "INGRESSO");
        t->carta("0045", "Rossi", c.modifiche);
        auto& w = t->apri();
        if (c.attivo) t->s.app().*c.attivo = true;
        t->s.dialogs.expectMsg(c.messaggio, mb::Exclamation, c.titolo);
        w.Command11.click();
        EXPECT_TRUE(t->comandi.empty());
        EXPECT_FALSE(t->s.app().isLoaded("FrmWait"));
    }
}

}  // namespace
}  // namespace vc
