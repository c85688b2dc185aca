#pragma once
// A report on pages: the title, then a table of the headings and the rows, each column as wide as
// its share of the characters the template gives the row, the headings again at the top of every
// page and "Pagina n di m" at its foot. Laying a report out measures each row once and keeps only
// where each page begins, so any page of a report of many thousands of pages is painted on its
// own, when it is wanted, and painting all of them goes one page at a time.

#include <QPageLayout>
#include <QString>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/report.h"

class QPagedPaintDevice;
class QPaintDevice;
class QPainter;
class QPrinter;

namespace vc::gui {

// Pages painted one at a time, in the coordinates of the device they were laid out for. A source
// may still be reading its report: its pages are then those laid out so far, and more() reads
// and lays out a slice of the rest, so that the first pages show while the others are read.
class PageSource {
public:
    virtual ~PageSource() = default;
    virtual int pages() const = 0;
    virtual void paint(QPainter& p, int page) const = 0;
    // True once every page is laid out; more() then does nothing.
    virtual bool complete() const { return true; }
    // Reads and lays out about 'rows' more rows. Throws ReportError(DataFailed).
    virtual void more(std::size_t rows) { (void)rows; }
};

// Reads and lays out whatever is left of the source's report.
void layOutAll(PageSource& pages);

// Reads up to 'n' more rows of a report into its rows; true once every row is in.
using RowReader = std::function<bool(std::size_t n)>;

// A report laid out for a device: at once when its rows are all in, or as 'read' brings them
// (the first page's foot then says "Pagina 1 di ..." until the last page is known).
class ReportPages final : public PageSource {
public:
    ReportPages(const ReportData& d, const QPaintDevice& device, RowReader read = {});
    ~ReportPages() override;
    int pages() const override;
    void paint(QPainter& p, int page) const override;
    bool complete() const override;
    void more(std::size_t rows) override;
    // The cells whose text is wider than their column even wrapped at words, so that the column's
    // edge cuts them: (row, column), the headings as row -1.
    std::vector<std::pair<long, int>> overfull() const;

private:
    struct Table;
    std::unique_ptr<Table> t_;
};

// The cells of a report laid out on its PDF pages that its columns cut (ReportPages::overfull).
std::vector<std::pair<long, int>> overfullCells(const ReportData& d);

// A4, landscape when the columns are wide, with the report's margins.
QPageLayout reportPageLayout(const ReportData& d);

// A file name for the report's PDF, made from its title: the characters a file name cannot hold
// (the slashes of its dates first) become '-', blanks and dots at either end go, "Report" when
// nothing is left; ".pdf" follows.
std::string pdfFileName(const std::string& title);

// What printing and writing a PDF need of a report: its title, its pages' layout, and its pages
// laid out for a given device.
struct Printable {
    QString title;
    QPageLayout layout;
    std::function<std::unique_ptr<PageSource>(const QPaintDevice&)> layOut;
};

// A report whose rows are all in, and one whose rows 'rest' is still reading into d.rows (each
// layout reads what it lacks).
Printable printable(const ReportData& d);
Printable printable(ReportData& d, ReportQuery& rest);

// Paints every page on the device (begun on 'p'), one after the other, with a progress window
// whose "Annulla" stops after the page under way; the rows not yet read are read first. Returns
// false when stopped; throws ReportError(OutputFailed, failure) when the device refuses a page,
// ReportError(DataFailed) when the rows cannot be read. 'caption' is the progress window's title.
bool paintAll(PageSource& pages, QPainter& p, QPagedPaintDevice& device, const QString& caption,
              const std::string& failure);

// Writes the report as a PDF. Returns false when stopped, and then leaves no file; throws
// ReportError(OutputFailed, ...) when the file cannot be written.
bool writePdf(const Printable& r, const std::string& file);

// Prints the report on a printer the print dialog has set up. Returns false when stopped: the job
// is aborted where the printer can, and a print to a file leaves no file. Throws
// ReportError(OutputFailed, ...) when the printer fails.
bool print(const Printable& r, QPrinter& printer);

}  // namespace vc::gui
