#include "platform/report.h"

#include <malloc.h>
#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "platform/cp1252.h"
#include "platform/database.h"
#include "platform/profile.h"
#include "platform/safe_file.h"

namespace vc {

namespace {

std::vector<ReportColumn> Colonne(const std::string& spec) {
    std::vector<ReportColumn> out;
    std::stringstream in(spec);
    std::string voce;
    while (std::getline(in, voce, ';')) {
        if (voce.empty()) continue;
        std::stringstream parti(voce);
        ReportColumn c;
        std::string larghezza;
        std::getline(parti, c.field, '|');
        std::getline(parti, c.heading, '|');
        std::getline(parti, larghezza, '|');
        if (c.heading.empty()) c.heading = c.field;
        if (!larghezza.empty()) c.width = std::max(1, std::atoi(larghezza.c_str()));
        out.push_back(c);
    }
    return out;
}

// The value of a "Titolo = \"...\"" formula, or nothing.
bool Titolo(const std::string& formula, std::string& titolo) {
    const auto uguale = formula.find('=');
    if (uguale == std::string::npos) return false;
    std::string nome = formula.substr(0, uguale);
    nome.erase(nome.find_last_not_of(' ') + 1);
    nome.erase(0, nome.find_first_not_of(' '));
    if (nome != "Titolo") return false;
    const auto a = formula.find('"', uguale), b = formula.rfind('"');
    titolo = a != std::string::npos && b > a ? formula.substr(a + 1, b - a - 1) : formula.substr(uguale + 1);
    return true;
}

}  // namespace

namespace {

// A slice is full at this many rows, or at this much text.
constexpr std::size_t SliceRows = 8192;
constexpr std::size_t SliceText = std::size_t{1} << 20;

}  // namespace

// The temporary file, in $TMPDIR or /tmp, removed as soon as it is made: nobody else opens it,
// and it is gone when closed, crash or not.
class ReportRows::File {
public:
    File() : folder_(folder()) {
        std::string name = folder_ + "/varcanto-report-XXXXXX";
        fd_ = ::mkstemp(name.data());
        if (fd_ < 0) throw failure("creare", errno);
        ::unlink(name.c_str());
    }
    ~File() { ::close(fd_); }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Where the slice went. A slice that could not be written all takes no room: the next one
    // goes where it began.
    std::uint64_t append(const Slice& s) {
        const std::uint64_t at = end_;
        std::uint64_t to = at;
        write(s.text.data(), s.text.size(), to);
        write(s.cellEnds.data(), 4 * s.cellEnds.size(), to);
        write(s.rowEnds.data(), 4 * s.rowEnds.size(), to);
        end_ = to;
        return at;
    }

    void read(const Full& f, Slice& s) const {
        s.text.resize(f.textBytes);
        s.cellEnds.resize(f.cells);
        s.rowEnds.resize(f.rows);
        std::uint64_t from = f.offset;
        read(s.text.data(), s.text.size(), from);
        read(s.cellEnds.data(), 4 * s.cellEnds.size(), from);
        read(s.rowEnds.data(), 4 * s.rowEnds.size(), from);
    }

private:
    static std::string folder() {
        const char* tmp = std::getenv("TMPDIR");
        return tmp && *tmp ? tmp : "/tmp";
    }

    ReportError failure(const std::string& what, int err) const {
        return ReportError(ReportError::DataFailed, "Impossibile " + what + " il file temporaneo del report nella cartella " +
                                                        folder_ + ": " + safe_file::cause(err));
    }

    void write(const void* bytes, std::size_t n, std::uint64_t& at) {
        whole(::pwrite, static_cast<const char*>(bytes), n, at, "scrivere", ENOSPC);
    }
    void read(void* bytes, std::size_t n, std::uint64_t& at) const {
        whole(::pread, static_cast<char*>(bytes), n, at, "leggere", EIO);
    }

    // Calls pwrite or pread again until every byte is through; a call that moves nothing fails
    // with 'nothing'.
    template <class Call, class Byte>
    void whole(Call call, Byte* p, std::size_t n, std::uint64_t& at, const char* what, int nothing) const {
        while (n > 0) {
            const ssize_t done = call(fd_, p, n, static_cast<off_t>(at));
            if (done < 0 && errno == EINTR) continue;
            if (done <= 0) throw failure(what, done < 0 ? errno : nothing);
            p += done;
            n -= static_cast<std::size_t>(done);
            at += static_cast<std::uint64_t>(done);
        }
    }

