#include "platform/safe_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "support/fakes.h"
#include "support/fifo_watch.h"

namespace vc::safe_file {
namespace {

namespace fs = std::filesystem;
using Status = ReadResult::Status;

std::string contenuto(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void scrivi(const std::string& path, const std::string& text, unsigned mode = 0644) {
    std::ofstream(path, std::ios::binary) << text;
    fs::permissions(path, static_cast<fs::perms>(mode));
}

unsigned modo(const std::string& path) { return static_cast<unsigned>(fs::status(path).permissions()); }

// A link as another local user would plant it in a site folder open to others. Only root can
// give a link away; elsewhere the case cannot be built and is skipped.
bool linkDiAltri(const std::string& target, const std::string& link) {
    fs::create_symlink(target, link);
    return ::geteuid() == 0 && ::lchown(link.c_str(), 4242, 4242) == 0;
}

// Every read of a site file opened whatever stood under the name: a pipe hung the program, a link
// planted by anyone was read through, and nothing bounded the size.
TEST(SafeFile, ReadTakesOnlyARegularFileOrATrustedLinkToOne) {
    struct Caso {
        const char* nome;
        std::function<bool(const std::string& file, const std::string& altrove)> pianta;  // false: skip
        Status esito;
        const char* motivo;
    } casi[] = {
        {"missing", [](auto&, auto&) { return true; }, Status::Missing, ""},
        {"regular", [](auto& f, auto&) { return scrivi(f, "testo"), true; }, Status::Read, ""},
        {"folder", [](auto& f, auto&) { return fs::create_directory(f); }, Status::Unusable, "è una cartella"},
        {"too big", [](auto& f, auto&) { return scrivi(f, "sei by"), true; }, Status::Unusable, "dimensione massima"},
        {"own link to a file", [](auto& f, auto& a) { return scrivi(a, "testo"), fs::create_symlink(a, f), true; },
         Status::Read, ""},
        {"relative own link", [](auto& f, auto& a) {
             return scrivi(a, "testo"), fs::create_symlink(fs::path(a).filename(), f), true;
         }, Status::Read, ""},
        {"link of another user", [](auto& f, auto& a) { return scrivi(a, "segreto"), linkDiAltri(a, f); },
         Status::Unusable, "altro utente"},
        {"own link to another user's link", [](auto& f, auto& a) {
             scrivi(a, "segreto");
             fs::create_symlink(a + ".link", f);
             return linkDiAltri(a, a + ".link");
         }, Status::Unusable, "altro utente"},
        {"own link to a folder", [](auto& f, auto& a) { return fs::create_directory(a), fs::create_symlink(a, f), true; },
         Status::Unusable, "che è una cartella"},
        {"own link to nothing", [](auto& f, auto& a) { return fs::create_symlink(a, f), true; }, Status::Unusable,
         "non porta a nessun file"},
        {"unreadable", [](auto& f, auto&) { return scrivi(f, "x", 0), ::geteuid() != 0; }, Status::Unusable,
         "accesso negato"},
    };
    for (const Caso& c : casi) {
        SCOPED_TRACE(c.nome);
        test::TempDir dir;
        const std::string file = dir.file("Accessi.ini"), altrove = dir.file("altrove");
        if (!c.pianta(file, altrove)) continue;
        const ReadResult r = read(file, 5);
        EXPECT_EQ(r.status, c.esito);
        EXPECT_EQ(r.content, c.esito == Status::Read ? "testo" : "");
        EXPECT_NE(r.why.find(c.motivo), std::string::npos) << r.why;
    }
    EXPECT_EQ(unreadable("/sito/Accessi.ini", "è una pipe"), "Impossibile leggere il file /sito/Accessi.ini: è una pipe.");
}

// A pipe, under the name or behind a trusted link, is refused before anything opens it: not read,
// not written, not taken for a database.
TEST(SafeFile, APipeIsNeverOpened) {
    test::TempDir dir;
    const std::string pipe = dir.file("Storico.txt"), link = dir.file("Accessi.ini");
    test::FifoWatch watch({pipe});
    fs::create_symlink(pipe, link);
    for (const std::string& name : {pipe, link}) {
        SCOPED_TRACE(name);
        const ReadResult r = read(name);
        EXPECT_EQ(r.status, Status::Unusable);
        EXPECT_NE(r.why.find("è una pipe"), std::string::npos) << r.why;
        EXPECT_TRUE(problem(name));
        std::string why;
        EXPECT_FALSE(append(name, "riga\r\n", 0644, &why));
        EXPECT_NE(why.find("è una pipe"), std::string::npos) << why;
        EXPECT_FALSE(replace(name, "testo"));
    }
    EXPECT_EQ(watch.opened(), std::vector<std::string>{});
    EXPECT_TRUE(fs::is_fifo(pipe));
    EXPECT_FALSE(problem(dir.file("libero")));
}

// A link at a site file was read through and then replaced by a regular file of mode 0644 holding
// its target's content: a private file came out readable by everyone in the site folder.
TEST(SafeFile, WritesGoThroughATrustedLinkAndKeepTheTargetsMode) {
    test::TempDir dir, altroDisco;
    const std::string file = dir.file("Accessi.ini"), target = altroDisco.file("impostazioni.ini");
    scrivi(target, "vecchio", 0600);
    fs::create_symlink(target, file);
    EXPECT_TRUE(replace(file, "nuovo"));
    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_EQ(contenuto(target), "nuovo");
    EXPECT_EQ(modo(target), 0600u);
    EXPECT_TRUE(append(file, "+riga"));
    EXPECT_EQ(contenuto(target), "nuovo+riga");
    for (const test::TempDir* d : {&dir, &altroDisco})
        EXPECT_EQ(std::distance(fs::directory_iterator(d->path()), {}), 1) << "temporary file left in " << d->path();
}

TEST(SafeFile, AnUntrustedLinkIsNeverWrittenThrough) {
    test::TempDir dir;
    const std::string file = dir.file("Storico.txt"), altrove = dir.file("altrove");
    scrivi(altrove, "altro", 0600);
    if (!linkDiAltri(altrove, file)) GTEST_SKIP() << "only root can plant another user's link";
    std::string why;
    EXPECT_FALSE(append(file, "riga\r\n", 0644, &why));
    EXPECT_NE(why.find("altro utente"), std::string::npos) << why;
    EXPECT_FALSE(replace(file, "testo"));
    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_EQ(contenuto(altrove), "altro");
    EXPECT_EQ(modo(altrove), 0600u);
}

TEST(SafeFile, AReplacedFileIsNeverWiderThanTheOldOne) {
    struct Caso {
        std::optional<unsigned> vecchio, chiesto;
        unsigned atteso;
    } casi[] = {
        {0600, std::nullopt, 0600}, {0640, 0600, 0600}, {0600, 0644, 0600}, {0400, 0600, 0400},
        {std::nullopt, std::nullopt, 0644}, {std::nullopt, 0600, 0600},
    };
    for (const Caso& c : casi) {
        test::TempDir dir;
        const std::string file = dir.file("pswaccessi.txt");
        if (c.vecchio) scrivi(file, "vecchio", *c.vecchio);
        EXPECT_TRUE(replace(file, "nuovo", c.chiesto));
        EXPECT_EQ(modo(file), c.atteso) << std::oct << c.vecchio.value_or(0) << " " << c.chiesto.value_or(0);
    }
}

TEST(SafeFile, AppendCreatesAMissingFileWithItsModeAndRefusesAFolder) {
    test::TempDir dir;
    const std::string file = dir.file("Storico.txt");
    EXPECT_TRUE(append(file, "uno\r\n", 0600));
    EXPECT_TRUE(append(file, "due\r\n"));
    EXPECT_EQ(contenuto(file), "uno\r\ndue\r\n");
    EXPECT_EQ(modo(file), 0600u);
    const std::string altrove = dir.file("altrove");
    fs::create_symlink(altrove, dir.file("verso nulla"));
    EXPECT_FALSE(append(dir.file("verso nulla"), "riga"));
    EXPECT_FALSE(fs::exists(altrove));
    fs::create_directory(dir.file("cartella"));
    EXPECT_FALSE(append(dir.file("cartella"), "riga"));
}

}  // namespace
}  // namespace vc::safe_file
