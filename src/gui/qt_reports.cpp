#include "gui/qt_reports.h"

#include <QApplication>
#include <QBuffer>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPen>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include <algorithm>
#include <memory>
#include <numeric>
#include <optional>
#include <utility>

#include "gui/qt_text.h"

namespace vc::gui {

namespace {

// Wider than this many characters, a report goes on landscape pages.
constexpr int PortraitCharacters = 90;
constexpr double MarginMm = 15;

int totalWidth(const ReportData& d) {
    return std::accumulate(d.columns.begin(), d.columns.end(), 0,
                           [](int sum, const ReportColumn& c) { return sum + c.width; });
}

QPageLayout pageLayout(const ReportData& d) {
    const auto orientation = totalWidth(d) > PortraitCharacters ? QPageLayout::Landscape : QPageLayout::Portrait;
    return QPageLayout(QPageSize(QPageSize::A4), orientation, QMarginsF(MarginMm, MarginMm, MarginMm, MarginMm),
                       QPageLayout::Millimeter);
}

QString windowTitle(const ReportData& d) { return qs(d.windowTitle.empty() ? d.title : d.windowTitle); }

// Screen pixels (96 to the inch) at the device's resolution.
double pixels(const QPaintDevice& device, double screen) { return screen * device.logicalDpiY() / 96.0; }

QFont boldFont(double points) {
    QFont f = QApplication::font();
    f.setBold(true);
    if (points > 0) f.setPointSizeF(points);
    return f;
}

// The report measured for the device: the title, then a table of the headings and the rows, each
// column as wide as its share of the characters the template gives the row, the headings again at
// the top of every page. Rows are measured and painted directly: a history report may hold many
// thousands of rows, and a text document lays a table that long out again and again.
class PagedTable {
public:
    PagedTable(const ReportData& d, const QPaintDevice& device)
        : d_(d), body_(QApplication::font()), heading_(boldFont(QApplication::font().pointSizeF())),
          title_(boldFont(14)), bodyMetrics_(body_, &device), headingMetrics_(heading_, &device),
          titleMetrics_(title_, &device), padding_(pixels(device, 3)), line_(pixels(device, 1)) {
        const double total = totalWidth(d);
        double x = 0;
        for (const ReportColumn& c : d.columns) {
            left_.push_back(x);
            x += device.width() * c.width / total;
        }
        left_.push_back(device.width());
        foot_ = 2 * bodyMetrics_.height();
        height_ = device.height() - foot_;
        titleHeight_ = titleMetrics_.height() + pixels(device, 10);
        headingHeight_ = rowHeight(headings(), headingMetrics_, headingWrapped_);
        paginate();
    }

    int pages() const { return static_cast<int>(pages_.size()); }

    void paint(QPainter& p, int page) const {
        double y = 0;
        if (page == 0) {
            p.setFont(title_);
            p.drawText(QRectF(0, 0, left_.back(), titleMetrics_.height()), Qt::AlignHCenter | Qt::AlignTop, qs(d_.title));
            y = titleHeight_;
        }
        const double top = y;
        p.fillRect(QRectF(0, y, left_.back(), headingHeight_), QColor(225, 225, 225));
        p.setPen(Qt::black);
        p.setFont(heading_);
        paintRow(p, headings(), y, headingHeight_, headingMetrics_, headingWrapped_.begin());
        y += headingHeight_;
        p.setFont(body_);
        const auto [first, last] = pages_[static_cast<std::size_t>(page)];
        for (std::size_t r = first; r < last; ++r) {
            paintRow(p, d_.rows[r], y, heights_[r], bodyMetrics_, wrapped_.begin() + static_cast<std::ptrdiff_t>(cellsBefore_[r]));
            y += heights_[r];
        }
        p.setPen(QPen(Qt::darkGray, line_));
        for (double x : left_) {
            const double inside = std::min(x, left_.back() - line_ / 2);  // the right edge's line on the page
            p.drawLine(QPointF(inside, top), QPointF(inside, y));
        }
        p.drawLine(QPointF(0, top), QPointF(left_.back(), top));
        p.setPen(Qt::black);
        p.setFont(body_);
        p.drawText(QRectF(0, height_, left_.back(), foot_), Qt::AlignHCenter | Qt::AlignBottom,
                   QString("Pagina %1 di %2").arg(page + 1).arg(pages()));
    }

    // The cells whose text is wider than their column even wrapped at words, so that the column's
    // edge cuts them: (row, column), the headings as row -1.
    std::vector<std::pair<long, int>> overfull() const {
        std::vector<std::pair<long, int>> out;
        auto check = [&](long r, const std::vector<std::string>& cells, const QFontMetricsF& m) {
            for (std::size_t k = 0; k < cells.size() && k < d_.columns.size(); ++k) {
                const QRectF cell(0, 0, cellWidth(k), 1e9);
                if (m.boundingRect(cell, Qt::TextWordWrap, qs(cells[k])).width() > cell.width())
                    out.emplace_back(r, static_cast<int>(k));
            }
        };
        check(-1, headings(), headingMetrics_);
        for (std::size_t r = 0; r < d_.rows.size(); ++r) check(static_cast<long>(r), d_.rows[r], bodyMetrics_);
        return out;
    }

private:
    std::vector<std::string> headings() const {
        std::vector<std::string> out;
        for (const ReportColumn& c : d_.columns) out.push_back(c.heading);
        return out;
    }
    double cellWidth(std::size_t k) const { return left_[k + 1] - left_[k] - 2 * padding_; }

