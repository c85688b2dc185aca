#include "support/fakes.h"

#include <cstdlib>
#include <fstream>
#include <ctime>

#include "app/register_forms.h"
#include "common/site_folder.h"
#include "core/settings/settings_file.h"
#include "platform/database.h"

namespace vc::test {

DateTime FakeClock::now() const {
    std::tm t{};
    t.tm_year = start_.year - 1900;
    t.tm_mon = start_.month - 1;
    t.tm_mday = start_.day;
    t.tm_hour = start_.hour;
    t.tm_min = start_.minute;
    t.tm_sec = start_.second;
    std::time_t tt = timegm(&t) + static_cast<std::time_t>((ms_ - wallOffset_) / 1000);
    std::tm o{};
    gmtime_r(&tt, &o);
    return DateTime{o.tm_year + 1900, o.tm_mon + 1, o.tm_mday, o.tm_hour, o.tm_min, o.tm_sec};
}

double FakeClock::secondsSinceMidnight() const {
    const DateTime t = now();
    return t.hour * 3600.0 + t.minute * 60.0 + t.second + static_cast<double>((ms_ - wallOffset_) % 1000) / 1000.0;
}

void ScriptedDialogs::expectMsg(std::string text, int style, std::string title, int answer) {
    script_.push_back(Box{std::move(text), style, std::move(title), answer, "", false});
}

void ScriptedDialogs::expectMsgStartingWith(std::string text, int style, std::string title) {
    Box box{std::move(text), style, std::move(title), mb::OK, "", false};
    box.prefix = true;
    script_.push_back(box);
}

void ScriptedDialogs::expectInput(std::string prompt, std::string title, std::string answer) {
    script_.push_back(Box{std::move(prompt), 0, std::move(title), mb::OK, std::move(answer), true});
}

int ScriptedDialogs::msgBox(const std::string& text, int style, const std::string& title) {
    Box box{text, style, title, mb::OK, "", false};
    shown.push_back(box);
    if (onShow) onShow(box);
    if (unscripted) return mb::OK;
    if (script_.empty() || script_.front().isInput) {
        ADD_FAILURE() << "unexpected message box [" << title << "] " << text;
        return mb::OK;
    }
    Box want = script_.front();
    script_.pop_front();
    if (want.prefix)
        EXPECT_EQ(text.rfind(want.text, 0), 0u) << "expected a text beginning with: " << want.text << "\ngot: " << text;
    else
        EXPECT_EQ(want.text, text);
    EXPECT_EQ(want.style, style) << "style of: " << text;
    EXPECT_EQ(want.title, title) << "title of: " << text;
    return want.answer;
}

std::string ScriptedDialogs::inputBox(const std::string& prompt, const std::string& title, const std::string&) {
    Box box{prompt, 0, title, mb::OK, "", true};
    shown.push_back(box);
    if (onShow) onShow(box);
    if (unscripted) return "";
    if (script_.empty() || !script_.front().isInput) {
        ADD_FAILURE() << "unexpected input box [" << title << "] " << prompt;
        return "";
    }
    Box want = script_.front();
    script_.pop_front();
    EXPECT_EQ(want.text, prompt);
    EXPECT_EQ(want.title, title);
    return want.input;
}

void FakeSerialLine::open(int port) {
    if (!openable.count(port)) throw std::runtime_error("no such port");
    open_ = true;
    port_ = port;
}

std::string FakeSerialLine::readAvailable() {
    std::string out;
    const auto now = clock_.monotonicMs();
    std::erase_if(incoming_, [&](const auto& piece) {
        if (piece.first > now) return false;
        out += piece.second;
        return true;
    });
    return out;
}

void FakeSerialLine::write(const std::string& bytes) {
    writes.push_back(bytes);
    if (onWrite) onWrite(bytes);
}

std::vector<std::string> FakeSerialLine::takeTexts() {
    std::vector<std::string> texts;
    for (const auto& w : writes) texts.push_back(commandText(w));
    writes.clear();
    return texts;
}

std::optional<std::int64_t> FakeSerialLine::nextArrival() const {
    std::optional<std::int64_t> first;
    for (const auto& piece : incoming_)
        if (!first || piece.first < *first) first = piece.first;
    return first;
}

void FakeSerialLine::deliver(std::string bytes, std::int64_t afterMs) {
    incoming_.emplace_back(clock_.monotonicMs() + afterMs, std::move(bytes));
}

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "varcanto-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

Station::Station() {
    makeSiteFolder(VARCANTO_SITE_TEMPLATE, site.path());
    // A modal window nobody answers fails the test instead of hanging it.
    loop.setIdleLimit(2000);
    app_ = std::make_unique<App>(Services{clock, loop, dialogs, serial, ports, site.path(), &reports});
    registerForms(*app_);
}

Station::~Station() {
    app_.reset();
    EXPECT_TRUE(dialogs.allAnswered()) << "a scripted box was never shown";
}

void Station::setting(const std::string& key, const std::string& value) {
    ASSERT_TRUE(ScriviImpostazione(site.file("Accessi.ini"), key, value));
}

void Station::removeSetting(const std::string& key) {
    std::ifstream in(site.file("Accessi.ini"), std::ios::binary);
    std::string kept, line;
    while (std::getline(in, line))
        if (line.rfind(key + "=", 0) != 0) kept += line + "\n";
    in.close();
    std::ofstream(site.file("Accessi.ini"), std::ios::binary | std::ios::trunc) << kept;
}

void Station::sql(const std::string& statement) { Database::open(site.file("Varcanto.mdb"))->execute(statement); }

Form& Station::start() { return app_->form("FrmMain"); }

Form& Station::restart() {
    app_.reset();
    app_ = std::make_unique<App>(Services{clock, loop, dialogs, serial, ports, site.path(), &reports});
    registerForms(*app_);
    return start();
}

}  // namespace vc::test
