#include "platform/profile.h"

#include <unistd.h>

#include <algorithm>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/safe_file.h"

namespace vc::profile {
namespace {

// One line of the file with its own ending ("\r\n", "\n" or "" on a last line without one),
// so a rewrite gives back every untouched line byte for byte.
struct Line {
    std::string text;
    std::string eol;
};

constexpr const char* kNewLine = "\r\n";

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view t) {
    while (!t.empty() && isBlank(t.front())) t.remove_prefix(1);
    while (!t.empty() && isBlank(t.back())) t.remove_suffix(1);
    return t;
}

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameName(std::string_view a, std::string_view b) {
    a = trim(a);
    b = trim(b);
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

// Profiles are small: anything larger was not written by the program.
constexpr std::size_t ProfileLimit = 1024 * 1024;

// The file's text; nothing when it is missing or cannot be used.
std::optional<std::string> readFile(const std::string& file) {
    safe_file::ReadResult r = safe_file::read(file, ProfileLimit);
    if (r.status != safe_file::ReadResult::Status::Read) return std::nullopt;
    return std::move(r.content);
}

std::vector<Line> splitLines(const std::string& content) {
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        const std::size_t lf = content.find('\n', start);
        if (lf == std::string::npos) {
            lines.push_back({content.substr(start), ""});
            break;
        }
        const bool cr = lf > start && content[lf - 1] == '\r';
        const std::size_t end = cr ? lf - 1 : lf;
        lines.push_back({content.substr(start, end - start), cr ? "\r\n" : "\n"});
        start = lf + 1;
    }
    return lines;
}

std::string joinLines(const std::vector<Line>& lines) {
    std::string out;
    for (const Line& l : lines) out += l.text + l.eol;
    return out;
}

// The name of a "[Section]" line.
std::optional<std::string_view> sectionOf(std::string_view line) {
    line = trim(line);
    if (line.empty() || line.front() != '[') return std::nullopt;
    const std::size_t close = line.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return trim(line.substr(1, close - 1));
}

bool isComment(std::string_view line) {
    line = trim(line);
    return !line.empty() && line.front() == ';';
}

struct Entry {
    std::string_view key;
    std::string_view value;
};

// The key and value of a "key=value" line.
std::optional<Entry> entryOf(std::string_view line) {
    if (isComment(line) || sectionOf(line)) return std::nullopt;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    return Entry{trim(line.substr(0, eq)), trim(line.substr(eq + 1))};
}

// Where a section and one of its keys stand in the file.
struct Place {
    std::optional<std::size_t> section;  // its "[...]" line
    std::size_t end = 0;                 // one past its last line that is not blank
    std::optional<std::size_t> key;
};

Place locate(const std::vector<Line>& lines, const std::string& section, const std::string& key) {
    Place place;
    std::size_t i = 0;
    for (; i < lines.size(); ++i) {
        const auto name = sectionOf(lines[i].text);
        if (name && sameName(*name, section)) break;
    }
    if (i == lines.size()) return place;
    place.section = i;
    place.end = i + 1;
    for (++i; i < lines.size() && !sectionOf(lines[i].text); ++i) {
        if (trim(lines[i].text).empty()) continue;
        place.end = i + 1;
        const auto entry = entryOf(lines[i].text);
        if (!place.key && entry && sameName(entry->key, key)) place.key = i;
    }
    return place;
}

std::optional<std::string> lookup(const std::string& section, const std::string& key,
                                  const std::string& file) {
    const auto content = readFile(file);
    if (!content) return std::nullopt;
    const std::vector<Line> lines = splitLines(*content);
    const Place place = locate(lines, section, key);
    if (!place.key) return std::nullopt;
    std::string_view value = entryOf(lines[*place.key].text)->value;
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    return std::string(value);
}

// Inserts a line before 'at', ending the line before it first when it was the file's last
// line without an ending.
void insertLine(std::vector<Line>& lines, std::size_t at, std::string text) {
    if (at > 0 && lines[at - 1].eol.empty()) lines[at - 1].eol = kNewLine;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), Line{std::move(text), kNewLine});
}

}  // namespace

std::size_t getString(const std::string& section, const std::string& key, const std::string& def,
                      std::string& buffer, const std::string& file) {
    if (buffer.empty()) return 0;
    const std::string value = lookup(section, key, file).value_or(def);
    const std::size_t n = std::min(value.size(), buffer.size() - 1);
    std::copy_n(value.begin(), n, buffer.begin());
    buffer[n] = '\0';
    return n;
}

std::string read(const std::string& section, const std::string& key, const std::string& def,
                 std::size_t size, const std::string& file) {
    if (size == 0) return "";
    return lookup(section, key, file).value_or(def).substr(0, size - 1);
}

std::optional<std::string> problem(const std::string& file) {
    safe_file::ReadResult r = safe_file::read(file, ProfileLimit);
    if (r.status != safe_file::ReadResult::Status::Unusable) return std::nullopt;
    return std::move(r.why);
}

bool writeString(const std::string& section, const std::string& key, const std::string& value,
                 const std::string& file, std::optional<unsigned> mode) {
    // An existing file that cannot be read must not be replaced by one holding only this key.
    safe_file::ReadResult old = safe_file::read(file, ProfileLimit);
    if (old.status == safe_file::ReadResult::Status::Unusable) return false;
    if (old.status == safe_file::ReadResult::Status::Read && ::access(file.c_str(), W_OK) != 0) return false;
    std::vector<Line> lines = splitLines(old.content);
    const Place place = locate(lines, section, key);
    const std::string entry = key + "=" + value;
    if (place.key) {
        lines[*place.key].text = entry;
    } else if (place.section) {
        insertLine(lines, place.end, entry);
    } else {
        insertLine(lines, lines.size(), "[" + section + "]");
        insertLine(lines, lines.size(), entry);
    }
    return safe_file::replace(file, joinLines(lines), mode);
}

}  // namespace vc::profile
