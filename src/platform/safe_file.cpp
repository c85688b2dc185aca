#include "platform/safe_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

namespace vc::safe_file {
namespace {

namespace fs = std::filesystem;

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

// The mode of the regular file at 'file' (a link there is not asked), or the default.
unsigned modeFor(const std::string& file, std::optional<unsigned> mode) {
    if (mode) return *mode;
    struct stat old {};
    if (::lstat(file.c_str(), &old) == 0 && S_ISREG(old.st_mode)) return old.st_mode & 07777;
    return 0644;
}

}  // namespace

bool replace(const std::string& file, std::string_view content, std::optional<unsigned> mode) {
    const std::string folder = folderOf(file);
    std::string temp = folder + "/." + fs::path(file).filename().string() + ".XXXXXX";
    // mkstemp makes a fresh file of its own (O_EXCL, owner only) under a name nobody can foresee.
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = ::fchmod(fd, modeFor(file, mode)) == 0 && writeAll(fd, content) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    // rename replaces a link at 'file' itself, never what it points to.
    ok = ok && ::rename(temp.c_str(), file.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    return syncFolder(folder);
}

bool append(const std::string& file, std::string_view bytes, unsigned mode) {
    // Non-blocking: a pipe planted under the name must not hang the program; it is then refused.
    constexpr int flags = O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    int fd = ::open(file.c_str(), flags);
    const bool created = fd < 0 && errno == ENOENT;
    if (created) fd = ::open(file.c_str(), flags | O_CREAT | O_EXCL, mode);
    if (fd < 0) return false;
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    bool ok = regular && writeAll(fd, bytes) && ::fsync(fd) == 0;
    // A write cut short (a full disk) must not leave half a line for the next one to run into.
    if (regular && !ok && ::ftruncate(fd, st.st_size) == 0) ::fsync(fd);
    ok = ::close(fd) == 0 && ok;
    if (!ok && created) ::unlink(file.c_str());
    return ok && (!created || syncFolder(folderOf(file)));
}

}  // namespace vc::safe_file
