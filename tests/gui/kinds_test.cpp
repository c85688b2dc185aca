// One control of every kind on a window of its own: the widget each is drawn with, and the
// operator's choices on them going through the model.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QTabBar>
#include <QTableView>
#include <QToolButton>

#include "gui_support.h"

namespace vc {
namespace {

class FrmCampionario final : public Form {
public:
    explicit FrmCampionario(App& app) : Form(app, "FrmCampionario"), app_(app) {
        setCaption("Campionario");
        geometry = {0, 0, 560, 400};
        Label1.setCaption("Etichetta su fondo giallo");
        Label1.opaque = true;
        Label1.setBackColor(colour::Yellow);
        Label1.place(10, 10, 200, 24);
        Command1.setCaption("Uscite");
        Command1.setPicture("output/1");
        Command1.place(10, 40, 100, 80);
        Text1.setText("testo");
        Text1.place(120, 40, 90, 24);
        Check1.setCaption("Suoneria");
        Check1.picture = "setup/beep";
        Check1.place(120, 70, 110, 24);
        Frame1.setCaption("Cifre");
        Frame1.place(10, 130, 200, 80);
        Option1.setCaption("3 cifre");
        Option1.place(10, 22, 180, 22);
        Option2.setCaption("4 cifre");
        Option2.place(10, 48, 180, 22);
        Option1.setValue(true);
        Shape1.round = true;
        Shape1.setFillColor(colour::Green);
        Shape1.place(10, 220, 60, 30);
        Image1.Picture = "setup/storico";
        Image1.place(80, 220, 30, 30);
        Combo1.AddItem("Lunedì");
        Combo1.AddItem("Martedì");
        Combo1.setListIndex(0);
        Combo1.place(120, 220, 100, 24);
        Combo2.editable = true;
        Combo2.AddItem("Mattina");
        Combo2.AddItem("Sera");
        Combo2.place(120, 300, 100, 24);
        Progress1.Max = 10;
        Progress1.setValue(4);
        Progress1.place(10, 260, 200, 20);
        Tab1.TabCaptions = {"Primo", "Secondo"};
        Tab1.place(240, 10, 310, 120);
        Pagina0.setCaption("Sulla prima pagina");
        Pagina0.page = 0;
        Pagina0.place(10, 40, 200, 20);
        Pagina1.setCaption("Sulla seconda pagina");
        Pagina1.page = 1;
        Pagina1.place(10, 40, 200, 20);
        Griglia.place(240, 140, 310, 250);
        Griglia.columns = {"SituatoPresso", "Stato", "NumeroIndirizzo"};
        Data1.setVisible(false);
    }
    Label Label1{*this, "Label1"};
    CommandButton Command1{*this, "Command1"};
    TextBox Text1{*this, "Text1"};
    CheckBox Check1{*this, "Check1"};
    Frame Frame1{*this, "Frame1"};
    OptionButton Option1{*this, "Option1", &Frame1};
    OptionButton Option2{*this, "Option2", &Frame1};
    Shape Shape1{*this, "Shape1"};
    Image Image1{*this, "Image1"};
    ComboBox Combo1{*this, "Combo1"};
    ComboBox Combo2{*this, "Combo2"};
    ProgressBar Progress1{*this, "Progress1"};
    TabControl Tab1{*this, "Tab1"};
    Label Pagina0{*this, "Pagina0", &Tab1};
    Label Pagina1{*this, "Pagina1", &Tab1};
    Data Data1{*this, "Data1"};
    DataGrid Griglia{*this, "Griglia", Data1};
    Timer Timer1{*this, "Timer1"};

protected:
    void Form_Load() override {
        Data1.DatabaseName = app_.file("Varcanto.mdb");
        Data1.RecordSource = "Lettori";
        Data1.Refresh();
        Data1.recordset()->MoveNext();  // the grid must leave the current record alone
        Griglia.Refresh();
    }

private:
    App& app_;
};

class Campionario : public ::testing::Test {
protected:
    Campionario() {
        const char* lettori[][2] = {{"INGRESSO", "In"}, {"USCITA", "Out"}, {"VARCO", "InOut"}};
        int indirizzo = 0;
        for (auto& l : lettori)
            s.station.sql(std::string("INSERT INTO Lettori (SituatoPresso, Stato, NumeroIndirizzo) VALUES ('") + l[0] +
                          "', '" + l[1] + "', " + std::to_string(++indirizzo) + ")");
        s.app().registerForm("FrmCampionario", [](App& a) { return std::make_unique<FrmCampionario>(a); });
    }
    FrmCampionario& f() { return static_cast<FrmCampionario&>(s.app().form("FrmCampionario")); }
    template <class W>
    W& w(const char* name) {
        return s.widget<W>("FrmCampionario", name);
    }
    test::OnScreen s;
};

TEST_F(Campionario, EveryKindHasItsWidget) {
    gui::FormWindow& win = s.show("FrmCampionario");
    test::screenshot(win, "Campionario");
    const std::pair<const char*, const char*> widgets[] = {
        {"Label1", "QLabel"},          {"Command1", "QToolButton"}, {"Text1", "QLineEdit"}, {"Check1", "QCheckBox"},
        {"Option1", "QRadioButton"},   {"Frame1", "QGroupBox"},     {"Image1", "QLabel"},   {"Combo1", "QComboBox"},
        {"Progress1", "QProgressBar"}, {"Griglia", "QTableView"}, {"Data1", "QFrame"},
    };
    for (auto [name, cls] : widgets) {
        QWidget* widget = win.findChild<QWidget*>(name);
        ASSERT_TRUE(widget) << name;
        EXPECT_TRUE(widget->inherits(cls)) << name << " is a " << widget->metaObject()->className();
    }
    EXPECT_EQ(win.widgetOf(f().Timer1), nullptr);
    EXPECT_EQ(w<QLabel>("Label1").palette().color(QPalette::Window), QColor(255, 255, 0));
    EXPECT_FALSE(w<QToolButton>("Command1").icon().isNull());
    EXPECT_EQ(w<QLineEdit>("Text1").text(), "testo");
    EXPECT_EQ(w<QComboBox>("Combo1").currentText(), "Lunedì");
    EXPECT_EQ(w<QProgressBar>("Progress1").value(), 4);
    EXPECT_TRUE(w<QLabel>("Pagina0").isVisible());
    EXPECT_FALSE(w<QLabel>("Pagina1").isVisible());
    EXPECT_FALSE(w<QFrame>("Data1").isVisible());
}

TEST_F(Campionario, GridShowsTheRecordsAndLeavesTheCurrentOne) {
    s.show("FrmCampionario");
    auto& grid = w<QTableView>("Griglia");
    const QAbstractItemModel& rows = *grid.model();
    ASSERT_EQ(rows.rowCount(), 3);
    ASSERT_EQ(rows.columnCount(), 3);
    EXPECT_EQ(rows.headerData(1, Qt::Horizontal).toString(), "Stato");
    EXPECT_EQ(rows.index(2, 0).data().toString(), "VARCO");
    EXPECT_EQ(f().Data1.recordset()->AbsolutePosition(), 1);
    EXPECT_EQ(grid.selectionModel()->selectedRows().value(0).row(), 1);
}

TEST_F(Campionario, ChoicesGoThroughTheModel) {
    s.show("FrmCampionario");
    QTest::mouseClick(&w<QRadioButton>("Option2"), Qt::LeftButton, {}, QPoint(8, 11));  // on its round button
    emit w<QComboBox>("Combo1").activated(1);
    auto& bar = *w<QWidget>("Tab1").findChild<QTabBar*>();
    QTest::mouseClick(&bar, Qt::LeftButton, {}, bar.tabRect(1).center());
    s.settle();
    EXPECT_TRUE(f().Option2.Value());
    EXPECT_FALSE(f().Option1.Value());  // the model cleared the other one of its frame
    EXPECT_FALSE(w<QRadioButton>("Option1").isChecked());
    EXPECT_EQ(f().Combo1.ListIndex(), 1);
    EXPECT_EQ(f().Tab1.Tab(), 1);
    EXPECT_FALSE(w<QLabel>("Pagina0").isVisible());
    EXPECT_TRUE(w<QLabel>("Pagina1").isVisible());
}

// An editable box: what the operator types is the model's text; what the model sets is shown.
TEST_F(Campionario, AnEditableComboBoxTakesTypedText) {
    s.show("FrmCampionario");
    auto& combo = w<QComboBox>("Combo2");
    ASSERT_TRUE(combo.isEditable());
    EXPECT_FALSE(w<QComboBox>("Combo1").isEditable());
    emit combo.activated(1);
    s.settle();
    EXPECT_EQ(f().Combo2.Text(), "Sera");
    combo.lineEdit()->setFocus();
    combo.lineEdit()->selectAll();
    s.type("FrmCampionario", "Notte\r");
    EXPECT_EQ(f().Combo2.Text(), "Notte");
    EXPECT_EQ(f().Combo2.ListIndex(), -1);
    EXPECT_EQ(combo.count(), 2) << "the typed text is not added to the list";
    s.type("FrmCampionario", "\b\b\b\b\b");
    EXPECT_EQ(f().Combo2.Text(), "");
    f().Combo2.setText("Mattina");
    s.settle();
    EXPECT_EQ(combo.currentText(), "Mattina");
    EXPECT_EQ(combo.currentIndex(), 0);
}

TEST_F(Campionario, DisabledControlsRefuseTheOperator) {
    s.show("FrmCampionario");
    f().Frame1.setEnabled(false);
    f().Check1.setEnabled(false);
    EXPECT_FALSE(w<QRadioButton>("Option2").isEnabled());
    QTest::mouseClick(&w<QRadioButton>("Option2"), Qt::LeftButton, {}, QPoint(8, 11));
    QTest::mouseClick(&w<QCheckBox>("Check1"), Qt::LeftButton, {}, QPoint(8, 12));
    s.settle();
    EXPECT_TRUE(f().Option1.Value());
    EXPECT_EQ(f().Check1.Value(), 0);
    EXPECT_FALSE(w<QCheckBox>("Check1").isChecked());
}

}  // namespace
}  // namespace vc
