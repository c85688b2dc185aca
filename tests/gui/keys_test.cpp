// Keys reach the form before its controls, with the classic codes, whichever widget has the focus.

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QToolButton>

#include <vector>

#include "gui_support.h"

namespace vc {
namespace {

// Writes down every key its handlers see.
class FrmTasti final : public Form {
public:
    explicit FrmTasti(App& app) : Form(app, "FrmTasti") {
        setCaption("Tasti");
        geometry = {0, 0, 300, 100};
        text1.place(10, 10, 200, 24);
        Command1.setCaption("Ok");
        Command1.place(10, 50, 80, 30);
        Command1.Click = [this] { registro += "C "; };
    }
    TextBox text1{*this, "text1"};
    CommandButton Command1{*this, "Command1"};
    std::string registro;

protected:
    void Form_KeyDown(int k, int shift) override {
        registro += "D" + std::to_string(k) + "/" + std::to_string(shift) + " ";
    }
    void Form_KeyPress(int& ascii) override { registro += "P" + std::to_string(ascii) + " "; }
};

struct Tasto {
    const char* fuoco;  // the widget with the focus; "" for the window itself
    Qt::Key tasto;
    const char* testo;
    Qt::KeyboardModifiers modificatori;
    const char* registro;  // what the form saw
    const char* casella;   // text1's Text afterwards
};

TEST(Tasti, ReachTheFormFirstThenTheFocusedControl) {
    const Tasto casi[] = {
        {"", Qt::Key_F1, "", Qt::NoModifier, "D112/0 ", ""},
        {"", Qt::Key_A, "A", Qt::ShiftModifier, "D16/1 D65/1 P65 ", ""},  // Shift goes down first
        {"", Qt::Key_Escape, "\x1b", Qt::NoModifier, "D27/0 P27 ", ""},
        {"text1", Qt::Key_A, "a", Qt::NoModifier, "D65/0 P97 ", "a"},
        {"text1", Qt::Key_F1, "", Qt::NoModifier, "D112/0 ", ""},
        {"text1", Qt::Key_unknown, "è", Qt::NoModifier, "P256 ", "è"},
        {"text1", Qt::Key_Return, "\r", Qt::NoModifier, "D13/0 P13 ", ""},
        {"Command1", Qt::Key_Return, "\r", Qt::NoModifier, "D13/0 P13 C ", ""},  // Enter presses it
    };
    for (const auto& c : casi) {
        SCOPED_TRACE(std::string(c.fuoco) + " " + c.registro);
        test::OnScreen s;
        s.app().registerForm("FrmTasti", [](App& a) { return std::make_unique<FrmTasti>(a); });
        gui::FormWindow& w = s.show("FrmTasti");
        if (*c.fuoco)
            w.findChild<QWidget*>(c.fuoco)->setFocus();
        else if (QWidget* f = w.focusWidget())
            f->clearFocus();
        QTest::sendKeyEvent(QTest::Click, w.windowHandle(), c.tasto, QString::fromUtf8(c.testo), c.modificatori);
        s.settle();
        auto& f = static_cast<FrmTasti&>(s.app().form("FrmTasti"));
        EXPECT_EQ(f.registro, c.registro);
        EXPECT_EQ(f.text1.Text(), c.casella);
        EXPECT_EQ(w.findChild<QLineEdit*>("text1")->text().toStdString(), c.casella);
    }
}

struct Gesto {
    Qt::Key tasto;
    Qt::KeyboardModifiers modificatori = Qt::NoModifier;
};

struct Correzione {
    const char* nome;
    std::vector<Gesto> tasti;  // on "10/12/2026", set by code in the box that has the focus
    const char* scritto;       // typed afterwards
    const char* testo;
    int cursore;
    const char* selezionato;
    const char* appunti = "27";  // the clipboard afterwards
};

// The keys typed into the real line edit edit the model's box; the line edit shows its caret and
// selection.
TEST(Tasti, EditATextBoxAtItsCaret) {
    const auto maiusc = Qt::ShiftModifier;
    const Correzione casi[] = {
        {"code leaves the caret at the start", {}, "7", "710/12/2026", 1, ""},
        {"select-all then typing replaces", {{Qt::Key_End}, {Qt::Key_A, Qt::ControlModifier}}, "01/11/2026",
         "01/11/2026", 10, ""},
        {"arrows and backspace", {{Qt::Key_End}, {Qt::Key_Left}, {Qt::Key_Left}, {Qt::Key_Backspace}}, "",
         "10/12/226", 7, ""},
        {"home and delete", {{Qt::Key_Home}, {Qt::Key_Delete}}, "", "0/12/2026", 0, ""},
        {"shift selects", {{Qt::Key_Home}, {Qt::Key_Right, maiusc}, {Qt::Key_Right, maiusc}}, "", "10/12/2026", 2,
         "10"},
        {"paste over a selection",
         {{Qt::Key_End}, {Qt::Key_Left, maiusc}, {Qt::Key_Left, maiusc}, {Qt::Key_V, Qt::ControlModifier}},
         "",
         "10/12/2027",
         10,
         ""},
        {"cut", {{Qt::Key_Home}, {Qt::Key_Right, maiusc}, {Qt::Key_X, Qt::ControlModifier}}, "", "0/12/2026", 0, "", "1"},
    };
    for (const auto& c : casi) {
        SCOPED_TRACE(c.nome);
        test::OnScreen s;
        s.app().registerForm("FrmTasti", [](App& a) { return std::make_unique<FrmTasti>(a); });
        gui::FormWindow& w = s.show("FrmTasti");
        auto& f = static_cast<FrmTasti&>(s.app().form("FrmTasti"));
        auto* edit = w.findChild<QLineEdit*>("text1");
        edit->setFocus();
        s.settle();
        f.text1.setText("10/12/2026");
        QGuiApplication::clipboard()->setText("27");
        s.settle();
        for (const Gesto& g : c.tasti) s.press("FrmTasti", g.tasto, g.modificatori);
        s.type("FrmTasti", QString::fromUtf8(c.scritto));
        EXPECT_EQ(f.text1.Text(), c.testo);
        EXPECT_EQ(edit->text().toStdString(), c.testo);
        EXPECT_EQ(edit->cursorPosition(), c.cursore);
        EXPECT_EQ(f.text1.caret(), c.cursore);
        EXPECT_EQ(edit->selectedText().toStdString(), c.selezionato);
        EXPECT_EQ(f.text1.SelText(), c.selezionato);
        EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), c.appunti);
    }
}

