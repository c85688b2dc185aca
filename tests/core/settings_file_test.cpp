#include <gtest/gtest.h>

#include <fstream>

#include "core/settings/settings_file.h"
#include "support/fakes.h"

namespace vc {
namespace {

// Reads an "Accessi.ini" holding exactly the given lines.
Impostazioni leggi(const std::string& righe) {
    test::TempDir dir;
    std::ofstream(dir.file("Accessi.ini"), std::ios::binary) << righe;
    Impostazioni imp;
    LeggiImpostazioni(dir.file("Accessi.ini"), imp, true);
    return imp;
}

Impostazioni conChiave(const std::string& chiave, const std::string& valore) {
    return leggi("[Impostazioni]\r\n" + chiave + "=" + valore + "\r\n");
}

TEST(SettingsFile, FlagsByLetterCase) {
    struct Caso {
        const char* chiave;
        const char* valore;
        bool atteso;
        bool Impostazioni::*flag;
    } casi[] = {
        {"Imparziale", "No", false, &Impostazioni::FlagImparziale},
        {"Imparziale", "NO", false, &Impostazioni::FlagImparziale},
        {"Imparziale", "no", true, &Impostazioni::FlagImparziale},
        {"Imparziale", "nO", true, &Impostazioni::FlagImparziale},
        {"Imparziale", "Si", true, &Impostazioni::FlagImparziale},
        {"Beep", "Nope", false, &Impostazioni::FlagBeep},
        {"QuattroCifre", "Si", true, &Impostazioni::FlagQuattroCifre},
        {"QuattroCifre", "SI", false, &Impostazioni::FlagQuattroCifre},
        {"QuattroCifre", "si", false, &Impostazioni::FlagQuattroCifre},
        {"SchedaK-880", "Sicuro", true, &Impostazioni::SchedaK880},
    };
    for (const auto& c : casi)
        EXPECT_EQ(conChiave(c.chiave, c.valore).*c.flag, c.atteso) << c.chiave << "=" << c.valore;
}

TEST(SettingsFile, NumbersAddressesAndPort) {
    EXPECT_EQ(conChiave("Polling", "2x").TempoPolling, 2);
    EXPECT_EQ(conChiave("Polling", " 1 5").TempoPolling, 15);
    EXPECT_EQ(conChiave("Polling", "2.5").TempoPolling, 2);
    EXPECT_EQ(conChiave("Polling", "3.5").TempoPolling, 4);
    EXPECT_EQ(conChiave("Indirizzo485", "2F8H").IndirizzoScheda485, 760);
    EXPECT_EQ(conChiave("Indirizzo485", "300").IndirizzoScheda485, 768);
    EXPECT_EQ(conChiave("Seriale", "12").PortaSeriale, 1);
    EXPECT_EQ(conChiave("Ritardo", "99999").RitardoRisposta, 32767);  // beyond the type: clamped
}

TEST(SettingsFile, ValuesAreCutToNineCharacters) {
    EXPECT_EQ(conChiave("FileTessaro", "ABCDEFGHIJ").FileTessaro, "ABCDEFGHI");
    EXPECT_EQ(conChiave("Polling", "1234567890").TempoPolling, 123456789);
}

TEST(SettingsFile, FileWithoutTheSectionGivesTheDefaults) {
    const Impostazioni imp = leggi("[Altro]\r\nPolling=10\r\n");
    EXPECT_EQ(imp.TempoPolling, 0);
    EXPECT_EQ(imp.PortaSeriale, 0);
    EXPECT_EQ(imp.IndirizzoScheda485, 0);
    EXPECT_FALSE(imp.SchedaK880);
    EXPECT_FALSE(imp.FlagQuattroCifre);
    EXPECT_FALSE(imp.FlagMassimoIngressi);
    EXPECT_TRUE(imp.FlagImparziale);
    EXPECT_TRUE(imp.FlagStoricoEsterno);
    EXPECT_TRUE(imp.FlagScattareAdOrario);
    EXPECT_TRUE(imp.FlagTastieraOutput1);
    EXPECT_TRUE(imp.FlagTastieraOutput2);
    EXPECT_TRUE(imp.FlagBeep);
    EXPECT_EQ(imp.FileTessaro, "");
    // A missing time reads as a NUL and four blanks: neither a time nor "not set".
    EXPECT_EQ(imp.OrarioInizio1, std::string("\0    ", 5));
    EXPECT_TRUE(imp.FasciaAttiva1);
}

TEST(SettingsFile, BandIsActiveOnlyWhenNeitherTimeIsUnset) {
    EXPECT_FALSE(leggi("[Impostazioni]\nOrarioIniziale1=##:##\nOrarioFinale1=08:00\n").FasciaAttiva1);
    EXPECT_FALSE(leggi("[Impostazioni]\nOrarioIniziale2=08:00\nOrarioFinale2=##:##\n").FasciaAttiva2);
    const Impostazioni imp = leggi("[Impostazioni]\nOrarioIniziale3=08:00\nOrarioFinale3=09:00\n");
    EXPECT_TRUE(imp.FasciaAttiva3);
    EXPECT_EQ(imp.OrarioInizio3, "08:00");
}

TEST(SettingsFile, UtentiIsReadOnlyWhenAsked) {
    test::TempDir dir;
    std::ofstream(dir.file("Accessi.ini")) << "[Impostazioni]\nUtenti=7\n";
    Impostazioni imp;
    LeggiImpostazioni(dir.file("Accessi.ini"), imp, false);
    EXPECT_EQ(imp.UtentiPresenti, 0);
    LeggiImpostazioni(dir.file("Accessi.ini"), imp, true);
    EXPECT_EQ(imp.UtentiPresenti, 7);
}

}  // namespace
}  // namespace vc
