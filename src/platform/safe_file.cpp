#include "platform/safe_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>

namespace vc::safe_file {
namespace {

namespace fs = std::filesystem;

// A longer chain of links is not one an administrator set up.
constexpr int MaxLinks = 8;

// Every open of a site file: never through a link (links are resolved beforehand), never waiting
// for the other end of a pipe, never making a terminal the program's own.
constexpr int OpenFlags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string folderOf(const std::string& file) {
    const fs::path parent = fs::path(file).parent_path();
    return parent.empty() ? "." : parent.string();
}

// A new name in a folder only lasts once the folder's own entry is on the disk.
bool syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

std::string kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "è una cartella";
    if (S_ISFIFO(mode)) return "è una pipe";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "è un dispositivo";
    if (S_ISSOCK(mode)) return "è un socket";
    return "non è un file regolare";
}

bool fail(std::string* why, std::string cause) {
    if (why) *why = std::move(cause);
    return false;
}

// What a name of the site folder stands for once its trusted links are followed.
struct Place {
    std::string path;      // the name to open: never a link
    bool exists = false;   // a regular file is there, described by 'st'
    struct stat st {};
    bool viaLink = false;
    std::string refused;   // set when the name may not be used at all
};

std::string linkTarget(const std::string& link) {
    std::string target(PATH_MAX, '\0');
    const ssize_t n = ::readlink(link.c_str(), target.data(), target.size());
    if (n < 0 || static_cast<std::size_t>(n) >= target.size()) return {};
    target.resize(static_cast<std::size_t>(n));
    return fs::path(target).is_absolute() ? target : (fs::path(folderOf(link)) / target).string();
}

Place locate(const std::string& file) {
    Place p;
    p.path = file;
    for (int links = 0;; ++links) {
        if (::lstat(p.path.c_str(), &p.st) != 0) {
            const int err = errno;
            if (err == ENOENT && !p.viaLink) return p;
            p.refused = err == ENOENT ? "è un collegamento simbolico che non porta a nessun file" : cause(err);
            return p;
        }
        if (!S_ISLNK(p.st.st_mode)) break;
        // A link anyone else made could point the program, and its rights, anywhere.
        if (p.st.st_uid != ::geteuid() && p.st.st_uid != 0) {
            p.refused = "è un collegamento simbolico creato da un altro utente";
            return p;
        }
        const std::string target = links < MaxLinks ? linkTarget(p.path) : std::string();
        if (target.empty()) {
            p.refused = "è un collegamento simbolico che non si può seguire";
            return p;
        }
        p.path = target;
        p.viaLink = true;
    }
    if (!S_ISREG(p.st.st_mode)) {
        p.refused = p.viaLink ? "è un collegamento simbolico a " + p.path + ", che " + kindOf(p.st.st_mode)
                              : kindOf(p.st.st_mode);
        return p;
    }
    p.exists = true;
    return p;
}

// An open descriptor that is closed on every way out.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// The file opened is the regular file 'p' found, not one put in its place since.
bool sameFile(int fd, const Place& p) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_dev == p.st.st_dev && st.st_ino == p.st.st_ino;
}

std::string tooBig(std::size_t limit) { return "supera la dimensione massima di " + std::to_string(limit) + " byte"; }

ReadResult unusable(std::string why) { return {ReadResult::Status::Unusable, {}, std::move(why)}; }

}  // namespace

ReadResult read(const std::string& file, std::size_t limit) {
    const Place p = locate(file);
    if (!p.refused.empty()) return unusable(p.refused);
    if (!p.exists) return {};
    if (static_cast<std::size_t>(p.st.st_size) > limit) return unusable(tooBig(limit));
    const Fd fd(::open(p.path.c_str(), O_RDONLY | OpenFlags));
    if (fd.get() < 0) return errno == ENOENT && !p.viaLink ? ReadResult{} : unusable(cause(errno));
    if (!sameFile(fd.get(), p)) return unusable("è stato sostituito durante la lettura");
    // Only a regular file got this far: reading it may block as any disk read does.
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    ReadResult r{ReadResult::Status::Read, {}, {}};
    char block[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), block, sizeof block);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return unusable(cause(errno));
        if (n == 0) return r;
        r.content.append(block, static_cast<std::size_t>(n));
        if (r.content.size() > limit) return unusable(tooBig(limit));
    }
}

