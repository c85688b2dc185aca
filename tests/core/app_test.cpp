#include "core/app.h"

#include <gtest/gtest.h>

#include "core/link/reader_link.h"
#include "core/settings/frm_prog_setup.h"
#include "reader_sim/reader_sim.h"
#include "support/fakes.h"

namespace vc {
namespace {

// A box waits on the operator: inside a scope that must not yield it stops the program, even
// where the front end answers it without running a handler.
TEST(AppBoxes, AModalBoxCountsAsAYield) {
    if (!NoYield::checked) GTEST_SKIP() << "built without the yield checks";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    test::Station s;
    s.dialogs.unscripted = true;
    EXPECT_DEATH(
        {
            const NoYield scrittura("writing");
            s.app().MsgBox("?");
        },
        "must not yield:\n  writing");
    EXPECT_DEATH(
        {
            const NoYield scrittura("writing");
            s.app().InputBox("?");
        },
        "must not yield:\n  writing");
    EXPECT_EQ(s.app().MsgBox("?"), mb::OK);
}


// The station's line takes the board box as it is at each exchange, and the board's address and
// the serial port from the settings.
TEST(App, LineReadsTheBoardSettingsAtEachExchange) {
    test::Station s;
    s.start();
    s.serial.onWrite = [&s](const std::string&) { s.serial.deliver(sim::replyFrame("01S"), 5); };
    s.app().imp.IndirizzoScheda485 = 0x2F8;
    s.app().imp.PortaSeriale = 2;
    for (int scheda : {1, 0}) {
        SCOPED_TRACE(scheda);
        s.app().form<FrmProgSetup>().Check1.setValue(scheda);
        s.ports.writes.clear();
        s.ports.reads.clear();
        std::string testo = "01000123D";
        EXPECT_EQ(invia_comando(s.app(), testo, 3), sim::replyFrame("01S"));
        using Scritture = std::vector<std::pair<std::uint16_t, std::uint8_t>>;
        using Letture = std::vector<std::uint16_t>;
        EXPECT_EQ(s.ports.writes, (scheda ? Scritture{{0x2F8, 26}, {0x2F8, 10}} : Scritture{}));
        EXPECT_EQ(s.ports.reads, (scheda ? Letture{0x2FD} : Letture{}));
    }
}

}  // namespace
}  // namespace vc
