#include <gtest/gtest.h>

#include <fstream>

#include "core/main/frm_main.h"
#include "password/frm_chk_passw.h"
#include "password/password_file.h"
#include "platform/profile.h"
#include "support/fakes.h"

namespace vc {
namespace {

void salvaPassword(test::Station& s, const std::string& chiaro) {
    ASSERT_TRUE(profile::writeString(SezionePassword, ChiavePassword, *CodificaPassword(chiaro),
                                     s.site.file("pswaccessi.txt")));
}

TEST(PasswordFile, EncodingRaisesEachCharacterByItsPosition) {
    EXPECT_EQ(*CodificaPassword("abc"), "\xB0\xB0\xB0" "bdf" "\xA7\xA7\xA7");
    EXPECT_EQ(*CodificaPassword(""), "\xB0\xB0\xB0\xA7\xA7\xA7");
    EXPECT_FALSE(CodificaPassword("\xC3\xBF").has_value());  // "ÿ" + 1 is past the code page
    EXPECT_TRUE(CodificaPassword("\xE2\x82\xAC").has_value());  // "€" is in it
    EXPECT_FALSE(CodificaPassword("\xE4\xB8\xAD").has_value());  // not in the code page at all
}

TEST(PasswordFile, SixteenCharactersRoundTripThroughTheFile) {
    test::Station s;
    const std::string chiaro = "Àbc!dEf9 ghIJ€lm";  // 16 characters, one of them outside ASCII
    salvaPassword(s, chiaro);
    const std::string letto = LeggiPassword(s.site.file("pswaccessi.txt"));
    EXPECT_EQ(letto.size(), 22u);
    EXPECT_EQ(DecodificaPassword(s.app(), letto), chiaro);
    EXPECT_EQ(DecodificaPassword(s.app(), "\xB0\xB0\xB0\xA7\xA7\xA7"), "");
}

TEST(PasswordFile, MalformedValuesEndTheProgram) {
    const char* const valori[] = {"", "\xB0\xB0\xA7\xA7", "xxxabcxxx", "\xB0\xB0\xB0" "abc",
                                  "\xB0\xB0\xB0" "a\x01" "\xA7\xA7\xA7"};  // the last decodes below code 0
    for (const char* v : valori) {
        test::Station s;
        s.dialogs.expectMsg("Errore nel controllo password. Il programma sarà terminato.", mb::Critical, "Errore");
        EXPECT_THROW(DecodificaPassword(s.app(), v), ProgramEnd) << v;
    }
}

TEST(Login, MissingPasswordFileEndsTheProgramAtTheFirstLogin) {
    test::Station s;
    Form& m = s.start();
    std::filesystem::remove(s.site.file("pswaccessi.txt"));
    s.dialogs.expectMsg("Errore nel controllo password. Il programma sarà terminato.", mb::Critical, "Errore");
    EXPECT_THROW(static_cast<FrmMain&>(m).Command2.click(), ProgramEnd);
}

// The operator types into the dialog while it runs modally.
void digita(test::Station& s, std::vector<std::string> tentativi) {
    for (auto& t : tentativi)
        s.loop.post([&s, t] {
            auto& d = s.app().form<FrmChkPassw>();
            d.text1.type(t + "\r");
        });
}

TEST(Login, WrongPasswordThreeTimesRefuses) {
    test::Station s;
    salvaPassword(s, "abc");
    auto& m = static_cast<FrmMain&>(s.start());
    m.Show();
    s.dialogs.expectMsg("Password sbagliata. 2 tentativi rimasti.", mb::Critical, "Attenzione");
    s.dialogs.expectMsg("Password sbagliata. 1 tentativi rimasti.", mb::Critical, "Attenzione");
    s.dialogs.expectMsg("Password sbagliata.", mb::Critical, "Attenzione");
    digita(s, {"ABC", "ab", "abcd"});
    m.Command1.click();
    EXPECT_FALSE(s.app().AccessoConsentito);
    EXPECT_FALSE(s.app().isLoaded("FrmCardsAbil"));
    EXPECT_TRUE(m.Visible());
}

TEST(Login, RightPasswordAtTheSecondTryGrants) {
    test::Station s;
    salvaPassword(s, "abc");
    auto& m = static_cast<FrmMain&>(s.start());
    m.Show();
    s.dialogs.expectMsg("Password sbagliata. 2 tentativi rimasti.", mb::Critical, "Attenzione");
    digita(s, {"x", "abc"});
    m.Command2.click();
    EXPECT_TRUE(s.app().AccessoConsentito);
    EXPECT_TRUE(s.app().PasswordPresente);
    EXPECT_TRUE(s.app().form("FrmProgSetup").Visible());
    EXPECT_FALSE(m.Visible());
}

TEST(Login, ClosingTheDialogRefuses) {
    test::Station s;
    salvaPassword(s, "abc");
    auto& m = static_cast<FrmMain&>(s.start());
    m.Show();
    s.loop.post([&s] { s.app().form<FrmChkPassw>().close(); });
    m.Command3.click();
    EXPECT_FALSE(s.app().AccessoConsentito);
    EXPECT_TRUE(m.Visible());
}

}  // namespace
}  // namespace vc
