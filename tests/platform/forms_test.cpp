#include <gtest/gtest.h>

#include "platform/events.h"
#include "platform/forms.h"
#include "support/fakes.h"

namespace vc {
namespace {

class Host final : public FormHost {
public:
    EventLoop& loop() override { return loop_; }
    void formUnloaded(Form&) override { ++unloaded; }
    test::FakeClock clock;
    EventLoop loop_{clock};
    int unloaded = 0;
};

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
    a.control<CheckBox>("FrmProgSetup", "Check1");
    EXPECT_TRUE(a.isLoaded("FrmProgSetup"));
    EXPECT_FALSE(a.form("FrmProgSetup").Visible());
    auto& primo = a.form("FrmProgSetup");
    a.control<TextBox>("FrmProgSetup", "Text2").setText("77");
    primo.Unload();
    EXPECT_FALSE(a.isLoaded("FrmProgSetup"));
    EXPECT_EQ(a.control<TextBox>("FrmProgSetup", "Text2").Text(), "10") << "a fresh window reads the file again";
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
