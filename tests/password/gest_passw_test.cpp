#include <gtest/gtest.h>

#include <filesystem>

#include "core/main/frm_main.h"
#include "password/frm_chk_passw.h"
#include "password/frm_gest_passw.h"
#include "password/password_file.h"
#include "platform/profile.h"
#include "support/fakes.h"

namespace vc {
namespace {

const std::string kNessuna = "\xB0\xB0\xB0\xA7\xA7\xA7";
const char* const kNonMemorizzabile =
    "La password contiene un carattere che non può essere memorizzato. "
    "Usare lettere senza accento, cifre e segni comuni.";

// A station where the operator has passed the login (none is set at first) and sits in the
// other-options window.
struct Postazione {
    Postazione() {
        main.Show();
        main.Command7.click();
    }

    App& app() { return s.app(); }
    Form& opzioni() { return app().form("FrmFunzAgg"); }
    void messaggio(const std::string& testo, int stile) { s.dialogs.expectMsg(testo, stile, "Varcanto"); }
    // The stored value as written, whatever its length.
    std::string valore() {
        return profile::read(SezionePassword, ChiavePassword, "", 100, s.site.file("pswaccessi.txt"));
    }

    // Through the other-options window's "Password" button.
    FrmGestPassw& apri() {
        test::control<CommandButton>(app(), "FrmFunzAgg", "Command9").click();
        return app().form<FrmGestPassw>();
    }
    bool tornatoAlleOpzioni() { return !app().isLoaded(FrmGestPassw::kName) && opzioni().Visible(); }

    void scegliInserisci(FrmGestPassw& g) {
        messaggio("Ora inserite la password (al massimo 16 caratteri). Attenzione a non dimenticarla !",
                  mb::Information);
        g.Command1.click();
    }
    void scegliCambia(FrmGestPassw& g) {
        messaggio("Inserisci prima la vecchia password, poi quella nuova; alla fine premi OK.", mb::OKOnly);
        g.Command3.click();
    }
    void scegliElimina(FrmGestPassw& g) {
        messaggio("Inserisci la vecchia password e poi premi OK.", mb::Information);
        g.Command4.click();
    }
    void imposta(const std::string& chiaro) {
        auto& g = apri();
        scegliInserisci(g);
        g.text1.type(chiaro);
        messaggio("Password inserita.", mb::Information);
        g.Command2.click();
    }

    // Back to the main window and through the login to the other-options window again, typing
    // 'tentativi' into the login dialog.
    bool accede(const std::vector<std::string>& tentativi = {}) {
        opzioni().Hide();
        main.Show();
        for (const auto& t : tentativi)
            s.loop.post([this, t] { app().form<FrmChkPassw>().text1.type(t + "\r"); });
        main.Command7.click();
        return app().AccessoConsentito && opzioni().Visible();
    }
    void tentativoSbagliato() {
        s.dialogs.expectMsg("Password sbagliata. 2 tentativi rimasti.", mb::Critical, "Attenzione");
    }

