#pragma once
// Writing the files of the site folder so that a crash, a power cut or another local user cannot
// cost or forge them: nothing is written through a symbolic link, a name that is already taken,
// or a temporary name another user could guess, and each write is on the disk when it returns.

#include <optional>
#include <string>
#include <string_view>

namespace vc::safe_file {

// Replaces 'file' with 'content'. The text goes to a new temporary file beside it, which then takes
// its name, so a crash leaves the old file or the new one, never a part. The new file gets 'mode'
// when given, else the mode of the file it replaces, else 0644. Returns false when it cannot.
bool replace(const std::string& file, std::string_view content, std::optional<unsigned> mode = std::nullopt);

// Appends 'bytes' to 'file', creating it with 'mode' when missing. A symbolic link in its place
// is refused. Returns false when it cannot, and then leaves the file as it was.
bool append(const std::string& file, std::string_view bytes, unsigned mode = 0644);

}  // namespace vc::safe_file
