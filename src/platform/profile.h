#pragma once
// Profile (INI) files with the semantics of the classic profile API:
// - section and key names compare case-insensitively (ASCII);
// - a read fills a caller-sized buffer: at most size-1 characters of the value, then a NUL;
//   a missing file, section or key gives the default, and so does a file that cannot be read
//   (safe_file::read: a pipe, a folder, a link not trusted, an oversized file);
// - a write creates the file and the section when missing, replaces the key's line in place or
//   appends it at the end of its section, and keeps every other line as it was.
// The file is code page 1252 on disk; names and values cross this API as cp1252 bytes, so a
// "character" is one byte as in the old files. Convert with cp1252.h where text is shown.

#include <optional>
#include <string>

namespace vc::profile {

// Copies the value into buffer (which keeps its size and its characters past the NUL), as the
// classic call does. Returns the number of characters copied.
std::size_t getString(const std::string& section, const std::string& key, const std::string& def,
                      std::string& buffer, const std::string& file);

// The value cut at size-1 characters, without any padding (a convenience over getString).
std::string read(const std::string& section, const std::string& key, const std::string& def,
                 std::size_t size, const std::string& file);

// Why an existing file cannot be read (then every read gives its default); nothing when it can be
// read or is missing.
std::optional<std::string> problem(const std::string& file);

// Returns false when the file cannot be read or written. The file is replaced whole
// (safe_file::replace: through a trusted link, keeping its mode narrowed to 'mode' when given).
bool writeString(const std::string& section, const std::string& key, const std::string& value,
                 const std::string& file, std::optional<unsigned> mode = std::nullopt);

}  // namespace vc::profile