    std::string folder_;
    int fd_ = -1;
    std::uint64_t end_ = 0;
};

ReportRows::ReportRows(std::size_t memory) : memory_(memory) {}

ReportRows::ReportRows(std::initializer_list<std::vector<std::string>> rows) : ReportRows() {
    for (const auto& r : rows) push_back(r);
}

void ReportRows::push_back(const std::vector<std::string>& cells) {
    for (const auto& c : cells) addCell(c);
    endRow();
}

void ReportRows::addCell(std::string_view text) {
    if (open_.text.size() + text.size() > UINT32_MAX) throw ReportError(ReportError::DataFailed, "Riga del report troppo lunga");
    open_.text += text;
    open_.cellEnds.push_back(static_cast<std::uint32_t>(open_.text.size()));
}

void ReportRows::endRow() {
    open_.rowEnds.push_back(static_cast<std::uint32_t>(open_.cellEnds.size()));
    if (open_.rowEnds.size() >= SliceRows || open_.text.size() >= SliceText) closeSlice();
}

// The slice goes to memory while the budget allows, else to the file. When the file cannot take
// it the rows stay in the open slice, and the next row tries again.
void ReportRows::closeSlice() {
    Full f;
    f.firstRow = openFirst_;
    f.textBytes = static_cast<std::uint32_t>(open_.text.size());
    f.cells = static_cast<std::uint32_t>(open_.cellEnds.size());
    f.rows = static_cast<std::uint32_t>(open_.rowEnds.size());
    if (inMemory_ + open_.bytes() <= memory_) {
        open_.text.shrink_to_fit();
        open_.cellEnds.shrink_to_fit();
        open_.rowEnds.shrink_to_fit();
        inMemory_ += open_.bytes();
        f.inMemory = std::make_shared<const Slice>(std::move(open_));
    } else {
        if (!file_) file_ = std::make_shared<File>();
        f.offset = file_->append(open_);
    }
    full_.push_back(std::move(f));
    openFirst_ += full_.back().rows;
    open_ = Slice{};
}

const ReportRows::Slice& ReportRows::sliceOf(std::size_t row, std::size_t& local) const {
    if (row >= openFirst_) {
        local = row - openFirst_;
        return open_;
    }
    const auto full = std::upper_bound(full_.begin(), full_.end(), row,
                                       [](std::size_t r, const Full& f) { return r < f.firstRow; }) - 1;
    local = row - full->firstRow;
    if (full->inMemory) return *full->inMemory;
    const auto index = static_cast<std::size_t>(full - full_.begin());
    for (const auto& [i, slice] : readBack_)
        if (slice && i == index) return *slice;
    auto slice = std::make_shared<Slice>();
    file_->read(*full, *slice);
    auto& slot = readBack_[nextReadBack_++ % readBack_.size()];
    slot = {index, std::move(slice)};
    return *slot.second;
}

std::size_t ReportRows::cells(std::size_t row) const {
    std::size_t local = 0;
    const Slice& s = sliceOf(row, local);
    return s.rowEnds[local] - (local == 0 ? 0 : s.rowEnds[local - 1]);
}

std::string_view ReportRows::cell(std::size_t row, std::size_t k) const {
    std::size_t local = 0;
    const Slice& s = sliceOf(row, local);
    const std::size_t i = (local == 0 ? 0 : s.rowEnds[local - 1]) + k;
    const std::size_t begin = i == 0 ? 0 : s.cellEnds[i - 1];
    return std::string_view(s.text).substr(begin, s.cellEnds[i] - begin);
}

std::size_t ReportRows::slicesOnDisk() const {
    return static_cast<std::size_t>(std::count_if(full_.begin(), full_.end(), [](const Full& f) { return !f.inMemory; }));
}

bool ReportRows::operator==(const ReportRows& o) const {
    if (size() != o.size()) return false;
    for (std::size_t r = 0; r < size(); ++r)
        if ((*this)[r] != o[r]) return false;
    return true;
}

std::vector<std::string> ReportRows::operator[](std::size_t row) const {
    std::vector<std::string> out;
    for (std::size_t k = 0; k < cells(row); ++k) out.emplace_back(cell(row, k));
    return out;
}

namespace {

// The template's title, columns and query, with the formulas' title.
ReportData Modello(const std::string& reportFile, const std::array<std::string, 8>& formulas, std::string& query) {
    if (!std::filesystem::exists(reportFile)) throw ReportError(ReportError::TemplateMissing, "File " + reportFile + " non trovato");
    // A template that cannot be read would pass for an empty one: the cause is told instead.
    if (const std::optional<std::string> why = profile::problem(reportFile))
        throw ReportError(ReportError::TemplateInvalid, safe_file::unreadable(reportFile, *why));
    auto chiave = [&](const char* k) { return cp1252::toUtf8(profile::read("Report", k, "", 4096, reportFile)); };
    ReportData d;
    d.title = chiave("Titolo");
    query = chiave("Query");
    d.columns = Colonne(chiave("Colonne"));
    if (query.empty() || d.columns.empty())
        throw ReportError(ReportError::TemplateInvalid, "Modello " + reportFile + " non valido");
    for (const auto& f : formulas) Titolo(f, d.title);
    return d;
}

}  // namespace

struct ReportQuery::Open {
    // The cursor goes before the connection it reads.
    std::shared_ptr<Database> db;
    Database::Cursor rows;
    std::vector<int> posto;  // each column's field in the query's rows, -1 for none
    std::string altro;       // a cell's text when the field is no text