// A click places the caret, a drag selects, and what is typed then goes there.
TEST(Tasti, TheMouseSetsATextBoxsCaretAndSelection) {
    test::OnScreen s;
    s.app().registerForm("FrmTasti", [](App& a) { return std::make_unique<FrmTasti>(a); });
    gui::FormWindow& w = s.show("FrmTasti");
    auto& f = static_cast<FrmTasti&>(s.app().form("FrmTasti"));
    f.text1.setText("10/12/2026");
    s.settle();
    auto* edit = w.findChild<QLineEdit*>("text1");
    const QPoint fine(edit->width() - 4, edit->height() / 2);
    QTest::mouseClick(edit, Qt::LeftButton, {}, fine);
    s.settle();
    EXPECT_EQ(f.text1.caret(), 10);
    EXPECT_EQ(f.text1.SelLength(), 0);
    QTest::mousePress(edit, Qt::LeftButton, {}, QPoint(2, edit->height() / 2));
    QTest::mouseMove(edit, fine);
    QTest::mouseRelease(edit, Qt::LeftButton, {}, fine);
    s.settle();
    EXPECT_EQ(f.text1.SelLength(), 10);
    s.type("FrmTasti", "7");
    EXPECT_EQ(f.text1.Text(), "7");
    EXPECT_EQ(edit->text().toStdString(), "7");
}

TEST(Tasti, F1AndTheLetterAUnlockAReaderFromTheMainWindow) {
    struct Caso {
        Qt::Key tasto;
        const char* testo;
    } casi[] = {{Qt::Key_F1, ""}, {Qt::Key_A, "A"}, {Qt::Key_A, "a"}};
    for (const auto& c : casi) {
        SCOPED_TRACE(c.testo);
        test::OnScreen s;
        for (int i = 1; i <= 2; ++i)
            s.station.sql(
                "INSERT INTO Lettori (TipoLettore, SituatoPresso, CodiceImpianto, Stato, NumeroLoop, "
                "NumeroIndirizzo) VALUES ('KOVA KV-M1', 'INGRESSO', '000123', 'In', 1, " +
                std::to_string(i) + ")");
        // With two readers the station asks which one; no answer unlocks none.
        s.station.dialogs.expectInput("Inserire il numero del lettore da sbloccare", "Varcanto", "");
        s.start();
        s.widget<QToolButton>("FrmMain", "Command4").setFocus();
        QTest::sendKeyEvent(QTest::Click, s.window("FrmMain").windowHandle(), c.tasto, QString(c.testo),
                            Qt::NoModifier);
        s.settle();
        EXPECT_TRUE(s.station.dialogs.allAnswered());
    }
}

}  // namespace
}  // namespace vc
