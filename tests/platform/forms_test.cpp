#include <gtest/gtest.h>

#include <functional>

#include "platform/events.h"
#include "platform/forms.h"
#include "support/fakes.h"

namespace vc {
namespace {

using Host = test::FormHostFake;

class Finestra final : public Form {
public:
    explicit Finestra(Host& h) : Form(h, "Finestra") {
        Check1.Click = [this] { ++clicks; };
        Timer1.TimerEvent = [this] {
            ++ticks;
            ++depth;
            maxDepth = std::max(maxDepth, depth);
            // A tick that waits (as an exchange does) must not be ticked again meanwhile.
            for (int i = 0; nested && i < 30; ++i) host().loop().doEvents();
            --depth;
        };
        load();  // as the program loads its windows: an unloaded window's controls take no input
    }
    Frame Frame1{*this, "Frame1"};
    CheckBox Check1{*this, "Check1", &Frame1};
    OptionButton Option1{*this, "Option1", &Frame1};
    OptionButton Option2{*this, "Option2", &Frame1};
    OptionButton Option3{*this, "Option3"};
    TextBox Text1{*this, "Text1", &Frame1};
    ComboBox Combo1{*this, "Combo1", &Frame1};
    Timer Timer1{*this, "Timer1", 100};
    int clicks = 0, ticks = 0, depth = 0, maxDepth = 0;
    bool nested = false;
};

TEST(Forms, CheckBoxClickRunsOnEveryChangeOfValue) {
    Host h;
    Finestra f(h);
    f.Check1.setValue(1);
    f.Check1.setValue(1);  // no change, no click
    f.Check1.click();
    EXPECT_EQ(f.clicks, 2);
    EXPECT_EQ(f.Check1.Value(), 0);
}

TEST(Forms, OptionButtonsClearTheOthersOfTheirContainer) {
    Host h;
    Finestra f(h);
    f.Option3.setValue(true);
    f.Option1.setValue(true);
    f.Option2.click();
    EXPECT_FALSE(f.Option1.Value());
    EXPECT_TRUE(f.Option2.Value());
    EXPECT_TRUE(f.Option3.Value()) << "another container";
}

// An editable box takes a text of the operator's own, or none; a list-only box only its items.
TEST(Forms, EditableComboBoxTakesTypedText) {
    Host h;
    Finestra f(h);
    for (const char* item : {"Mattina", "Sera"}) f.Combo1.AddItem(item);
    f.Combo1.choose(1);
    f.Combo1.retype("Notte");
    EXPECT_EQ(f.Combo1.Text(), "Sera") << "list only";
    f.Combo1.editable = true;
    f.Combo1.retype("Notte");
    EXPECT_EQ(f.Combo1.Text(), "Notte");
    EXPECT_EQ(f.Combo1.ListIndex(), -1);
    f.Combo1.choose(0);
    f.Combo1.retype("");
    EXPECT_EQ(f.Combo1.Text(), "");
    f.Frame1.setEnabled(false);
    f.Combo1.retype("Sera");
    EXPECT_EQ(f.Combo1.Text(), "") << "disabled";
}

TEST(Forms, DisabledFrameDisablesWhatItHolds) {
    Host h;
    Finestra f(h);
    f.Frame1.setEnabled(false);
    f.Check1.click();
    f.Text1.type("abc");
    EXPECT_EQ(f.clicks, 0);
    EXPECT_EQ(f.Text1.Text(), "");
    f.Check1.setValue(1);  // code still may
    EXPECT_EQ(f.clicks, 1);
    f.Frame1.setEnabled(true);
    f.Text1.MaxLength = 2;
    f.Text1.type("xyz");
    EXPECT_EQ(f.Text1.Text(), "xy");
    f.Text1.setLocked(true);
    f.Text1.type("q");
    EXPECT_EQ(f.Text1.Text(), "xy");
}

struct Modifica {
    const char* nome;
    const char* testo;  // set by code first
    std::function<void(TextBox&)> gesti;
    const char* risultato;
    int selStart, selLength;
};

TEST(Forms, TextBoxEditsAtTheCaretAndOverTheSelection) {
    const int maiusc = key::ShiftMask;
    const Modifica casi[] = {
        {"a new box types at its end", "", [](TextBox& b) { b.type("abc"); }, "abc", 3, 0},
        {"code puts the caret at the start", "10/12/2026", [](TextBox&) {}, "10/12/2026", 0, 0},
        {"typing after select-all replaces",
         "10/12/2026",
         [](TextBox& b) {
             b.selectAll();
             b.type("01/11/2026");
         },
         "01/11/2026", 10, 0},
        {"typing goes in at the caret",
         "abc",
         [](TextBox& b) {
             b.keyDown(key::End, 0);
             b.keyDown(key::Left, 0);
             b.type("X");
         },
         "abXc", 3, 0},
        {"shift with the arrows selects",
         "abcd",
         [=](TextBox& b) {
             b.keyDown(key::End, 0);
             b.keyDown(key::Left, maiusc);
             b.keyDown(key::Left, maiusc);
         },
         "abcd", 2, 2},
        {"shift+home selects back to the start",
         "abcd",
         [=](TextBox& b) {
             b.keyDown(key::Right, 0);
             b.keyDown(key::Home, maiusc);
             b.type("Z");
         },
         "Zbcd", 1, 0},
        {"the other end stays where the selection began",
         "abcd",
         [=](TextBox& b) {
             b.keyDown(key::Right, 0);
             b.keyDown(key::Right, maiusc);
             b.keyDown(key::Right, maiusc);
             b.keyDown(key::Left, maiusc);
         },
         "abcd", 1, 1},
        {"an arrow drops the selection at its side",
         "abcd",
         [=](TextBox& b) {
             b.select(1, 3);
             b.keyDown(key::Left, 0);
         },
         "abcd", 1, 0},
        {"right arrow drops it at the far side",
         "abcd",
         [=](TextBox& b) {
             b.select(3, 1);
             b.keyDown(key::Right, 0);
         },
         "abcd", 3, 0},
        {"delete takes the character after the caret",
         "abcd",
         [](TextBox& b) {
             b.keyDown(key::Delete, 0);
             b.keyDown(key::End, 0);
             b.keyDown(key::Delete, 0);
         },
         "bcd", 3, 0},
        {"backspace takes the character before it",
         "abcd",
         [](TextBox& b) {
             b.type("\b");  // at the start: nothing
             b.keyDown(key::End, 0);
             b.keyDown(key::Left, 0);
             b.type("\b");
         },
         "abd", 2, 0},
        {"delete and backspace take a selection",
         "abcdef",
         [](TextBox& b) {
             b.select(1, 3);
             b.keyDown(key::Delete, 0);
             b.select(4, 2);
             b.type("\b");
         },
         "ad", 2, 0},
        {"the mouse's selection is cut to the text", "abc", [](TextBox& b) { b.select(-5, 99); }, "abc", 0, 3},
        {"paste takes the first line in place of the selection",
         "abc",
         [](TextBox& b) {
             b.select(1, 2);
             b.paste("XY\r\nZ");
         },
         "aXYc", 3, 0},
        {"characters, not bytes",
         "caffè però",
         [=](TextBox& b) {
             b.keyDown(key::End, 0);
             b.type("\b");
             b.keyDown(key::Left, 0);
             b.keyDown(key::Left, maiusc);
             b.keyDown(key::Left, maiusc);
             b.type("ö");
         },
         "caffè ör", 7, 0},
        {"retype empties the box", "abc", [](TextBox& b) { b.retype(""); }, "", 0, 0},
    };
    for (const auto& c : casi) {
        SCOPED_TRACE(c.nome);
        Host h;
        Finestra f(h);
        f.Text1.setText(c.testo);
        c.gesti(f.Text1);
        EXPECT_EQ(f.Text1.Text(), c.risultato);
        EXPECT_EQ(f.Text1.SelStart(), c.selStart);
        EXPECT_EQ(f.Text1.SelLength(), c.selLength);
    }
}

// Each typed character still goes through KeyPress, then within MaxLength, with the room a
// selection frees; Change runs once for each change of the text and never for the caret.
TEST(Forms, TextBoxTypingKeepsKeyPressMaxLengthAndChange) {
    Host h;
    Finestra f(h);
    TextBox& b = f.Text1;
    int changes = 0;
    b.Change = [&] { ++changes; };
    b.KeyPress = [](int& k) {
        if (k == '#') k = 0;
        if (k >= 'a' && k <= 'z') k -= 32;
    };
    b.MaxLength = 4;
    b.setText("1234");  // code may fill it
    changes = 0;
    b.selectAll();
    b.type("#");
    EXPECT_EQ(b.SelLength(), 4) << "a key KeyPress swallows leaves the selection";
    b.keyDown(key::Right, 0);
    b.type("5");
    EXPECT_EQ(b.Text(), "1234") << "full";
    b.select(1, 3);
    b.type("xyz");
    EXPECT_EQ(b.Text(), "1XY4") << "the selection's room, and no more";
    b.select(0, 1);
    b.paste("abcdef");
    EXPECT_EQ(b.Text(), "aXY4") << "paste is cut to the room, and KeyPress does not see it";
    EXPECT_EQ(changes, 3);
    b.keyDown(key::Home, 0);
    b.select(0, 2);
    b.setSelStart(1);
    b.setText("aXY4");
    EXPECT_EQ(changes, 3) << "caret moves and the same text";
    b.setText("123456");
    EXPECT_EQ(b.Text(), "123456") << "code is not limited";
    b.selectAll();
    b.type("9");
    EXPECT_EQ(b.Text(), "9");
    EXPECT_EQ(changes, 5);
}

// SelStart, SelLength and SelText by code, cut, and the boxes that may only be selected.
TEST(Forms, TextBoxSelectionByCodeCutAndLockedOrMaskedBoxes) {
    Host h;
    Finestra f(h);
    TextBox& b = f.Text1;
    b.setText("abcdef");
    b.setSelStart(2);
    b.setSelLength(99);
    EXPECT_EQ(b.SelText(), "cdef");
    b.setSelLength(2);
    b.setSelText("XYZ");
    EXPECT_EQ(b.Text(), "abXYZef");
    EXPECT_EQ(b.SelStart(), 5);
    b.setSelStart(99);
    EXPECT_EQ(b.SelStart(), 7);
    b.select(0, 2);
    EXPECT_EQ(b.cut(), "ab");
    EXPECT_EQ(b.Text(), "XYZef");

    b.setLocked(true);
    b.selectAll();
    EXPECT_EQ(b.SelLength(), 5) << "a locked box may be selected";
    b.type("q\b");
    b.keyDown(key::Delete, 0);
    b.paste("p");
    EXPECT_EQ(b.cut(), "");
    EXPECT_EQ(b.Text(), "XYZef");

    b.setLocked(false);
    b.PasswordChar = "*";
    b.selectAll();
    EXPECT_EQ(b.cut(), "") << "a password is not given away";
    EXPECT_EQ(b.Text(), "XYZef");
}

TEST(Forms, ABusyWindowTakesNoInputNotEvenItsCloseAndComesBackHoweverTheRunEnds) {
    Host h;
    Finestra f(h);
    f.load();
    f.Show();
    try {
        FormBusy occupata(f);
        f.Check1.click();
        f.close();
        EXPECT_EQ(f.clicks, 0);
        EXPECT_TRUE(f.loaded());
        throw DbError("the run fails");
    } catch (const DbError&) {
    }
    EXPECT_TRUE(f.Enabled());
    f.close();
    EXPECT_FALSE(f.loaded());
}

// A run inside another, or one on a window already disabled, leaves it disabled.
TEST(Forms, ABusyWindowIsLeftAsItWasFound) {
    Host h;
    Finestra f(h);
    f.load();
    {
        FormBusy esterna(f);
        { FormBusy interna(f); }
        EXPECT_FALSE(f.Enabled());
    }
    EXPECT_TRUE(f.Enabled());
    f.setEnabled(false);
    { FormBusy occupata(f); }
    EXPECT_FALSE(f.Enabled());
}

TEST(Forms, TimersTickOnTheirIntervalAndNeverReenter) {
    Host h;
    Finestra f(h);
    f.Timer1.setEnabled(false);
    for (int i = 0; i < 30; ++i) h.loop_.doEvents();
    EXPECT_EQ(f.ticks, 0);
    f.Timer1.setEnabled(true);
    for (int i = 0; i < 30; ++i) h.loop_.doEvents();  // 300 ms at 10 ms a round
    EXPECT_EQ(f.ticks, 3);
    f.nested = true;
    for (int i = 0; i < 30; ++i) h.loop_.doEvents();
    EXPECT_GT(f.ticks, 3);
    EXPECT_EQ(f.maxDepth, 1);
    f.Timer1.setInterval(0);
    const int prima = f.ticks;
    for (int i = 0; i < 30; ++i) h.loop_.doEvents();
    EXPECT_EQ(f.ticks, prima);
}

TEST(Forms, ModalWaitNobodyAnswersFailsInsteadOfHanging) {
    Host h;
    h.loop_.setIdleLimit(50);
    Finestra f(h);
    f.load();
    EXPECT_THROW(f.ShowModal(), std::runtime_error);
    h.loop_.post([&f] { f.Unload(); });
    f.Hide();
    EXPECT_NO_THROW(f.ShowModal());
    EXPECT_EQ(h.unloaded, 1);
}

TEST(Forms, WindowsLoadOnFirstTouchAndUnloadAfresh) {
    test::Station s;
    App& a = s.app();
    EXPECT_FALSE(a.isLoaded("FrmProgSetup"));
    test::control<CheckBox>(a, "FrmProgSetup", "Check1");
    EXPECT_TRUE(a.isLoaded("FrmProgSetup"));
    EXPECT_FALSE(a.form("FrmProgSetup").Visible());
    auto& primo = a.form("FrmProgSetup");
    test::control<TextBox>(a, "FrmProgSetup", "Text2").setText("77");
    primo.Unload();
    EXPECT_FALSE(a.isLoaded("FrmProgSetup"));
    EXPECT_EQ(test::control<TextBox>(a, "FrmProgSetup", "Text2").Text(), "10") << "a fresh window reads the file again";
}

}  // namespace
}  // namespace vc

