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

// A report's rows, in slices of some thousand rows whose texts are kept end to end. The first
// slices stay in memory; once they hold 'memory' bytes, each slice that fills goes to a temporary
// file of the report's own (gone with the last copy of the rows, or with the program) and is read
// back a slice at a time when its rows are wanted. So a report of any length holds a bounded
// amount of memory, and a short one never touches the disk.
class ReportRows {
public:
    static constexpr std::size_t DefaultMemory = std::size_t{32} << 20;

    ReportRows() : ReportRows(DefaultMemory) {}
    explicit ReportRows(std::size_t memory);
    ReportRows(std::initializer_list<std::vector<std::string>> rows);

    // Adding throws ReportError(DataFailed) when the temporary file cannot be written.
    void push_back(const std::vector<std::string>& cells);
    // Adds a row a cell at a time: addCell() for each, then endRow().
    void addCell(std::string_view text);
    void endRow();

    std::size_t size() const { return openFirst_ + open_.rowEnds.size(); }
    bool empty() const { return size() == 0; }
    // Reading a row kept in the file throws ReportError(DataFailed) when the file cannot be read.
    std::size_t cells(std::size_t row) const;
    // A cell's text, valid until a row is added or until reading rows of the file evicts its slice
    // (the last four slices read back stay in memory).
    std::string_view cell(std::size_t row, std::size_t k) const;
    // A copy of a row's cells.
    std::vector<std::string> operator[](std::size_t row) const;
    // How many slices are in the temporary file.
    std::size_t slicesOnDisk() const;

    bool operator==(const ReportRows& o) const;

private:
    struct Slice {
        std::string text;                     // the cells' texts end to end
        std::vector<std::uint32_t> cellEnds;  // where each cell ends in text
        std::vector<std::uint32_t> rowEnds;   // where each row ends in cellEnds
        std::size_t bytes() const { return text.size() + 4 * (cellEnds.size() + rowEnds.size()); }
    };
    struct Full {                                // a slice no more rows go to
        std::size_t firstRow = 0;
        std::shared_ptr<const Slice> inMemory;  // none when it is in the file
        std::uint64_t offset = 0;               // where it is in the file
        std::uint32_t textBytes = 0, cells = 0, rows = 0;
    };
    class File;

    void closeSlice();
    // The slice holding 'row', and the row's place in it.
    const Slice& sliceOf(std::size_t row, std::size_t& local) const;

    std::size_t memory_;
    std::size_t inMemory_ = 0;        // bytes of the full slices kept in memory
    std::vector<Full> full_;
    Slice open_;                      // the slice rows are added to
    std::size_t openFirst_ = 0;       // its first row
    std::shared_ptr<File> file_;      // once a slice goes there; copies of the rows share it
    // The slices last read back from the file, with their place in full_.
    mutable std::array<std::pair<std::size_t, std::shared_ptr<const Slice>>, 4> readBack_{};
    mutable std::size_t nextReadBack_ = 0;
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
