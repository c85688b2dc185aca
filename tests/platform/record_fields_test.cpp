#include "platform/record_fields.h"

#include <gtest/gtest.h>

#include "platform/events.h"
#include "support/fakes.h"

namespace vc {
namespace {

using Host = test::FormHostFake;

class Scheda final : public Form {
public:
    explicit Scheda(Host& h) : Form(h, "Scheda") {}
    TextBox Testo{*this, "Testo"};
    TextBox Numero{*this, "Numero"};
    ComboBox Nome{*this, "Nome"};
    CheckBox Spunta{*this, "Spunta"};
    Frame Coppia{*this, "Coppia"};
    OptionButton Si{*this, "Si", &Coppia};
    OptionButton No{*this, "No", &Coppia};
    Frame Gruppo{*this, "Gruppo"};
    OptionButton Nessuna{*this, "Nessuna", &Gruppo};
    OptionButton Prima{*this, "Prima", &Gruppo};
    OptionButton Seconda{*this, "Seconda", &Gruppo};

    std::vector<FieldControl> campi() {
        return {
            {"Testo", Testo},
            {"Numero", Numero, [](const std::string& t) { return Value(static_cast<int>(t.size())); }},
            {"Nome", Nome, [](const std::string& t) { return Value("<" + t + ">"); }},
            {"Spunta", Spunta},
            {"Coppia", Si, No},
            {"Gruppo", {&Nessuna, &Prima, &Seconda}},
        };
    }
};

class RecordFields : public ::testing::Test {
protected:
    RecordFields() : db(Database::memory()) {
        db->execute("CREATE TABLE Schede (Testo TEXT, Numero, Nome TEXT, Spunta INTEGER, Coppia INTEGER, Gruppo)");
    }
    // The table's only row, of the values given.
    std::unique_ptr<Recordset> riga(const std::string& valori) {
        db->execute("DELETE FROM Schede");
        db->execute("INSERT INTO Schede VALUES (" + valori + ")");
        return openRecordset(db, "Schede");
    }
    std::string gruppo() const {
        const OptionButton* opzioni[] = {&f.Nessuna, &f.Prima, &f.Seconda};
        std::string scelte;
        for (int i = 0; i < 3; ++i)
            if (opzioni[i]->Value()) scelte += std::to_string(i);
        return scelte;
    }
    Host h;
    Scheda f{h};
    std::shared_ptr<Database> db;
};

TEST_F(RecordFields, ShowingPutsEachFieldInItsControl) {
    struct Caso {
        const char* valori;
        const char* testo;
        const char* nome;
        int spunta;
        bool si;
        const char* gruppo;  // the options chosen after showing, from "Prima" chosen before
    } casi[] = {
        {"'Rossi', '12', 'Turno A', 1, 1, 2", "Rossi", "Turno A", 1, true, "2"},
        {"'', 7, '', 0, 0, 0", "", "", 0, false, "0"},
        // Null shows as nothing; a Null or unknown number leaves the group as it was.
        {"NULL, NULL, NULL, NULL, NULL, NULL", "", "", 0, false, "1"},
        {"'x', 1, 'y', 5, 'True', 3", "x", "y", 1, true, "1"},
        {"'x', 1, 'y', 0, 0, -1", "x", "y", 0, false, "1"},
    };
    for (const Caso& c : casi) {
        SCOPED_TRACE(c.valori);
        f.Spunta.setValue(1 - c.spunta);
        f.Prima.setValue(true);
        showRecord(*riga(c.valori), f.campi());
        EXPECT_EQ(f.Testo.Text(), c.testo);
        EXPECT_EQ(f.Nome.Text(), c.nome);
        EXPECT_EQ(f.Spunta.Value(), c.spunta);
        EXPECT_EQ(f.Si.Value(), c.si);
        EXPECT_EQ(f.No.Value(), !c.si);
        EXPECT_EQ(gruppo(), c.gruppo);
    }
}

TEST_F(RecordFields, SavingStoresEachControlThroughItsRowsConversion) {
    struct Caso {
        const char* scelta;  // the group's option chosen, "" for none
        int gruppo;
    } casi[] = {{"Nessuna", 0}, {"Prima", 1}, {"Seconda", 2}, {"", 0}};
    for (const Caso& c : casi) {
        SCOPED_TRACE(c.scelta);
        auto rs = riga("NULL, NULL, NULL, NULL, NULL, NULL");
        f.Testo.setText("Bianchi");
        f.Numero.setText("abc");
        f.Nome.setText(" B ");
        f.Spunta.setValue(1);
        f.No.setValue(true);
        for (OptionButton* o : {&f.Nessuna, &f.Prima, &f.Seconda}) o->setValue(o->name() == c.scelta);
        rs->Edit();
        saveRecord(*rs, f.campi());
        rs->Update();
        std::vector<std::string> scritta;
        const auto righe = db->query("SELECT * FROM Schede");
        for (const auto& [campo, v] : righe.at(0))
            scritta.push_back(campo + "=" + (v.isText() ? "'" + v.str() + "'" : v.str()));
        EXPECT_EQ(scritta, (std::vector<std::string>{"Testo='Bianchi'", "Numero=3", "Nome='< B >'", "Spunta=1",
                                                      "Coppia=0", "Gruppo=" + std::to_string(c.gruppo)}));
    }
}

}  // namespace
}  // namespace vc
