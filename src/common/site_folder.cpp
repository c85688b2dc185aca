#include "common/site_folder.h"

#include <sqlite3.h>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <system_error>

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

// A connection that is closed on every way out, so a failed build can delete its file. Errors
// name the database being built ('target'), not the file it is built in.
class Connection {
public:
    Connection(const fs::path& file, const fs::path& target) : target_(target) {
        const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW;
        const int rc = sqlite3_open_v2(file.c_str(), &db_, flags, nullptr);
        if (rc != SQLITE_OK) fail("cannot create the database", rc);
    }
    ~Connection() { sqlite3_close(db_); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Runs the statements; returns the first column of the last row they produce.
    std::string exec(const std::string& sql) {
        std::string last;
        char* error = nullptr;
        const int rc = sqlite3_exec(db_, sql.c_str(), keepFirstColumn, &last, &error);
        if (rc != SQLITE_OK) {
            const std::string why = error ? error : sqlite3_errstr(rc);
            sqlite3_free(error);
            throw std::runtime_error("Cannot build " + target_.string() + ": " + why);
        }
        return last;
    }

private:
    static int keepFirstColumn(void* last, int columns, char** values, char**) {
        if (columns > 0 && values[0]) *static_cast<std::string*>(last) = values[0];
        return 0;
    }
    [[noreturn]] void fail(const std::string& what, int rc) {
        const std::string why = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        sqlite3_close(db_);
        throw std::runtime_error("Cannot build " + target_.string() + ": " + what + ": " + why);
    }

    fs::path target_;
    sqlite3* db_ = nullptr;
};

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
            Connection db(building, target);
            // The site database is written while the program runs; WAL keeps each update durable
            // without blocking readers. The mode is stored in the file.
            if (wal && db.exec("PRAGMA journal_mode=WAL;") != "wal")
                throw std::runtime_error("Cannot build " + target.string() +
                                         ": the WAL journal is not available");
            db.exec("BEGIN;\n" + schema + "\nCOMMIT;");
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
