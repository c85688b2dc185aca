#pragma once
// The report control. A report template is a small text file in profile format:
//
//   [Report]
//   Titolo=Elenco utenti                 the title when no "Titolo" formula is given
//   Query=SELECT Cognome, Nome FROM Carte ORDER BY Cognome
//   Colonne=Cognome|Cognome|24;Nome|Nome|20      field|heading|width in characters, ';' between
//
// Setting Action to 1 runs the template's query on data file 0 and hands the rows, the title
// and the window title to the front end's renderer, which previews, prints or writes a PDF.

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/forms.h"

namespace vc {

// A report that could not be produced: a number and a description for the operator.
class ReportError : public std::runtime_error {
public:
    ReportError(int n, const std::string& what) : std::runtime_error(what), number(n) {}
    int number;
    enum : int { TemplateMissing = 1, TemplateInvalid = 2, DataFailed = 3, OutputFailed = 4, NoRenderer = 5 };
};

struct ReportColumn {
    std::string field, heading;
    int width = 10;
};

// A report's rows, their texts kept end to end in blocks of a megabyte: a report of a million rows
// takes a tenth of the memory it would as a string per cell, and grows without copying.
class ReportRows {
public:
    ReportRows() = default;
    ReportRows(std::initializer_list<std::vector<std::string>> rows);

    void push_back(const std::vector<std::string>& cells);
    // Adds a row a cell at a time: addCell() for each, then endRow().
    void addCell(std::string_view text);
    void endRow();

    std::size_t size() const { return rowEnds_.size(); }
    bool empty() const { return rowEnds_.empty(); }
    std::size_t cells(std::size_t row) const { return rowEnds_[row] - rowStart(row); }
    std::string_view cell(std::size_t row, std::size_t k) const;
    // A copy of a row's cells.
    std::vector<std::string> operator[](std::size_t row) const;

    bool operator==(const ReportRows& o) const;

private:
    std::size_t rowStart(std::size_t row) const { return row == 0 ? 0 : rowEnds_[row - 1]; }

    std::vector<std::string> blocks_;        // the texts, a cell never across two blocks
    std::vector<std::size_t> blockFirst_;    // each block's first cell
    std::deque<std::uint32_t> cellEnds_;     // where each cell ends in its block
    std::vector<std::uint32_t> rowEnds_;     // where each row ends in cellEnds_
};

// What the renderer gets.
struct ReportData {
    std::string windowTitle;
    std::string title;
    std::vector<ReportColumn> columns;
    ReportRows rows;
    int destination = 0;  // 0 a preview window, 1 the printer, 2 a file
    std::string printFile;  // with destination 2
};

// A report's query, open on its data file and read a slice at a time: the front end shows the
// first pages while it reads the rest. Each row gets a cell per column: the query's field of the
// column's name (letter case aside; the last of that name), empty when the query has none.
// Until the last row is read the query holds its own connection and its read of the data (in a
// WAL database, the data of the moment it began); destroying it stops the reading.
class ReportQuery {
public:
    // Throws ReportError(DataFailed) when the file or the query cannot be opened.
    ReportQuery(const std::string& dataFile, const std::string& sql, const std::vector<ReportColumn>& columns);
    ~ReportQuery();
    ReportQuery(const ReportQuery&) = delete;
    ReportQuery& operator=(const ReportQuery&) = delete;

    // Adds up to 'n' more rows to 'rows'; true once the last row is in. A failure throws
    // ReportError(DataFailed), and throws again at every later call: rows are never missed quietly.
    bool read(ReportRows& rows, std::size_t n = SIZE_MAX);
    bool done() const { return !open_ && !failure_; }

private:
    struct Open;
    std::unique_ptr<Open> open_;  // until the last row is read
    std::optional<ReportError> failure_;
};

class ReportRenderer {
public:
    virtual ~ReportRenderer() = default;
    // Shows or prints the report; throws ReportError(OutputFailed, ...) when the printer fails.
    virtual void render(const ReportData& data) = 0;
    // The same for a report whose rows 'rest' is still reading into data.rows: a renderer that
    // can show the first ones while it reads the others overrides this; any other reads them all
    // first. Throws ReportError(DataFailed) when the rows cannot be read.
    virtual void renderReading(ReportData& data, ReportQuery& rest) {
        rest.read(data.rows);
        render(data);
    }
};

class Report : public Control {
public:
    using Control::Control;
    const char* kind() const override { return "Report"; }

    std::string ReportFileName;
    std::array<std::string, 8> DataFiles;
    // Formulas as "Name = value"; "Titolo" sets the title (its value in double quotes).
    std::array<std::string, 8> Formulas;
    std::string WindowTitle;
    int Destination = 0;
    std::string PrintFileName;

    // 1 runs the report. Throws ReportError.
    void setAction(int action);

    // Reads a template and runs its query (exposed for tests and for the front end's preview).
    static ReportData Produce(const std::string& reportFile, const std::string& dataFile,
                              const std::array<std::string, 8>& formulas);
};

// Renders a report with no screen: writes it as text to standard error.
class TextReportRenderer final : public ReportRenderer {
public:
    void render(const ReportData& data) override;
};

}  // namespace vc
