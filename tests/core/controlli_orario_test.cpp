#include <gtest/gtest.h>

#include "core/settings/controlli_orario.h"
#include "support/fakes.h"

namespace vc {
namespace {

constexpr int Avviso = mb::Exclamation;
const char* const Formato = "Formato dell'orario HH:MM";
const char* const Orario = "Errore nell'orario.";

TEST(TimeChecks, SingleTimeText) {
    struct Caso {
        const char* testo;
        const char* messaggio;  // nullptr: accepted
    } casi[] = {
        {"##:##", nullptr}, {"23:59", nullptr}, {"00:00", nullptr}, {" 8:05", nullptr},
        {"##:#", Formato},  {"8:00", Formato},  {"08.00", Formato}, {"ab:cd", Formato},
        {"24:00", Orario},  {"12:60", Orario},  {"-1:00", Orario},
    };
    for (const auto& c : casi) {
        test::Station s;
        if (c.messaggio) s.dialogs.expectMsg(c.messaggio, Avviso, "Attenzione");
        EXPECT_EQ(controllo_orario(s.app(), c.testo), c.messaggio == nullptr) << c.testo;
    }
}

TEST(TimeChecks, Band) {
    struct Caso {
        const char* da;
        const char* a;
        bool valida;
    } casi[] = {
        {"08:00", "08:00", false}, {"08:00", "08:01", true}, {"##:##", "09:00", false},
        {"09:00", "##:##", false}, {"##:##", "##:##", true}, {"22:00", "06:00", false},
        {"07:59", "08:00", true},
    };
    for (const auto& c : casi) {
        test::Station s;
        if (!c.valida) s.dialogs.expectMsg(Orario, Avviso, "Attenzione");
        EXPECT_EQ(controllo_fascia(s.app(), c.da, c.a), c.valida) << c.da << "-" << c.a;
    }
}

}  // namespace
}  // namespace vc
