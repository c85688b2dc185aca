#include <gtest/gtest.h>

#include "platform/events.h"
#include "platform/layout.h"
#include "support/fakes.h"

namespace vc {
namespace {

using Host = test::FormHostFake;

class Finestra final : public Form {
public:
    explicit Finestra(Host& h) : Form(h, "Finestra") {
        layOut({
            {Frame1, "Dati", {10, 20, 300, 200}},
            {Text1, {12, 24, 80, 22}, 4},
            {Text2, {12, 54, 80, 22}},
            {Command1, "Ok", {40, 220, 100, 30}},
            {Command2, "Annulla", {150, 220, 100, 30}, defaultButton},
            {Image1, "setup/beep", {310, 22, 26, 26}},
            {Command3, picture("nav/next"), {260, 220, 40, 30}},
        });
        wire(*this, {
            {Command1.Click, &Finestra::Command1_Click},
            {Text1.Change, &Finestra::Text1_Change},
        });
        load();
    }
    void Command1_Click() { ++clicks; }
    void Text1_Change() { ++changes; }

    Frame Frame1{*this, "Frame1"};
    TextBox Text1{*this, "Text1", &Frame1};
    TextBox Text2{*this, "Text2", &Frame1};
    CommandButton Command1{*this, "Command1"};
    CommandButton Command2{*this, "Command2"};
    CommandButton Command3{*this, "Command3"};
    Image Image1{*this, "Image1"};
    int clicks = 0, changes = 0;
};

TEST(Layout, EachRowSetsWhatItNamesAndNothingElse) {
    Host h;
    Finestra f(h);
    EXPECT_EQ(f.Frame1.Caption(), "Dati");
    EXPECT_EQ(f.Frame1.geometry.top, 20);
    EXPECT_EQ(f.Text1.geometry.width, 80);
    EXPECT_EQ(f.Text1.MaxLength, 4);
    EXPECT_EQ(f.Text2.MaxLength, 0);
    EXPECT_EQ(f.Text2.geometry.top, 54);
    EXPECT_EQ(f.Command1.Caption(), "Ok");
    EXPECT_EQ(f.Command1.geometry.height, 30);
    EXPECT_FALSE(f.Command1.isDefault);
    EXPECT_TRUE(f.Command2.isDefault);
    EXPECT_EQ(f.Command2.Caption(), "Annulla");
    EXPECT_EQ(f.Image1.Picture, "setup/beep");
    EXPECT_EQ(f.Image1.geometry.left, 310);
    EXPECT_EQ(f.Command3.Picture(), "nav/next");
    EXPECT_EQ(f.Command3.Caption(), "");
    EXPECT_EQ(f.Command3.geometry.left, 260);
    EXPECT_EQ(f.Command1.Picture(), "");
}

TEST(Layout, WiredEventsRunTheirMemberFunctions) {
    Host h;
    Finestra f(h);
    f.Command1.click();
    f.Text1.type("1");
    EXPECT_EQ(f.clicks, 1);
    EXPECT_EQ(f.changes, 1);
}

}  // namespace
}  // namespace vc
