// The front-end tests need one QApplication; without a screen they run offscreen.
#include <QApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "gui/front_end.h"
#include "gui_support.h"

namespace vc::test {

void OnScreen::settle(int rounds) {
    for (int i = 0; i < rounds; ++i) station.loop.doEvents();
}

void OnScreen::start() {
    station.start().Show();
    settle();
}

gui::FormWindow& OnScreen::show(const std::string& form) {
    app().form(form).Show();
    settle();
    return window(form);
}

gui::FormWindow& OnScreen::window(const std::string& form) {
    gui::FormWindow* w = screen.window(form);
    if (!w) throw std::logic_error("no window for " + form);
    return *w;
}

void OnScreen::type(const std::string& form, const QString& typed) {
    keys(form, typed);
    settle();
}

void OnScreen::keys(const std::string& form, const QString& typed) {
    for (QChar ch : typed) {
        if (ch == '\b')
            QTest::keyClick(window(form).windowHandle(), Qt::Key_Backspace);
        else if (ch == '\r')
            QTest::keyClick(window(form).windowHandle(), Qt::Key_Return);
        else if (ch.unicode() < 0x80)
            QTest::keyClick(window(form).windowHandle(), static_cast<char>(ch.unicode()));
        else  // no key of its own: the text alone, as a composed character comes
            QTest::sendKeyEvent(QTest::Click, window(form).windowHandle(), Qt::Key_unknown, QString(ch),
                                Qt::NoModifier);
    }
}

void OnScreen::whenShown(const std::string& form, std::function<void()> f) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [this, form, f = std::move(f), poll] {
        gui::FormWindow* w = screen.window(form);
        if (!w || !w->isVisible()) return;
        poll->stop();
        poll->deleteLater();
        f();
    });
    poll->start(0);
}

void OnScreen::press(const std::string& form, Qt::Key key, Qt::KeyboardModifiers mods) {
    QTest::keyClick(window(form).windowHandle(), key, mods);
    settle();
}

std::string screenshot(QWidget& w, const std::string& name) {
    std::filesystem::create_directories(VARCANTO_SCREENSHOTS);
    const std::string path = std::string(VARCANTO_SCREENSHOTS) + "/" + name + ".png";
    if (!w.grab().save(QString::fromStdString(path))) throw std::runtime_error("cannot write " + path);
    return path;
}

bool canReadPdf() { return !QStandardPaths::findExecutable("pdftotext").isEmpty(); }

QString pdfText(const QString& pdf, int page) {
    QStringList args;
    if (page > 0) args << "-f" << QString::number(page) << "-l" << QString::number(page);
    QProcess pdftotext;
    pdftotext.start("pdftotext", args << pdf << "-");
    pdftotext.waitForFinished(20000);
    // Ligatures ("ﬁ") back to their letters.
    return QString::fromUtf8(pdftotext.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
}

}  // namespace vc::test

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication qt(argc, argv);
    vc::gui::prepareApplication(qt);
    return RUN_ALL_TESTS();
}
