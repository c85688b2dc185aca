#include "common/site_folder.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <system_error>

#include "platform/database.h"
#include "platform/safe_file.h"

namespace vc {
namespace {

namespace fs = std::filesystem;

std::string readText(const fs::path& path) {
    safe_file::ReadResult r = safe_file::read(path.string());
    if (r.status != safe_file::ReadResult::Status::Read)
        throw std::runtime_error("Cannot read " + path.string() + (r.why.empty() ? "" : ": " + r.why));
    return std::move(r.content);
}

void check(const std::error_code& ec, const std::string& what) {
    if (ec) throw std::runtime_error(what + ": " + ec.message());
}

void copyIfMissing(const fs::path& from, const fs::path& to, std::optional<unsigned> mode = std::nullopt) {
    std::error_code ec;
    if (fs::exists(fs::symlink_status(to, ec))) return;
    if (!safe_file::replace(to.string(), readText(from), mode))
        throw std::runtime_error("Cannot copy " + from.string() + " to " + to.string());
}

// Errors name the database being built ('target'), not the file it is built in.
[[noreturn]] void cannotBuild(const fs::path& target, const std::string& why) {
    throw std::runtime_error("Cannot build " + target.string() + ": " + why);
}

// Asks for the WAL journal; false when the file system cannot give it.
bool walJournal(Database& db) {
    const auto rows = db.query("PRAGMA journal_mode=WAL;");
    return !rows.empty() && rows.front().front().second.str() == "wal";
}

// Fills the file 'building' from the schema, run as written. The connection is closed on every way
// out, so a failed build can delete its file.
void fill(const std::string& building, const fs::path& target, const std::string& schema, bool wal) {
    std::shared_ptr<Database> db;
    try {
        db = Database::build(building);
    } catch (const DbError& e) {
        cannotBuild(target, std::string("cannot create the database: ") + e.what());
    }
    try {
        // The site database is written while the program runs; WAL keeps each update durable
        // without blocking readers. The mode is stored in the file.
        if (wal && !walJournal(*db))
            cannotBuild(target, "the WAL journal is not available");
        db->executeVerbatim("BEGIN;\n" + schema + "\nCOMMIT;");
    } catch (const DbError& e) {
        cannotBuild(target, e.what());
    }
}

// The journal files SQLite may leave beside a database.
void removeJournals(const std::string& path) {
    std::error_code ignored;
    for (const char* suffix : {"-journal", "-wal", "-shm"}) fs::remove(fs::path(path + suffix), ignored);
}

// The database is built in a fresh temporary file beside its final name, as every site file is
// written (safe_file::replaceBy), so nobody can plant a file or a link under the name it is built in.
void buildDatabase(const fs::path& schemaFile, const fs::path& target, bool wal) {
    const std::string schema = readText(schemaFile);
    auto build = [&](const std::string& building) {
        try {
            fill(building, target, schema, wal);
        } catch (...) {
            removeJournals(building);
            throw;
        }
    };
    std::string why;
    if (!safe_file::replaceBy(target.string(), build, std::nullopt, &why))
        throw std::runtime_error("Cannot create " + target.string() + ": " + why);
}

}  // namespace

void makeSiteFolder(const std::string& templateDir, const std::string& targetDir) {
    const fs::path from(templateDir);
    const fs::path to(targetDir);
    std::error_code ec;
    fs::create_directories(to, ec);
    check(ec, "Cannot create the folder " + to.string());

    copyIfMissing(from / "Accessi.ini", to / "Accessi.ini");
    copyIfMissing(from / "pswaccessi.txt", to / "pswaccessi.txt", ModoFilePassword);
    for (const fs::directory_entry& entry : fs::directory_iterator(from, ec))
        if (entry.is_regular_file() && entry.path().extension() == ".rpt")
            copyIfMissing(entry.path(), to / entry.path().filename());
    check(ec, "Cannot list " + from.string());

    if (!fs::exists(to / "Varcanto.mdb"))
        buildDatabase(from / "varcanto.sql", to / "Varcanto.mdb", true);
    buildDatabase(from / "repvarcanto.sql", to / "RepVarcanto.mdb.schema", false);
}

}  // namespace vc
