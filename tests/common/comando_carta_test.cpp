#include <gtest/gtest.h>

#include "common/comando_carta.h"

namespace vc {
namespace {

TEST(ComandoCarta, StoreAndDeleteTexts) {
    const OpzioniCarta tutte{true, true, false, true, "2", true, false};  // And, checked, 2 Off, 1 On
    struct Caso {
        const char* numero;
        bool quattroCifre;
        const char* memorizza;
        const char* cancella;
    } casi[] = {
        {"0045", true, "B00451001210", "C0045"},
        {"45", true, "B00451001210", "C0045"},
        {"0045", false, "B0451001210", "C045"},
        {"1234", false, "B2341001210", "C234"},
        {"", true, "B00001001210", "C0000"},
    };
    for (const auto& c : casi) {
        SCOPED_TRACE(c.numero);
        EXPECT_EQ(ComandoMemorizzaCarta(c.numero, c.quattroCifre, tutte), c.memorizza);
        EXPECT_EQ(ComandoCancellaCarta(c.numero, c.quattroCifre), c.cancella);
    }
    // Only the input check is sent inverted.
    EXPECT_EQ(ComandoMemorizzaCarta("7", true, OpzioniCarta{}), "B00070100000");
}

// A card refused for its band is deleted where it would have been stored, so that no reader keeps
// an older entry for it; where it is deleted anyway its band does not matter.
TEST(ComandoCarta, OnlyABandOfZeroToThreeIsStoredAnyOtherDeletesTheCard) {
    OpzioniCarta o;
    for (const char* fascia : {"0", "3"}) {
        o.Fascia = fascia;
        EXPECT_EQ(ComandoMemorizzaCarta("7", true, o), std::string("B00070100") + fascia + "00");
        const ComandoLettore c = ComandoPerLettore("7", true, true, o);
        EXPECT_EQ(c.testo, std::string("B00070100") + fascia + "00");
        EXPECT_FALSE(c.rifiutata);
    }
    for (const char* fascia : {"4", "12", "-1", "", " "}) {
        SCOPED_TRACE('"' + std::string(fascia) + '"');
        o.Fascia = fascia;
        EXPECT_EQ(ComandoMemorizzaCarta("7", true, o), std::nullopt);
        const ComandoLettore memorizza = ComandoPerLettore("7", false, true, o);
        EXPECT_EQ(memorizza.testo, "C007");
        EXPECT_TRUE(memorizza.rifiutata);
        const ComandoLettore cancella = ComandoPerLettore("7", true, false, o);
        EXPECT_EQ(cancella.testo, "C0007");
        EXPECT_FALSE(cancella.rifiutata);
    }
}

TEST(ComandoCarta, RefusedCardsAreNamedTheFirstTenInFull) {
    CarteRifiutate carte;
    for (int i = 1; i <= 12; ++i) carte.emplace_back(std::to_string(1000 + i), "9");
    const std::string testo = TestoCarteRifiutate(carte);
    EXPECT_EQ(testo.substr(0, testo.find('\n')),
              "Carta 1001: fascia oraria 9 non valida, la carta è stata cancellata dai lettori invece di essere "
              "memorizzata.");
    EXPECT_NE(testo.find("Carta 1010:"), std::string::npos);
    EXPECT_EQ(testo.find("Carta 1011:"), std::string::npos);
    EXPECT_EQ(testo.substr(testo.rfind('\n') + 1), "Altre 2 carte cancellate dai lettori per lo stesso motivo.");
}

}  // namespace
}  // namespace vc
