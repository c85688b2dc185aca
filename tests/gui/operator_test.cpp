// The operator's mouse and keys on the rendered windows reach the model, and what the model does
// comes back on the screen.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

#include "core/main/frm_main.h"
#include "core/settings/frm_prog_setup.h"
#include "gui_support.h"
#include "password/frm_chk_passw.h"
#include "password/password_file.h"
#include "platform/profile.h"
#include "readers_admin/lettori_in_linea.h"

namespace vc {
namespace {

TEST(Operatore, ClickOnPollingTurnsItsIndicatorGreen) {
    test::OnScreen s;
    s.start();
    auto& m = s.app().form<FrmMain>();
    QTest::mouseClick(&s.widget<QToolButton>("FrmMain", "Command4"), Qt::LeftButton);
    s.settle();
    EXPECT_TRUE(s.app().PollingAttivo);
    EXPECT_EQ(m.Label1.BackColor(), colour::Green);
    auto& indicatore = s.widget<QLabel>("FrmMain", "Label1");
    EXPECT_EQ(indicatore.palette().color(QPalette::Window), QColor(0, 255, 0));
    EXPECT_TRUE(indicatore.autoFillBackground());
    EXPECT_FALSE(s.widget<QToolButton>("FrmMain", "Command2").isEnabled());  // settings closed while polling
}

TEST(Operatore, CheckBoxClickIsDecidedByTheModel) {
    test::OnScreen s;
    s.start();
    s.show("FrmProgSetup");
    auto& setup = s.app().form<FrmProgSetup>();
    auto& fasce = s.widget<QCheckBox>("FrmProgSetup", "Check4");
    auto& inizio = s.widget<QLineEdit>("FrmProgSetup", "Text5(0)");
    ASSERT_FALSE(setup.Check4.checked());
    EXPECT_FALSE(inizio.isEnabled());  // its frame is disabled

    QTest::mouseClick(&fasce, Qt::LeftButton);
    s.settle();
    EXPECT_TRUE(setup.Check4.checked());
    EXPECT_TRUE(fasce.isChecked());
    EXPECT_TRUE(inizio.isEnabled());

    auto& beep = s.widget<QCheckBox>("FrmProgSetup", "Check5");
    ASSERT_TRUE(beep.isChecked());
    QTest::mouseClick(&beep, Qt::LeftButton);
    s.settle();
    EXPECT_FALSE(setup.Check5.checked());
    EXPECT_FALSE(s.widget<QLabel>("FrmProgSetup", "Image1").isVisible());  // its picture goes with it
}

struct Battitura {
    const char* casella;
    const char* tasti;
    const char* testo;  // the box's Text afterwards
};

TEST(Operatore, TypingGoesThroughTheTextBoxRules) {
    const Battitura casi[] = {
        {"Text2", "\b\b345", "34"},          // MaxLength 2
        {"Text8", "archivio1", "archivio"},  // MaxLength 8
        {"Text9", "1230", "##:##"},          // locked while its check box is off
    };
    for (const auto& c : casi) {
        SCOPED_TRACE(c.casella);
        test::OnScreen s;
        s.start();
        s.show("FrmProgSetup");
        auto& edit = s.widget<QLineEdit>("FrmProgSetup", c.casella);
        edit.setFocus();
        s.type("FrmProgSetup", c.tasti);
        auto* box = dynamic_cast<TextBox*>(s.app().form("FrmProgSetup").control(c.casella));
        ASSERT_TRUE(box);
        EXPECT_EQ(box->Text(), c.testo);
        EXPECT_EQ(edit.text().toStdString(), c.testo);
    }
}

void conPassword(test::OnScreen& s, const std::string& password) {
    const auto valore = CodificaPassword(password);
    ASSERT_TRUE(valore);
    ASSERT_TRUE(profile::writeString(SezionePassword, ChiavePassword, *valore, s.station.site.file("pswaccessi.txt")));
}

TEST(Operatore, PasswordIsTypedBehindItsMask) {
    test::OnScreen s;
    conPassword(s, "segreta");
    s.start();
    s.show("FrmChkPassw");
    auto& edit = s.widget<QLineEdit>("FrmChkPassw", "text1");
    edit.setFocus();
    s.type("FrmChkPassw", "segreta");
    EXPECT_EQ(s.app().form<FrmChkPassw>().text1.Text(), "segreta");
    EXPECT_EQ(edit.displayText().toStdString(), "*******");
}

TEST(Operatore, PasswordWindowIsModalAndAnsweredFromTheKeyboard) {
    test::OnScreen s;
    conPassword(s, "segreta");
    s.start();
    bool modale = false;
    s.whenShown("FrmChkPassw", [&] {
        gui::FormWindow& w = s.window("FrmChkPassw");
        modale = w.windowModality() == Qt::ApplicationModal;
        s.widget<QLineEdit>("FrmChkPassw", "text1").setFocus();
        s.keys("FrmChkPassw", "segreta\r");
    });
    QTest::mouseClick(&s.widget<QToolButton>("FrmMain", "Command2"), Qt::LeftButton);
    s.settle();  // returns once the password window has closed
    EXPECT_TRUE(modale);
    EXPECT_TRUE(s.app().AccessoConsentito);
    EXPECT_EQ(s.screen.window("FrmChkPassw"), nullptr);  // unloaded, its window gone
    EXPECT_TRUE(s.window("FrmProgSetup").isVisible());
    EXPECT_FALSE(s.window("FrmMain").isVisible());
}

TEST(Operatore, ClosingTheSettingsWindowSavesAndBringsBackTheMainWindow) {
    test::OnScreen s;
    s.start();
    s.app().form("FrmMain").Hide();
    s.show("FrmProgSetup");
    s.widget<QLineEdit>("FrmProgSetup", "Text2").setFocus();
    s.type("FrmProgSetup", "\b\b25");
    s.window("FrmProgSetup").close();
    s.settle();
    EXPECT_EQ(profile::read("Impostazioni", "Polling", "", 10, s.station.site.file("Accessi.ini")), "25");
    EXPECT_EQ(s.screen.window("FrmProgSetup"), nullptr);
    EXPECT_TRUE(s.window("FrmMain").isVisible());
}

TEST(Operatore, ExitButtonAndClosingTheMainWindowEndTheProgram) {
    const std::function<void(test::OnScreen&)> gesti[] = {
        [](test::OnScreen& s) { QTest::mouseClick(&s.widget<QToolButton>("FrmMain", "Command5"), Qt::LeftButton); },
        [](test::OnScreen& s) { s.window("FrmMain").close(); },
    };
    for (const auto& gesto : gesti) {
        test::OnScreen s;
        s.start();
        gesto(s);
        EXPECT_THROW(s.settle(), ProgramEnd);
    }
}

// During "Upload carte" the other-options window is disabled behind the wait window, which shows
// where the run is and an "Annulla" the mouse can press; the run stops after the command under way.
TEST(Operatore, TheWaitWindowFollowsTheUploadAndItsAnnullaStopsIt) {
    test::OnScreen s;
    test::LettoriInLinea linea(s.station, 2);
    for (const char* numero : {"0001", "0002", "0003"})
        s.station.sql(std::string("INSERT INTO Carte (NumeroCarta, AbilitaCarta, Flag_online, SceltaFascia, Lettore) "
                                  "VALUES ('") +
                      numero + "', 1, 0, 0, '11')");
    s.show("FrmFunzAgg");
    linea.durante = [&] {
        if (linea.comandi.size() != 2) return;
        gui::FormWindow& attesa = s.window("FrmWait");
        EXPECT_TRUE(attesa.isVisible());
        EXPECT_FALSE(s.window("FrmFunzAgg").isEnabled());
        EXPECT_EQ(s.widget<QLabel>("FrmWait", "Label1").text().trimmed(), "ATTENDERE  PREGO");
        EXPECT_EQ(s.widget<QLabel>("FrmWait", "Label2").text(),
                  "Lettore 1 di 2 - situato presso PORTA1\nCarta 2 di 3");
        auto& annulla = s.widget<QToolButton>("FrmWait", "Command1");
        EXPECT_TRUE(annulla.isVisible() && annulla.isEnabled());
        EXPECT_EQ(annulla.text(), "Annulla");
        EXPECT_FALSE(QImage(QString::fromStdString(test::screenshot(attesa, "FrmWait-avanzamento"))).isNull());
        QTest::mouseClick(&annulla, Qt::LeftButton);
    };
    s.station.dialogs.expectMsg("Programmazione interrotta.\r\nLettori programmati con tutte le carte: 0 su 2.\r\n"
                                "Lettore 1 - situato presso PORTA1: programmate 2 carte su 3.\r\n"
                                "Lettori non programmati: 1.",
                                mb::Information, "Messaggio");
    QTest::mouseClick(&s.widget<QToolButton>("FrmFunzAgg", "Command6"), Qt::LeftButton);
    s.settle();
    EXPECT_EQ(linea.comandi.size(), 2u);
    EXPECT_TRUE(s.station.dialogs.allAnswered());
    EXPECT_EQ(s.screen.window("FrmWait"), nullptr);
    EXPECT_TRUE(s.window("FrmFunzAgg").isEnabled());
}

}  // namespace
}  // namespace vc
