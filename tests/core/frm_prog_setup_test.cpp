#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/main/frm_main.h"
#include "core/settings/frm_prog_setup.h"
#include "platform/profile.h"
#include "support/fakes.h"

namespace vc {
namespace {

constexpr int Avviso = mb::Exclamation;

class SettingsWindow : public ::testing::Test {
protected:
    FrmProgSetup& apri() {
        s.start();
        return s.app().form<FrmProgSetup>();
    }
    std::string chiave(const std::string& k) {
        return profile::read("Impostazioni", k, "?", 64, s.site.file("Accessi.ini"));
    }
    void salvaRifiutato(FrmProgSetup& w, const std::string& messaggio) {
        s.dialogs.expectMsg(messaggio, Avviso, "Attenzione");
        w.Command1.click();
        EXPECT_TRUE(s.app().isLoaded(FrmProgSetup::kName)) << messaggio;
    }
    void salvaAccettato(FrmProgSetup& w) {
        w.Command1.click();
        EXPECT_FALSE(s.app().isLoaded(FrmProgSetup::kName));
        EXPECT_TRUE(s.app().form<FrmMain>().Visible());
    }
    test::Station s;
};

TEST_F(SettingsWindow, LoadShowsTheFile) {
    s.setting("Indirizzo485", "2F8H");
    s.setting("Beep", "No");
    s.setting("FasceOrarie", "Si");
    auto& w = apri();
    EXPECT_EQ(w.text1.Text(), "2F8H");
    EXPECT_EQ(w.Label2.Caption(), "1");
    EXPECT_EQ(w.Text2.Text(), "10");
    EXPECT_TRUE(w.Option2.Value());
    EXPECT_FALSE(w.Option1.Value());
    EXPECT_EQ(w.Check5.Value(), 0);
    EXPECT_FALSE(w.Image1.Visible());
    EXPECT_TRUE(w.Frame2.Enabled());
    EXPECT_TRUE(w.Text9.Locked());  // "ScattareAdOrario" is off in the template
    EXPECT_EQ(w.Text5[2].Text(), "##:##");
    EXPECT_FALSE(w.Visible());  // touched, not shown
}

TEST_F(SettingsWindow, TogglesActAtOnce) {
    auto& w = apri();
    ASSERT_TRUE(s.app().imp.FlagBeep);
    w.Check5.click();
    EXPECT_FALSE(s.app().imp.FlagBeep);
    EXPECT_FALSE(w.Image1.Visible());
    EXPECT_EQ(chiave("Beep"), "Si");  // the file changes only at the save
    w.Check4.click();
    EXPECT_TRUE(w.Frame2.Enabled());
    EXPECT_TRUE(w.Text5[0].effectivelyEnabled());
    w.Check4.click();
    EXPECT_FALSE(w.Text5[0].effectivelyEnabled());
    w.Check8.click();
    EXPECT_FALSE(w.Text9.Locked());
}

TEST_F(SettingsWindow, ChecksStopAtTheFirstFieldInError) {
    struct Caso {
        std::function<void(FrmProgSetup&)> modifica;
        const char* messaggio;
    } casi[] = {
        {[](FrmProgSetup& w) { w.Text2.setText("x"); w.text1.setText("1"); }, "Errore nel campo POLLING."},
        {[](FrmProgSetup& w) { w.Text2.setText("0"); }, "Errore nel campo POLLING."},
        {[](FrmProgSetup& w) { w.text1.setText("300"); }, "Errore nel campo INDIRIZZO 485."},
        {[](FrmProgSetup& w) { w.text1.setText("300h"); }, "INDIRIZZO 485 in esadecimale."},
        {[](FrmProgSetup& w) { w.text1.setText("2G8H"); }, "Errore nel campo INDIRIZZO 485."},
        {[](FrmProgSetup& w) { w.Text3.setText(""); }, "Errore nel campo MASSIMO NUMERO INGRESSI."},
        {[](FrmProgSetup& w) { w.Text4.setText("a"); }, "Errore nel campo MASSIMO TEMPO DI RITARDO DEL LETTORE."},
        {[](FrmProgSetup& w) { w.Text4.setText("0"); },
         "Errore nel campo MASSIMO TEMPO DI RITARDO DEL LETTORE; deve essere maggiore di zero."},
        {[](FrmProgSetup& w) { w.Text7.setText("-"); }, "Errore nel campo NUMERO DI PERSONE PER L'IMPARZIALE."},
        {[](FrmProgSetup& w) { w.Text7.setText("-1"); },
         "Errore nel campo NUMERO DI PERSONE PER L'IMPARZIALE; non può essere negativo."},
        {[](FrmProgSetup& w) { w.Text10.setText("3"); },
         "Errore nell'output per l'imparziale. Inserire un numero da 0 a 2."},
        {[](FrmProgSetup& w) { w.Check8.setValue(1); }, "Errore nell'orario dell'imparziale. Bisogna definire l'ora."},
        {[](FrmProgSetup& w) { w.Text8.setText("ABCDEFGHI"); },
         "Il nome del file deve essere al massimo di 8 caratteri."},
        {[](FrmProgSetup& w) { w.Text8.setText("ARC.TXT"); }, "Il nome del file non deve contenere il carattere punto."},
    };
    FrmProgSetup* w = &apri();
    for (const auto& c : casi) {
        c.modifica(*w);
        salvaRifiutato(*w, c.messaggio);
        w->Unload();  // each case starts again from the file
        w = &s.app().form<FrmProgSetup>();
    }
}

TEST_F(SettingsWindow, BandsShowTheTimeMessageThenTheBand) {
    auto& w = apri();
    w.Text6[1].setText("8:00");
    s.dialogs.expectMsg("Formato dell'orario HH:MM", Avviso, "Attenzione");
    salvaRifiutato(w, "Errore nella fascia 2.");
    w.Text6[1].setText("##:##");
    w.Text5[2].setText("09:00");
    w.Text6[2].setText("08:00");
    s.dialogs.expectMsg("Errore nell'orario.", Avviso, "Attenzione");
    salvaRifiutato(w, "Errore nella fascia 3.");
}

TEST_F(SettingsWindow, MissingBandTimeInTheFileFailsTheSave) {
    std::ofstream(s.site.file("Accessi.ini"), std::ios::trunc)
        << "[Impostazioni]\r\nSeriale=1\r\nPolling=10\r\nRitardo=1\r\nIndirizzo485=300H\r\nImparziale=No\r\n";
    auto& w = apri();
    s.dialogs.expectMsg("Formato dell'orario HH:MM", Avviso, "Attenzione");
    salvaRifiutato(w, "Errore nella fascia 1.");
}

TEST_F(SettingsWindow, RandomCheckShareMustFitTheCards) {
    for (int i = 0; i < 3; ++i) s.sql("INSERT INTO Fasce (Nome) VALUES ('T" + std::to_string(i) + "')");
    for (int i = 0; i < 5; ++i) s.sql("INSERT INTO Carte (NumeroCarta) VALUES ('000" + std::to_string(i) + "')");
    auto& w = apri();
    w.Check6.setValue(1);
    w.Text7.setText("2");
    salvaRifiutato(w, "Il numero di persone per l'imparziale è maggiore del numero degli utenti presenti nel database.");
    s.sql("INSERT INTO Carte (NumeroCarta) VALUES ('0009')");
    salvaAccettato(w);
    EXPECT_EQ(chiave("Imparziale"), "Si");
    EXPECT_EQ(chiave("NumeroImparziale"), "2");
}

TEST_F(SettingsWindow, SaveWritesTheKeysAndRearmsPolling) {
    for (int i = 0; i < 4; ++i)
        s.sql("INSERT INTO Lettori (Stato, NumeroLoop, NumeroIndirizzo) VALUES ('In', 1, " + std::to_string(i) + ")");
    auto& w = apri();
    auto& m = s.app().form<FrmMain>();
    w.Show();
    w.Text2.setText("5");
    w.text1.setText("2F8H");
    w.Option1.click();
    w.Check4.click();
    w.Text5[0].setText("08:00");
    w.Text6[0].setText("12:30");
    w.Text8.setText("");
    w.Check7.click();
    salvaAccettato(w);
    EXPECT_EQ(m.Timer1.Interval(), 12);
    EXPECT_EQ(chiave("Polling"), "5");
    EXPECT_EQ(chiave("Indirizzo485"), "2F8H");
    EXPECT_EQ(chiave("QuattroCifre"), "No");
    EXPECT_EQ(chiave("FasceOrarie"), "Si");
    EXPECT_EQ(chiave("OrarioIniziale1"), "08:00");
    EXPECT_EQ(chiave("FileTessaro"), "");
    EXPECT_EQ(chiave("StoricoEsterno"), "Si");
    EXPECT_EQ(chiave("Seriale"), "1");
    const Impostazioni& imp = s.app().imp;
    EXPECT_EQ(imp.TempoPolling, 5);
    EXPECT_EQ(imp.IndirizzoScheda485, 760);
    EXPECT_FALSE(imp.FlagQuattroCifre);
    EXPECT_TRUE(imp.FasciaAttiva1);
    EXPECT_FALSE(imp.FasciaAttiva2);
}

TEST_F(SettingsWindow, FileThatCannotBeWrittenIsReported) {
    auto& w = apri();
    const auto ini = s.site.file("Accessi.ini");
    std::filesystem::remove(ini);
    std::filesystem::create_directory(ini);  // no file can be written in its place
    s.dialogs.expectMsg("Impossibile scrivere il file " + ini + ".", mb::Critical, "Errore");
    w.Command1.click();
    EXPECT_TRUE(s.app().isLoaded(FrmProgSetup::kName));
}

TEST_F(SettingsWindow, ControlsReadFromOutsideLoadTheWindowHidden) {
    s.setting("SchedaK-880", "Si");
    ASSERT_FALSE(s.app().isLoaded(FrmProgSetup::kName));
    EXPECT_EQ(test::control<CheckBox>(s.app(), "FrmProgSetup", "Check1").Value(), 1);
    EXPECT_TRUE(s.app().imp.SchedaK880);  // the load read the file again
    EXPECT_FALSE(s.app().form<FrmProgSetup>().Visible());
}

}  // namespace
}  // namespace vc
