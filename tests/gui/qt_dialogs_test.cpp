// The dialogs on the screen: the box the operator sees and the answer the model gets back.

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

#include "gui/qt_dialogs.h"
#include "support/fakes.h"

namespace vc {
namespace {

// Runs 'f' on the modal dialog as soon as it is up, from inside its own loop.
template <class Box>
void allApertura(std::function<void(Box&)> f) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, f = std::move(f)] {
        auto* box = qobject_cast<Box*>(QApplication::activeModalWidget());
        if (!box) return;
        poll->stop();
        poll->deleteLater();
        f(*box);
    });
    poll->start(0);
}

QStringList pulsanti(QMessageBox& box) {
    QStringList out;
    for (QAbstractButton* b : box.buttons()) out << b->text();
    out.sort();
    return out;
}

void premi(QWidget& box, const QString& testo) {
    for (auto* b : box.findChildren<QPushButton*>())
        if (b->text() == testo) return b->click();
    ADD_FAILURE() << "no button " << testo.toStdString();
}

struct Scatola {
    int stile;
    QMessageBox::Icon icona;
    QStringList pulsanti;  // sorted
    const char* premuto;
    int risposta;
};

TEST(QtDialogs, MessageBoxShowsTextIconTitleAndItalianButtons) {
    const Scatola casi[] = {
        {mb::OKOnly | mb::Critical, QMessageBox::Critical, {"OK"}, "OK", mb::OK},
        {mb::YesNo | mb::Question, QMessageBox::Question, {"No", "Sì"}, "No", mb::No},
        {mb::OKCancel | mb::Exclamation, QMessageBox::Warning, {"Annulla", "OK"}, "Annulla", mb::Cancel},
        {mb::AbortRetryIgnore | mb::Information,
         QMessageBox::Information,
         {"Ignora", "Interrompi", "Riprova"},
         "Riprova",
         mb::Retry},
        {mb::YesNoCancel, QMessageBox::NoIcon, {"Annulla", "No", "Sì"}, "Sì", mb::Yes},
        {mb::RetryCancel, QMessageBox::NoIcon, {"Annulla", "Riprova"}, "Annulla", mb::Cancel},
    };
    test::FakeClock clock;
    gui::QtDialogs dialogs(clock);
    for (const auto& c : casi) {
        SCOPED_TRACE(c.premuto);
        QString testo, titolo;
        QMessageBox::Icon icona{};
        QStringList visti;
        allApertura<QMessageBox>([&](QMessageBox& box) {
            testo = box.text();
            titolo = box.windowTitle();
            icona = box.icon();
            visti = pulsanti(box);
            premi(box, c.premuto);
        });
        EXPECT_EQ(dialogs.msgBox("Prima riga\r\nseconda riga", c.stile, "Attenzione"), c.risposta);
        EXPECT_EQ(testo, "Prima riga\nseconda riga");
        EXPECT_EQ(titolo, "Attenzione");
        EXPECT_EQ(icona, c.icona);
        EXPECT_EQ(visti, c.pulsanti);
    }
}

TEST(QtDialogs, InputBoxGivesTheTextOrNothingOnCancel) {
    const std::pair<const char*, std::string> casi[] = {{"OK", "3"}, {"Annulla", ""}};
    test::FakeClock clock;
    gui::QtDialogs dialogs(clock);
    for (const auto& [premuto, risposta] : casi) {
        QString domanda, titolo, iniziale;
        allApertura<QInputDialog>([&, premuto = premuto](QInputDialog& box) {
            domanda = box.labelText();
            titolo = box.windowTitle();
            iniziale = box.textValue();
            box.setTextValue("3");
            premi(box, premuto);
        });
        EXPECT_EQ(dialogs.inputBox("Inserire il numero del lettore da sbloccare", "Varcanto", "1"), risposta);
        EXPECT_EQ(domanda, "Inserire il numero del lettore da sbloccare");
        EXPECT_EQ(titolo, "Varcanto");
        EXPECT_EQ(iniziale, "1");
    }
}

// The buttons and dialogs Qt draws itself (the print dialog, the preview) are in Italian, as the
// program's own, once Qt's translations are installed.
TEST(QtDialogs, QtsOwnDialogsSpeakItalian) {
    if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_it.qm"))
        GTEST_SKIP() << "Qt's Italian translations are not installed (qt6-translations-l10n)";
    EXPECT_EQ(QLocale().language(), QLocale::Italian);
    QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Close);
    EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text(), "Annulla");
    EXPECT_EQ(buttons.button(QDialogButtonBox::Close)->text(), "Chiudi");
    QPrinter printer;
    QPrintDialog dialog(&printer);
    QStringList choices;
    for (const QComboBox* c : dialog.findChildren<QComboBox*>())
        for (int i = 0; i < c->count(); ++i) choices << c->itemText(i);
    EXPECT_TRUE(choices.contains("Tutte le pagine")) << choices.join(", ").toStdString();
    EXPECT_FALSE(choices.contains("All Pages"));
}

TEST(QtDialogs, BeepsAreAtLeastATenthOfASecondApart) {
    test::FakeClock clock;
    int suoni = 0;
    gui::QtDialogs dialogs(clock, [&] { ++suoni; });
    for (int i = 0; i < 5; ++i) dialogs.beep();
    EXPECT_EQ(suoni, 1);
    clock.advance(99);
    dialogs.beep();
    EXPECT_EQ(suoni, 1);
    clock.advance(1);
    dialogs.beep();
    EXPECT_EQ(suoni, 2);
}

TEST(QtDialogs, BusyPointerIsOneHourglassHoweverOftenItIsAskedFor) {
    test::FakeClock clock;
    {
        gui::QtDialogs dialogs(clock);
        dialogs.setBusyPointer(true);
        dialogs.setBusyPointer(true);
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        dialogs.setBusyPointer(false);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        dialogs.setBusyPointer(true);
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);  // not left behind
}

}  // namespace
}  // namespace vc
