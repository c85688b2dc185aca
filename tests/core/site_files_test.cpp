// What the program does when a file of the site folder is not a file it can read: a pipe, a
// folder, a file too big or a link nobody trusted stands under the name.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "core/access/polling.h"
#include "core/main/frm_main.h"
#include "core/schedule/imparziale.h"
#include "core/schedule/uscite_temporizzate.h"
#include "core/settings/settings_file.h"
#include "support/fakes.h"
#include "support/fifo_watch.h"

namespace vc {
namespace {

namespace fs = std::filesystem;

constexpr const char* Pipe = "è una pipe";

std::string illeggibile(const std::string& file, const std::string& why) {
    return "Impossibile leggere il file " + file + ": " + why + ".";
}

std::string impostazioniIlleggibili(const std::string& file, const std::string& why) {
    return "Impossibile leggere il file delle impostazioni " + file + ": " + why +
           ". Il programma parte con le impostazioni predefinite.";
}

FrmMain& avvia(test::Station& s) { return static_cast<FrmMain&>(s.start()); }

// The program blocked in open before any window showed, waiting for a writer on the pipe, at each
// of these names. Now each is refused before it is opened, and the operator is told which file.
TEST(SiteFiles, APipeUnderAnySiteFileNameNeitherHangsTheProgramNorIsOpened) {
    struct Caso {
        const char* nome;
        std::function<void(test::Station&, const std::string& file)> prova;
    } casi[] = {
        {"Accessi.ini",
         [](test::Station& s, const std::string& file) {
             s.dialogs.expectMsg(impostazioniIlleggibili(file, Pipe), mb::Critical, "Attenzione");
             s.dialogs.expectMsg("Porta seriale 0 non funzionante.", mb::Critical, "Attenzione");
             s.dialogs.expectMsg(ImparzialeImpossibile, mb::Critical, "Errore");  // the default is on
             avvia(s);
             EXPECT_EQ(s.app().imp.PortaSeriale, 0);
         }},
        {"RepVarcanto.mdb.schema",
         [](test::Station& s, const std::string& file) {
             s.dialogs.expectMsg(illeggibile(file, Pipe), mb::Critical, "Attenzione");
             avvia(s);
         }},
        {"pswaccessi.txt",
         [](test::Station& s, const std::string& file) {
             FrmMain& m = avvia(s);
             s.dialogs.expectMsg(illeggibile(file, Pipe), mb::Critical, "Errore");
             s.dialogs.expectMsg("Errore nel controllo password. Il programma sarà terminato.", mb::Critical,
                                 "Errore");
             EXPECT_THROW(m.Command2.click(), ProgramEnd);
         }},
        {"Date.txt",
         [](test::Station& s, const std::string& file) {
             FrmMain& m = avvia(s);
             s.app().OutputAutomatico = true;
             UsciteTemporizzate(s.app());
             EXPECT_EQ(m.Label3.Caption(), illeggibile(file, Pipe));
         }},
        {"carte.txt",
         [](test::Station& s, const std::string& file) {
             s.setting("FileTessaro", "carte");
             avvia(s);
             EXPECT_EQ(cerca_carta_file(s.app(), "123456"), "????");
             s.dialogs.expectInput("Inserisci il nome del file (senza estensione, al massimo 8 caratteri) :",
                                   "Nome file", "carte");
             s.dialogs.expectMsg(illeggibile(file, Pipe), mb::Critical, "Errore");
             s.app().form("FrmUtilTessaro").Show();
             test::control<CommandButton>(s.app(), "FrmUtilTessaro", "Command2").click();
         }},
    };
    for (const Caso& c : casi) {
        SCOPED_TRACE(c.nome);
        test::Station s;
        const std::string file = s.site.file(c.nome);
        fs::remove(file);
        test::FifoWatch watch({file});
        c.prova(s, file);
        EXPECT_EQ(watch.opened(), std::vector<std::string>{});
    }
}

// A settings file that could not be read gave the defaults with no word but the serial port's.
TEST(SiteFiles, AnUnreadableSettingsFileIsReportedAtStartUpAndTheDefaultsApply) {
    struct Caso {
        const char* nome;
        std::function<bool(const std::string& file)> pianta;  // false: the case cannot be built here
        const char* motivo;
    } casi[] = {
        {"folder", [](auto& f) { return fs::create_directory(f); }, "è una cartella"},
        {"too big",
         [](auto& f) {
             std::ofstream(f) << "[Impostazioni]\r\nSeriale=1\r\n" << std::string(2 * 1024 * 1024, ';');
             return true;
         },
         "supera la dimensione massima di 1048576 byte"},
        {"no permission",
         [](auto& f) {
             std::ofstream(f) << "[Impostazioni]\r\nSeriale=1\r\n";
             fs::permissions(f, fs::perms::none);
             return ::geteuid() != 0;
         },
         "accesso negato"},
        {"another user's link",
         [](auto& f) {
             const std::string altrove = f + ".altrove";
             std::ofstream(altrove) << "[Impostazioni]\r\nSeriale=1\r\n";
             fs::create_symlink(altrove, f);
             return ::geteuid() == 0 && ::lchown(f.c_str(), 4242, 4242) == 0;
         },
         "è un collegamento simbolico creato da un altro utente"},
    };
    for (const Caso& c : casi) {
        SCOPED_TRACE(c.nome);
        test::Station s;
        const std::string file = s.site.file("Accessi.ini");
        fs::remove(file);
        if (!c.pianta(file)) continue;
        s.dialogs.expectMsg(impostazioniIlleggibili(file, c.motivo), mb::Critical, "Attenzione");
        s.dialogs.expectMsg("Porta seriale 0 non funzionante.", mb::Critical, "Attenzione");
        s.dialogs.expectMsg(ImparzialeImpossibile, mb::Critical, "Errore");
        avvia(s);
        EXPECT_TRUE(s.app().imp.FlagImparziale);
        // Nothing is written over a file that could not be read.
        EXPECT_FALSE(ScriviImpostazione(file, "Utenti", "3"));
    }
}

// The settings kept on another disk behind a link: read through it, and the count of people
// inside written to the target, which stays private, instead of replacing the link by a 0644 copy.
TEST(SiteFiles, SettingsBehindATrustedLinkAreReadAndWrittenThroughIt) {
    test::Station s;
    test::TempDir altroDisco;
    const std::string file = s.site.file("Accessi.ini"), target = altroDisco.file("Accessi.ini");
    fs::copy_file(file, target);
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
    fs::remove(file);
    fs::create_symlink(target, file);
    ASSERT_TRUE(ScriviImpostazione(file, "Polling", "77"));
    avvia(s);
    EXPECT_EQ(s.app().imp.TempoPolling, 77);
    ASSERT_TRUE(ScriviImpostazione(file, "Utenti", "5"));
    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_EQ(LeggiBuffer(target, "Utenti").substr(0, 2), std::string("5\0", 2));
    EXPECT_EQ(fs::status(target).permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

}  // namespace
}  // namespace vc