std::string unreadable(const std::string& file, const std::string& why) {
    return "Impossibile leggere il file " + file + ": " + why + ".";
}

std::optional<std::string> problem(const std::string& file) {
    const Place p = locate(file);
    if (!p.refused.empty()) return p.refused;
    return std::nullopt;
}

namespace {

// A new file beside the one it will replace, removed again unless it is put in place.
class TempFile {
public:
    TempFile(const Place& p, std::optional<unsigned> mode) {
        name_ = folderOf(p.path) + "/." + fs::path(p.path).filename().string() + ".XXXXXX";
        // mkstemp makes a fresh file of its own (O_EXCL, owner only) under a name nobody can foresee.
        fd_ = ::mkostemp(name_.data(), O_CLOEXEC);
        if (fd_ < 0) return;
        // Never wider than the file replaced: a private file stays private.
        const unsigned wanted = p.exists ? (p.st.st_mode & 0777) & mode.value_or(0777) : mode.value_or(0644);
        if (::fchmod(fd_, wanted) != 0) close();
    }
    ~TempFile() {
        close();
        if (!placed_) ::unlink(name_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    int fd() const { return fd_; }
    const std::string& name() const { return name_; }

    // Forces the content to the disk and gives it the final name. rename takes the name itself:
    // a link put there since is replaced, never followed.
    bool place(const std::string& path) {
        bool ok = fd_ >= 0 && ::fsync(fd_) == 0;
        ok = close() && ok;
        placed_ = ok && ::rename(name_.c_str(), path.c_str()) == 0;
        return placed_ && syncFolder(folderOf(path));
    }

private:
    bool close() {
        const bool ok = fd_ >= 0 && ::close(fd_) == 0;
        fd_ = -1;
        return ok;
    }

    std::string name_;
    int fd_ = -1;
    bool placed_ = false;
};

}  // namespace

bool replace(const std::string& file, std::string_view content, std::optional<unsigned> mode, std::string* why) {
    const Place p = locate(file);
    if (!p.refused.empty()) return fail(why, p.refused);
    TempFile temp(p, mode);
    const bool ok = temp.fd() >= 0 && writeAll(temp.fd(), content) && temp.place(p.path);
    return ok || fail(why, cause(errno));
}

bool replaceBy(const std::string& file, const std::function<void(const std::string& temp)>& build,
               std::optional<unsigned> mode, std::string* why) {
    const Place p = locate(file);
    if (!p.refused.empty()) return fail(why, p.refused);
    TempFile temp(p, mode);
    if (temp.fd() < 0) return fail(why, cause(errno));
    build(temp.name());
    // The library writes the file in place: the descriptor kept open forces what it wrote.
    return temp.place(p.path) || fail(why, cause(errno));
}

bool append(const std::string& file, std::string_view bytes, unsigned mode, std::string* why) {
    const Place p = locate(file);
    if (!p.refused.empty()) return fail(why, p.refused);
    const int flags = O_WRONLY | O_APPEND | OpenFlags | (p.exists ? 0 : O_CREAT | O_EXCL);
    const Fd fd(::open(p.path.c_str(), flags, mode));
    if (fd.get() < 0) return fail(why, cause(errno));
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || (p.exists && st.st_ino != p.st.st_ino))
        return fail(why, "è stato sostituito durante la scrittura");
    if (!writeAll(fd.get(), bytes) || ::fsync(fd.get()) != 0) {
        const int err = errno;
        // A write cut short (a full disk) must not leave half a line for the next one to run into.
        if (::ftruncate(fd.get(), st.st_size) == 0) ::fsync(fd.get());
        if (!p.exists) ::unlink(p.path.c_str());
        return fail(why, cause(err));
    }
    return p.exists || syncFolder(folderOf(p.path)) || fail(why, cause(errno));
}

std::string cause(int err) {
    switch (err) {
        case EACCES:
        case EPERM:
            return "accesso negato";
        case ENOENT:
            return "non esiste";
        case ENOTDIR:
            return "una parte del percorso non è una cartella";
        case ELOOP:
            return "è un collegamento simbolico non ammesso";
        case ENOSPC:
            return "il disco è pieno";
        default:
            return "errore di sistema " + std::to_string(err) + " (" + std::strerror(err) + ")";
    }
}

}  // namespace vc::safe_file
