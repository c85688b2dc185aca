#pragma once
// A report on pages: the title, then a table of the headings and the rows, each column as wide as
// its share of the characters the template gives the row, the headings again at the top of every
// page and "Pagina n di m" at its foot. Laying a report out measures each row once and keeps only
// where each page begins, so any page of a report of many thousands of pages is painted on its
// own, when it is wanted, and painting all of them goes one page at a time.

#include <QPageLayout>
#include <QString>

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

// Pages painted one at a time, in the coordinates of the device they were laid out for.
class PageSource {
public:
    virtual ~PageSource() = default;
    virtual int pages() const = 0;
    virtual void paint(QPainter& p, int page) const = 0;
};

// A report laid out for a device.
class ReportPages final : public PageSource {
public:
    ReportPages(const ReportData& d, const QPaintDevice& device);
    ~ReportPages() override;
    int pages() const override;
    void paint(QPainter& p, int page) const override;
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

Printable printable(const ReportData& d);

// Paints every page on the device (begun on 'p'), one after the other, with a progress window
// whose "Annulla" stops after the page under way. Returns false when stopped; throws
// ReportError(OutputFailed, failure) when the device refuses a page.
// 'caption' is the progress window's title.
bool paintAll(const PageSource& pages, QPainter& p, QPagedPaintDevice& device, const QString& caption,
              const std::string& failure);

// Writes the report as a PDF. Returns false when stopped, and then leaves no file; throws
// ReportError(OutputFailed, ...) when the file cannot be written.
bool writePdf(const Printable& r, const std::string& file);

// Prints the report on a printer the print dialog has set up. Returns false when stopped: the job
// is aborted where the printer can, and a print to a file leaves no file. Throws
// ReportError(OutputFailed, ...) when the printer fails.
bool print(const Printable& r, QPrinter& printer);

}  // namespace vc::gui
