#include "platform/report.h"

#include <strings.h>

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

// Each column's place among the query's fields (the last field of that name), or -1.
std::vector<int> Posti(const std::vector<ReportColumn>& colonne, const std::vector<std::string>& campi) {
    std::vector<int> posto;
    for (const auto& c : colonne) {
        int trovato = -1;
        for (std::size_t i = 0; i < campi.size(); ++i)
            if (strcasecmp(campi[i].c_str(), c.field.c_str()) == 0) trovato = static_cast<int>(i);
        posto.push_back(trovato);
    }
    return posto;
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

ReportData Report::Produce(const std::string& reportFile, const std::string& dataFile,
                           const std::array<std::string, 8>& formulas) {
    if (!std::filesystem::exists(reportFile)) throw ReportError(ReportError::TemplateMissing, "File " + reportFile + " non trovato");
    // A template that cannot be read would pass for an empty one: the cause is told instead.
    if (const std::optional<std::string> why = profile::problem(reportFile))
        throw ReportError(ReportError::TemplateInvalid, safe_file::unreadable(reportFile, *why));
    auto chiave = [&](const char* k) { return cp1252::toUtf8(profile::read("Report", k, "", 4096, reportFile)); };
    ReportData d;
    d.title = chiave("Titolo");
    const std::string query = chiave("Query");
    d.columns = Colonne(chiave("Colonne"));
    if (query.empty() || d.columns.empty())
        throw ReportError(ReportError::TemplateInvalid, "Modello " + reportFile + " non valido");
    for (const auto& f : formulas) Titolo(f, d.title);
    try {
        auto db = Database::open(dataFile, false);
        // The query's fields are known before its first row.
        std::vector<std::string> campi;
        std::vector<int> posto;
        db->forEachRow(
            query,
            [&](const std::vector<Value>& riga) {
                if (posto.empty()) posto = Posti(d.columns, campi);
                std::vector<std::string> celle;
                celle.reserve(posto.size());
                for (int i : posto) celle.push_back(i < 0 ? std::string() : riga[static_cast<std::size_t>(i)].str());
                d.rows.push_back(std::move(celle));
            },
            &campi);
    } catch (const DbError& e) {
        throw ReportError(ReportError::DataFailed, e.what());
    }
    return d;
}

void Report::setAction(int action) {
    if (action != 1) return;
    ReportData d = Produce(ReportFileName, DataFiles[0], Formulas);
    d.windowTitle = WindowTitle;
    d.destination = Destination;
    d.printFile = PrintFileName;
    ReportRenderer* r = form().host().reports();
    if (!r) throw ReportError(ReportError::NoRenderer, "Nessuna stampante disponibile");
    r->render(d);
}

void TextReportRenderer::render(const ReportData& d) {
    std::cerr << d.title << "\n";
    for (const auto& c : d.columns) std::cerr << c.heading << "\t";
    std::cerr << "\n";
    for (const auto& r : d.rows) {
        for (const auto& v : r) std::cerr << v << "\t";
        std::cerr << "\n";
    }
}

}  // namespace vc
