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

}  // namespace
}  // namespace vc
