#pragma once
// Reading and writing the files of the site folder so that a crash, a power cut or another local
// user cannot cost, forge or steal them: each write is on the disk when it returns and goes
// through a temporary name nobody can foresee; nothing is opened that is not a regular file (a
// pipe or a device planted under a site file's name would hang or harm the program); and a
// symbolic link is followed only when it is trusted, that is owned by the program's user or by
// root and ending at a regular file (an administrator may keep a site file on another disk).
// Any other link is refused, for reads and writes alike.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vc::safe_file {

// A site file larger than this is not one the program wrote: it is refused, not read.
inline constexpr std::size_t ReadLimit = 16 * 1024 * 1024;

struct ReadResult {
    enum class Status { Read, Missing, Unusable };
    Status status = Status::Missing;
    std::string content;  // the file's bytes, when Read
    std::string why;      // what keeps the file from being read, when Unusable (Italian, for messages)
};

// The whole content of 'file', read without ever blocking: a name that is missing is Missing
// (a trusted link to nothing is Unusable), a name that stands for anything but a readable regular
// file of at most 'limit' bytes is Unusable.
ReadResult read(const std::string& file, std::size_t limit = ReadLimit);

// The operator's message for a file that cannot be read: it names the file and the cause.
std::string unreadable(const std::string& file, const std::string& why);

// The operator's words for a system error number ("il disco è pieno").
std::string cause(int err);

// Why 'file' could not be opened as a regular file, without opening it; nothing when it is one,
// or when the name is free (a free name behind a link is not). For files another library opens.
std::optional<std::string> problem(const std::string& file);

// Replaces 'file' with 'content'. The text goes to a new temporary file beside the file written
// (the target of a trusted link, else 'file'), which then takes its name, so a crash leaves the old
// file or the new one, never a part. The new file keeps the mode of the one it replaces, narrowed
// to 'mode' when given; a new name gets 'mode', else 0644. Returns false when it cannot, with the
// cause in 'why' when asked.
bool replace(const std::string& file, std::string_view content, std::optional<unsigned> mode = std::nullopt,
             std::string* why = nullptr);

// As replace(), for a file another library writes (a database): 'build' gets the name of the new
// temporary file, already created empty with its final mode, and fills it; it is then forced to
// the disk and takes its name. When 'build' throws, the temporary file is removed and the
// exception goes on; files 'build' left beside it are its own to remove.
bool replaceBy(const std::string& file, const std::function<void(const std::string& temp)>& build,
               std::optional<unsigned> mode = std::nullopt, std::string* why = nullptr);

// Appends 'bytes' to 'file' (or to the target of a trusted link there), creating it with 'mode'
// when the name is free. Returns false when it cannot, with the cause in 'why' when asked, and
// then leaves the file as it was.
bool append(const std::string& file, std::string_view bytes, unsigned mode = 0644, std::string* why = nullptr);

}  // namespace vc::safe_file