    Open(const std::string& dataFile, const std::string& sql, const std::vector<ReportColumn>& columns)
        : db(Database::open(dataFile, false)), rows(db->cursor(sql)) {
        const Database::Row& riga = rows.row();
        for (const auto& c : columns) {
            int trovato = -1;
            for (std::size_t i = 0; i < riga.size(); ++i)
                if (strcasecmp(riga.name(i), c.field.c_str()) == 0) trovato = static_cast<int>(i);
            posto.push_back(trovato);
        }
    }
};

ReportQuery::ReportQuery(const std::string& dataFile, const std::string& sql, const std::vector<ReportColumn>& columns) {
    try {
        open_ = std::make_unique<Open>(dataFile, sql, columns);
    } catch (const DbError& e) {
        throw ReportError(ReportError::DataFailed, e.what());
    }
}

ReportQuery::~ReportQuery() = default;

bool ReportQuery::read(ReportRows& rows, std::size_t n) {
    if (failure_) throw *failure_;
    if (!open_) return true;
    try {
        for (std::size_t letti = 0; letti < n; ++letti) {
            if (!open_->rows.next()) {
                open_.reset();
                return true;
            }
            const Database::Row& riga = open_->rows.row();
            for (int i : open_->posto)
                rows.addCell(i < 0 ? std::string_view() : riga.text(static_cast<std::size_t>(i), open_->altro));
            rows.endRow();
        }
    } catch (const std::exception& e) {  // the database's failures, and the temporary file's
        failure_ = ReportError(ReportError::DataFailed, e.what());
        open_.reset();
        throw *failure_;
    }
    return false;
}

ReportData Report::Produce(const std::string& reportFile, const std::string& dataFile,
                           const std::array<std::string, 8>& formulas) {
    std::string query;
    ReportData d = Modello(reportFile, formulas, query);
    ReportQuery(dataFile, query, d.columns).read(d.rows);
    return d;
}

namespace {

// The C library keeps memory freed in the middle of its heap for the program's next allocations:
// the megabytes of a long report's rows go back to the system once the report is done.
struct GiveBackMemory {
    GiveBackMemory() = default;
    GiveBackMemory(const GiveBackMemory&) = delete;
    GiveBackMemory& operator=(const GiveBackMemory&) = delete;
    ~GiveBackMemory() { ::malloc_trim(0); }
};

}  // namespace

void Report::setAction(int action) {
    if (action != 1) return;
    const GiveBackMemory afterwards;  // goes after the rows
    std::string query;
    ReportData d = Modello(ReportFileName, Formulas, query);
    ReportQuery rest(DataFiles[0], query, d.columns);
    d.windowTitle = WindowTitle;
    d.destination = Destination;
    d.printFile = PrintFileName;
    ReportRenderer* r = form().host().reports();
    if (!r) throw ReportError(ReportError::NoRenderer, "Nessuna stampante disponibile");
    r->renderReading(d, rest);
}

void TextReportRenderer::render(const ReportData& d) {
    std::cerr << d.title << "\n";
    for (const auto& c : d.columns) std::cerr << c.heading << "\t";
    std::cerr << "\n";
    for (std::size_t r = 0; r < d.rows.size(); ++r) {
        for (std::size_t k = 0; k < d.rows.cells(r); ++k) std::cerr << d.rows.cell(r, k) << "\t";
        std::cerr << "\n";
    }
}

}  // namespace vc