    test::Station s;
    FrmMain& main = static_cast<FrmMain&>(s.start());
};

TEST(GestPassw, SetsAPasswordOfAtMostSixteenCharactersAndTheLoginAsksForIt) {
    Postazione p;
    auto& g = p.apri();
    EXPECT_FALSE(p.opzioni().Visible());
    EXPECT_EQ(g.Caption(), "Varcanto - gestione password");
    EXPECT_EQ(g.geometry.height, 160);
    EXPECT_TRUE(g.Frame1.Visible() && g.Command1.Visible() && g.Command2.Visible());
    EXPECT_FALSE(g.Frame2.Visible() || g.Command3.Visible() || g.Command5.Visible());
    g.text1.type("x");  // disabled until the operator asks for it
    EXPECT_EQ(g.text1.Text(), "");

    p.scegliInserisci(g);
    EXPECT_FALSE(g.Command1.Enabled());
    g.text1.type("Abcdefghijklmnopq");
    EXPECT_EQ(g.text1.Text(), "Abcdefghijklmnop");
    p.messaggio("Password inserita.", mb::Information);
    g.Command2.click();

    EXPECT_TRUE(p.tornatoAlleOpzioni());
    EXPECT_EQ(p.valore(), *CodificaPassword("Abcdefghijklmnop"));
    EXPECT_EQ(p.valore().size(), 22u);
    EXPECT_TRUE(p.app().PasswordPresente);
    p.tentativoSbagliato();
    EXPECT_TRUE(p.accede({"abcdefghijklmnop", "Abcdefghijklmnop"}));
}

// The file was written readable by every local user, and its scrambling reads back in one line.
TEST(GestPassw, OnlyTheOwnerReadsTheStoredPasswordEvenWhereTheFileWasOpenToAll) {
    Postazione p;
    const std::string file = p.s.site.file("pswaccessi.txt");
    std::filesystem::permissions(file, std::filesystem::perms(0644));
    p.imposta("segreta");
    EXPECT_EQ(p.valore(), *CodificaPassword("segreta"));
    EXPECT_EQ(std::filesystem::status(file).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST(GestPassw, OkWithAnEmptyBoxLeavesTheFileAsItWas) {
    Postazione p;
    auto& g = p.apri();
    p.messaggio("Non è stata inserita nessuna password.", mb::Information);
    g.Command2.click();
    EXPECT_TRUE(p.tornatoAlleOpzioni());
    EXPECT_EQ(p.valore(), kNessuna);
    EXPECT_FALSE(p.app().PasswordPresente);
    EXPECT_TRUE(p.accede());
}

// Each character is raised by its position within code page 1252, whose last code is 255.
TEST(GestPassw, APasswordThatCannotBeStoredIsRefusedAndTheWindowStaysOpen) {
    const char* const casi[] = {
        "\xC3\xBF",                                  // "ÿ" raised past the last code
        "abcdefghijklmno\xC3\xB0",                   // "ð" fits at 15 but not at 16
        "ab\xE4\xB8\xAD",                            // not in the code page at all
        "\tabc",                                     // raised to a line feed
    };
    for (const char* chiaro : casi) {
        SCOPED_TRACE(chiaro);
        Postazione p;
        auto& g = p.apri();
        p.scegliInserisci(g);
        g.text1.type(chiaro);
        p.messaggio(kNonMemorizzabile, mb::Exclamation);
        g.Command2.click();
        EXPECT_TRUE(g.Visible());
        EXPECT_EQ(g.text1.Text(), "");
        EXPECT_EQ(p.valore(), kNessuna);
        EXPECT_FALSE(p.app().PasswordPresente);

        g.text1.type("abc");
        p.messaggio("Password inserita.", mb::Information);
        g.Command2.click();
        EXPECT_TRUE(p.tornatoAlleOpzioni());
        EXPECT_EQ(p.valore(), *CodificaPassword("abc"));
    }
    EXPECT_TRUE(CodificaPassword("abcdefghijklmn\xC3\xB0").has_value());  // the same "ð" one place earlier
}

TEST(GestPassw, ChangeKeepsTheWindowOpenUntilANewPasswordCanBeStored) {
    Postazione p;
    p.imposta("abc");
    auto& g = p.apri();
    EXPECT_EQ(g.geometry.height, 248);
    EXPECT_TRUE(g.Frame2.Visible() && g.Command3.Visible() && g.Command4.Visible() && g.Command5.Visible());
    EXPECT_FALSE(g.Frame1.Visible() || g.Command1.Visible());
    EXPECT_FALSE(g.Text2.Enabled() || g.Text3.Enabled());

    p.scegliCambia(g);
    EXPECT_FALSE(g.Command3.Enabled() || g.Command4.Enabled());
    g.Text2.type("abc");
    p.messaggio("Bisogna inserire la nuova password.", mb::Exclamation);
    g.Command5.click();
    EXPECT_TRUE(g.Visible());
    EXPECT_EQ(p.valore(), *CodificaPassword("abc"));

    g.Text3.type("\xC3\xBF");
    p.messaggio(kNonMemorizzabile, mb::Exclamation);
    g.Command5.click();
    EXPECT_TRUE(g.Visible());
    EXPECT_EQ(p.valore(), *CodificaPassword("abc"));

    g.Text3.type("Nuova");
    p.messaggio("La password è stata cambiata.", mb::Information);
    g.Command5.click();
    EXPECT_TRUE(p.tornatoAlleOpzioni());
    EXPECT_EQ(p.valore(), *CodificaPassword("Nuova"));
    EXPECT_EQ(p.app().PasswordCorrente, "Nuova");
    p.tentativoSbagliato();
    EXPECT_TRUE(p.accede({"abc", "Nuova"}));
}

TEST(GestPassw, RemoveEmptiesTheFileAndTheLoginNoLongerAsks) {
    Postazione p;
    p.imposta("abc");
    auto& g = p.apri();
    p.scegliElimina(g);
    EXPECT_TRUE(g.Text2.Enabled());
    EXPECT_FALSE(g.Text3.Enabled());
    EXPECT_EQ(g.Text3.BackColor(), 0xC0C0C0);
    EXPECT_FALSE(g.Command3.Enabled() || g.Command4.Enabled());
    g.Text2.type("abc");
    p.messaggio("La password è stata disinserita dal sistema.", mb::Information);
    g.Command5.click();

    EXPECT_TRUE(p.tornatoAlleOpzioni());
    EXPECT_EQ(p.valore(), kNessuna);
    EXPECT_FALSE(p.app().PasswordPresente);
    EXPECT_EQ(p.app().PasswordCorrente, "");
    EXPECT_TRUE(p.accede());
    // With none set again, the window offers to set one.
    EXPECT_TRUE(p.apri().Frame1.Visible());
}

// A wrong old password closes the window and keeps the password: one try per opening.
TEST(GestPassw, AWrongOldPasswordClosesTheWindow) {
    struct Caso {
        bool cambia;
        const char* messaggio;
    };
    for (const Caso& c : {Caso{true, "La vecchia password è sbagliata."}, Caso{false, "Password sbagliata."}}) {
        SCOPED_TRACE(c.messaggio);
        Postazione p;
        p.imposta("abc");
        auto& g = p.apri();
        c.cambia ? p.scegliCambia(g) : p.scegliElimina(g);
        g.Text2.type("ABC");
        g.Text3.type("xyz");
        p.messaggio(c.messaggio, mb::Exclamation);
        g.Command5.click();
        EXPECT_TRUE(p.tornatoAlleOpzioni());
        EXPECT_EQ(p.valore(), *CodificaPassword("abc"));
        EXPECT_EQ(p.app().PasswordCorrente, "abc");
        EXPECT_TRUE(p.accede({"abc"}));
    }
}

TEST(GestPassw, EveryOtherWayOutJustClosesTheWindow) {
    struct Caso {
        const char* nome;
        bool conPassword;
        bool titolo;  // the title-bar close rather than "Ok"
    };
    for (const Caso& c : {Caso{"Ok before choosing", true, false}, Caso{"close, change mode", true, true},
                          Caso{"close, new mode", false, true}}) {
        SCOPED_TRACE(c.nome);
        Postazione p;
        if (c.conPassword) p.imposta("abc");
        const std::string prima = p.valore();
        auto& g = p.apri();
        c.titolo ? g.close() : g.Command5.click();
        EXPECT_TRUE(p.tornatoAlleOpzioni());
        EXPECT_EQ(p.valore(), prima);
        EXPECT_EQ(p.app().PasswordPresente, c.conPassword);
    }
}

TEST(GestPassw, AFileThatCannotBeWrittenIsReportedAndNothingChanges) {
    struct Caso {
        const char* azione;
        bool conPassword;
        // Chooses the operation, types the passwords and gives the "Ok" to press.
        CommandButton& (*prepara)(Postazione&, FrmGestPassw&);
    };
    const Caso casi[] = {
        {"inserita", false,
         [](Postazione& p, FrmGestPassw& g) -> CommandButton& {
             p.scegliInserisci(g);
             g.text1.type("xyz");
             return g.Command2;
         }},
        {"cambiata", true,
         [](Postazione& p, FrmGestPassw& g) -> CommandButton& {
             p.scegliCambia(g);
             g.Text2.type("abc");
             g.Text3.type("xyz");
             return g.Command5;
         }},
        {"disinserita", true,
         [](Postazione& p, FrmGestPassw& g) -> CommandButton& {
             p.scegliElimina(g);
             g.Text2.type("abc");
             return g.Command5;
         }},
    };
    for (const Caso& c : casi) {
        SCOPED_TRACE(c.azione);
        Postazione p;
        if (c.conPassword) p.imposta("abc");
        const std::string file = p.s.site.file("pswaccessi.txt");
        std::filesystem::remove(file);
        std::filesystem::create_directory(file);  // no file can be written in its place
        auto& g = p.apri();
        CommandButton& ok = c.prepara(p, g);
        const std::string errore = "Impossibile scrivere il file pswaccessi.txt: la password non è stata ";
        p.messaggio(errore + c.azione + ".", mb::Critical);
        ok.click();
        EXPECT_TRUE(p.tornatoAlleOpzioni());
        EXPECT_EQ(p.app().PasswordPresente, c.conPassword);
        EXPECT_EQ(p.app().PasswordCorrente, c.conPassword ? "abc" : "");
    }
}

}  // namespace
}  // namespace vc