    // A cell's text on one line when it fits, wrapped at words when it does not; 'wrapped' gets a
    // flag per cell.
    double rowHeight(const std::vector<std::string>& cells, const QFontMetricsF& m, std::vector<bool>& wrapped) const {
        double lines = m.height();
        for (std::size_t k = 0; k < cells.size() && k < d_.columns.size(); ++k) {
            const QString text = qs(cells[k]);
            wrapped.push_back(m.horizontalAdvance(text) > cellWidth(k));
            if (wrapped.back())
                lines = std::max(lines, m.boundingRect(QRectF(0, 0, cellWidth(k), 1e9), Qt::TextWordWrap, text).height());
        }
        return lines + 2 * padding_;
    }

    // A text that fits goes straight to its baseline; only a wrapped one needs a layout.
    void paintRow(QPainter& p, const std::vector<std::string>& cells, double y, double h, const QFontMetricsF& m,
                  std::vector<bool>::const_iterator wrapped) const {
        for (std::size_t k = 0; k < cells.size() && k < d_.columns.size(); ++k) {
            const QString text = qs(cells[k]);
            if (!*wrapped++)
                p.drawText(QPointF(left_[k] + padding_, y + padding_ + m.ascent()), text);
            else
                p.drawText(QRectF(left_[k] + padding_, y + padding_, cellWidth(k), h - 2 * padding_),
                           Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
        }
        const QPen pen = p.pen();
        p.setPen(QPen(Qt::darkGray, line_));
        p.drawLine(QPointF(0, y + h), QPointF(left_.back(), y + h));
        p.setPen(pen);
    }

    // Rows go on a page while they fit under its headings; a row taller than a page gets one.
    void paginate() {
        double y = titleHeight_ + headingHeight_;
        std::size_t first = 0;
        for (std::size_t r = 0; r < d_.rows.size(); ++r) {
            cellsBefore_.push_back(wrapped_.size());
            heights_.push_back(rowHeight(d_.rows[r], bodyMetrics_, wrapped_));
            if (y + heights_[r] > height_ && r > first) {
                pages_.push_back({first, r});
                first = r;
                y = headingHeight_;
            }
            y += heights_[r];
        }
        pages_.push_back({first, d_.rows.size()});
    }

    const ReportData& d_;
    QFont body_, heading_, title_;
    QFontMetricsF bodyMetrics_, headingMetrics_, titleMetrics_;
    double padding_, line_;
    std::vector<double> left_;  // each column's left edge, then the table's right edge
    double foot_ = 0, height_ = 0, titleHeight_ = 0, headingHeight_ = 0;
    std::vector<double> heights_;
    std::vector<bool> headingWrapped_, wrapped_;  // whether each cell wraps, row after row
    std::vector<std::size_t> cellsBefore_;        // each row's first cell in wrapped_
    std::vector<std::pair<std::size_t, std::size_t>> pages_;  // each page's rows, [first, last)
};

// Lays the report out on the device's pages and paints them, the page number at each foot.
void paint(const ReportData& d, QPagedPaintDevice& device, const std::string& failure) {
    QPainter p;
    if (!p.begin(&device)) throw ReportError(ReportError::OutputFailed, failure);
    const PagedTable table(d, device);
    for (int n = 0; n < table.pages(); ++n) {
        if (n > 0 && !device.newPage()) throw ReportError(ReportError::OutputFailed, failure);
        table.paint(p, n);
    }
}

void writePdf(const ReportData& d, const std::string& file) {
    QPdfWriter pdf(qs(file));
    pdf.setPageLayout(pageLayout(d));
    pdf.setTitle(qs(d.title));
    pdf.setCreator(QApplication::applicationName());
    paint(d, pdf, "Impossibile scrivere il file " + file);
}

void preparePrinter(QPrinter& printer, const ReportData& d) {
    printer.setPageLayout(pageLayout(d));
    printer.setDocName(qs(d.title));
}

void print(const ReportData& d) {
    QPrinter printer(QPrinter::HighResolution);
    preparePrinter(printer, d);
    QPrintDialog dialog(&printer, QApplication::activeWindow());
    dialog.setWindowTitle(windowTitle(d));
    if (dialog.exec() != QDialog::Accepted) return;
    if (!printer.isValid()) throw ReportError(ReportError::OutputFailed, "Stampante non valida");
    paint(d, printer, "La stampante non risponde");
}

// The preview paints from inside Qt's event dispatch, where no exception may pass: a failure
// is kept and thrown once the preview is closed.
void preview(const ReportData& d) {
    QPrinter printer(QPrinter::HighResolution);
    preparePrinter(printer, d);
    QPrintPreviewDialog dialog(&printer, QApplication::activeWindow());
    dialog.setWindowTitle(windowTitle(d));
    std::optional<ReportError> failure;
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, [&d, &failure](QPrinter* target) {
        try {
            paint(d, *target, "La stampante non risponde");
        } catch (const ReportError& e) {
            failure = e;
        }
    });
    dialog.exec();
    if (failure) throw *failure;
}

}  // namespace

std::vector<std::pair<long, int>> overfullCells(const ReportData& d) {
    QBuffer nowhere;
    nowhere.open(QIODevice::WriteOnly);
    QPdfWriter pdf(&nowhere);
    pdf.setPageLayout(pageLayout(d));
    return PagedTable(d, pdf).overfull();
}

QtReports::QtReports(std::string unattendedFile) : unattendedFile_(std::move(unattendedFile)) {}

void QtReports::render(const ReportData& data) {
    if (data.destination == 2) return writePdf(data, data.printFile);
    if (!unattendedFile_.empty()) return writePdf(data, unattendedFile_);
    if (data.destination == 1) return print(data);
    preview(data);
}

}  // namespace vc::gui