namespace vc {
namespace {

TEST(EventLoop, AHandlerThatThrowsIsReportedAndTheLoopGoesOn) {
    test::FakeClock clock;
    EventLoop loop(clock);
    std::vector<std::string> reported;
    loop.setErrorReporter([&](const std::exception& e) { reported.push_back(e.what()); });
    int after = 0;
    loop.post([] { throw std::runtime_error("database is locked"); });
    loop.post([&] { ++after; });
    loop.doEvents();
    EXPECT_EQ(reported, std::vector<std::string>{"database is locked"});
    EXPECT_EQ(after, 1);
    loop.setErrorReporter(nullptr);
    loop.post([] { throw std::runtime_error("x"); });
    EXPECT_THROW(loop.doEvents(), std::runtime_error);
}

}  // namespace
}  // namespace vc

namespace vc {
namespace {

// The clock plays a real one's blocking: a wait lasts all the time it asks for. A tick takes 15 ms
// of a 10 ms interval, as a poll outlasts its tick.
TEST(EventLoop, IdleLoopWaitsJustUntilTheNextTimerOrThePump) {
    struct Caso {
        const char* nome;
        int pompa;  // the pump's interval; 0: no pump
        std::vector<int> attese;
    } casi[] = {
        {"timer only", 0, {10}},        // then the timer is due at once after every tick: no wait
        {"pump every 4 ms", 4, {4, 4, 2}},
    };
    for (const auto& c : casi) {
        SCOPED_TRACE(c.nome);
        Host h;
        h.clock.quantum = 0;
        std::vector<int> attese;
        h.clock.onWait = [&](int fd, int ms) {
            EXPECT_EQ(fd, -1);
            attese.push_back(ms);
            h.clock.advance(ms);
        };
        if (c.pompa) h.loop_.setExternalPump([] {}, c.pompa);
        Finestra f(h);
        f.load();
        std::vector<std::int64_t> scatti;
        f.Timer1.TimerEvent = [&] {
            scatti.push_back(h.clock.monotonicMs());
            h.clock.sleep(15);
        };
        f.Timer1.setInterval(10);
        f.Timer1.setEnabled(true);
        h.loop_.run([&] { return scatti.size() == 3; });
        EXPECT_EQ(scatti, (std::vector<std::int64_t>{10, 25, 40}));
        EXPECT_EQ(attese, c.attese);
    }
}

}  // namespace
}  // namespace vc
