#include "platform/report.h"

#include <strings.h>

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

ReportRows::ReportRows(std::initializer_list<std::vector<std::string>> rows) {
    for (const auto& r : rows) push_back(r);
}

void ReportRows::push_back(const std::vector<std::string>& cells) {
    for (const auto& c : cells) addCell(c);
    endRow();
}

void ReportRows::addCell(std::string_view text) {
    constexpr std::size_t Block = 1 << 20;
    if (cellEnds_.size() >= UINT32_MAX) throw std::length_error("report too large");
    if (blocks_.empty() || blocks_.back().size() + text.size() > blocks_.back().capacity()) {
        blocks_.emplace_back().reserve(std::max(Block, text.size()));
        blockFirst_.push_back(cellEnds_.size());
    }
    blocks_.back() += text;
    cellEnds_.push_back(static_cast<std::uint32_t>(blocks_.back().size()));
}

void ReportRows::endRow() { rowEnds_.push_back(static_cast<std::uint32_t>(cellEnds_.size())); }

std::string_view ReportRows::cell(std::size_t row, std::size_t k) const {
    const std::size_t i = rowStart(row) + k;
    const auto block = std::upper_bound(blockFirst_.begin(), blockFirst_.end(), i) - blockFirst_.begin() - 1;
    const std::size_t begin = i == blockFirst_[static_cast<std::size_t>(block)] ? 0 : cellEnds_[i - 1];
    return std::string_view(blocks_[static_cast<std::size_t>(block)]).substr(begin, cellEnds_[i] - begin);
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
    } catch (const std::exception& e) {  // the database's failures, and a report too large to hold
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

void Report::setAction(int action) {
    if (action != 1) return;
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
