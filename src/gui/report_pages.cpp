#include "gui/report_pages.h"

#include <QApplication>
#include <QBuffer>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPen>
#include <QPrinter>
#include <QProgressDialog>

#include <algorithm>
#include <array>
#include <filesystem>
#include <numeric>
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

// Screen pixels (96 to the inch) at the device's resolution.
double pixels(const QPaintDevice& device, double screen) { return screen * device.logicalDpiY() / 96.0; }

// The program's font at 'points' (its own size when 0), sized in the device's pixels: the pages
// then paint alike on the device and, scaled, on the screen.
QFont font(const QPaintDevice& device, double points, bool bold) {
    QFont f = QApplication::font();
    if (points <= 0) points = f.pointSizeF();
    f.setPixelSize(std::max(1, static_cast<int>(points * device.logicalDpiY() / 72.0 + 0.5)));
    f.setBold(bold);
    return f;
}

// A font's metrics, with a quick bound on whether a text fits: the advances of its ASCII
// characters added up, with a blank to spare for kerning (which moves a text by far less), tell
// most cells of a report apart without laying their text out.
class Metrics {
public:
    Metrics(const QFont& f, const QPaintDevice& device) : m(f, &device), spare_(m.horizontalAdvance(QChar(' '))) {
        for (int c = 32; c < 127; ++c) advance_[static_cast<std::size_t>(c)] = m.horizontalAdvance(QChar(c));
    }

    bool surelyFits(std::string_view text, double width) const {
        double w = spare_;
        for (const char c : text) {
            if (c < 32 || c > 126) return false;
            w += advance_[static_cast<std::size_t>(c)];
        }
        return w <= width;
    }

    QFontMetricsF m;

private:
    double spare_;
    std::array<double, 127> advance_{};
};

}  // namespace

struct ReportPages::Table {
    Table(const ReportData& data, const QPaintDevice& device, RowReader reader)
        : d(data), read(std::move(reader)), body(font(device, 0, false)), heading(font(device, 0, true)),
          title(font(device, 14, true)), bodyMetrics(body, device), headingMetrics(heading, device), titleMetrics(title, device),
          padding(pixels(device, 3)), line(pixels(device, 1)) {
        const double total = totalWidth(data);
        double x = 0;
        for (const ReportColumn& c : data.columns) {
            left.push_back(x);
            x += device.width() * c.width / total;
        }
        left.push_back(device.width());
        for (const ReportColumn& c : d.columns) headings.addCell(c.heading);
        headings.endRow();
        foot = 2 * bodyMetrics.m.height();
        height = device.height() - foot;
        titleHeight = titleMetrics.m.height() + pixels(device, 10);
        headingHeight = rowHeight(headings, 0, headingMetrics, nullptr);
        nextY = titleHeight + headingHeight;
        first.push_back(0);
        if (!read) layOut(d.rows.size());
    }

    bool complete() const { return allRead && laid == d.rows.size(); }
    // The last page begun is open to more rows until every row is in.
    std::size_t pages() const { return complete() ? first.size() : first.size() - 1; }
    std::size_t end(std::size_t page) const { return page + 1 < first.size() ? first[page + 1] : laid; }

    void more(std::size_t rows) {
        if (laid == d.rows.size() && !allRead) allRead = read(rows);
        layOut(std::min(rows, d.rows.size() - laid));
    }

    double cellWidth(std::size_t k) const { return left[k + 1] - left[k] - 2 * padding; }

    // A cell's text on one line when it fits, wrapped at words when it does not; 'wrapped' (when
    // given) gets a flag per cell.
    double rowHeight(const ReportRows& rows, std::size_t r, const Metrics& m, std::vector<bool>* wrapped) const {
        double lines = m.m.height();
        for (std::size_t k = 0; k < rows.cells(r) && k < d.columns.size(); ++k) {
            bool wraps = false;
            if (!m.surelyFits(rows.cell(r, k), cellWidth(k))) {
                const QString text = qs(rows.cell(r, k));
                wraps = m.m.horizontalAdvance(text) > cellWidth(k);
                if (wraps)
                    lines = std::max(lines, m.m.boundingRect(QRectF(0, 0, cellWidth(k), 1e9), Qt::TextWordWrap, text).height());
            }
            if (wrapped) wrapped->push_back(wraps);
        }
        return lines + 2 * padding;
    }

    // Rows go on a page while they fit under its headings; a row taller than a page gets one.
    void layOut(std::size_t rows) {
        for (const std::size_t last = laid + rows; laid < last; ++laid) {
            const double h = rowHeight(d.rows, laid, bodyMetrics, nullptr);
            if (nextY + h > height && laid > first.back()) {
                first.push_back(laid);
                nextY = headingHeight;
            }
            nextY += h;
        }
    }

    // A text that fits goes straight to its baseline; only a wrapped one needs a layout.
    // Returns the row's height.
    double paintRow(QPainter& p, const ReportRows& rows, std::size_t r, double y, const Metrics& m) const {
        std::vector<bool> wrapped;
        const double h = rowHeight(rows, r, m, &wrapped);
        for (std::size_t k = 0; k < wrapped.size(); ++k) {
            const QString text = qs(rows.cell(r, k));
            if (!wrapped[k])
                p.drawText(QPointF(left[k] + padding, y + padding + m.m.ascent()), text);
            else
                p.drawText(QRectF(left[k] + padding, y + padding, cellWidth(k), h - 2 * padding),
                           Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
        }
        const QPen pen = p.pen();
        p.setPen(QPen(Qt::darkGray, line));
        p.drawLine(QPointF(0, y + h), QPointF(left.back(), y + h));
        p.setPen(pen);
        return h;
    }

    void paint(QPainter& p, std::size_t page) const {
        double top = 0;
        p.setPen(Qt::black);
        if (page == 0) {
            p.setFont(title);
            p.drawText(QRectF(0, 0, left.back(), titleMetrics.m.height()), Qt::AlignHCenter | Qt::AlignTop, qs(d.title));
            top = titleHeight;
        }
        double y = top;
        p.fillRect(QRectF(0, y, left.back(), headingHeight), QColor(225, 225, 225));
        p.setFont(heading);
        y += paintRow(p, headings, 0, y, headingMetrics);
        p.setFont(body);
        for (std::size_t r = first[page]; r < end(page); ++r) y += paintRow(p, d.rows, r, y, bodyMetrics);
        p.setPen(QPen(Qt::darkGray, line));
        for (double x : left) {
            const double inside = std::min(x, left.back() - line / 2);  // the right edge's line on the page
            p.drawLine(QPointF(inside, top), QPointF(inside, y));
        }
        p.drawLine(QPointF(0, top), QPointF(left.back(), top));
        p.setPen(Qt::black);
        p.setFont(body);
        const QString of = complete() ? QString::number(first.size()) : QString("...");
        p.drawText(QRectF(0, height, left.back(), foot), Qt::AlignHCenter | Qt::AlignBottom,
                   QString("Pagina %1 di %2").arg(page + 1).arg(of));
    }

    std::vector<std::pair<long, int>> overfull() const {
        std::vector<std::pair<long, int>> out;
        auto check = [&](long shown, const ReportRows& rows, std::size_t r, const Metrics& m) {
            for (std::size_t k = 0; k < rows.cells(r) && k < d.columns.size(); ++k) {
                const QRectF cell(0, 0, cellWidth(k), 1e9);
                if (m.m.boundingRect(cell, Qt::TextWordWrap, qs(rows.cell(r, k))).width() > cell.width())
                    out.emplace_back(shown, static_cast<int>(k));
            }
        };
        check(-1, headings, 0, headingMetrics);
        for (std::size_t r = 0; r < d.rows.size(); ++r) check(static_cast<long>(r), d.rows, r, bodyMetrics);
        return out;
    }

    const ReportData& d;
    RowReader read;  // none when the rows are all in
    QFont body, heading, title;
    Metrics bodyMetrics, headingMetrics, titleMetrics;
    double padding, line;
    std::vector<double> left;  // each column's left edge, then the table's right edge
    ReportRows headings;  // one row
    double foot = 0, height = 0, titleHeight = 0, headingHeight = 0;
    std::vector<std::size_t> first;  // each page's first row
    std::size_t laid = 0;            // the rows laid out
    double nextY = 0;                // where the next row goes on the last page
    bool allRead = !read;
};

ReportPages::ReportPages(const ReportData& d, const QPaintDevice& device, RowReader read)
    : t_(std::make_unique<Table>(d, device, std::move(read))) {}
ReportPages::~ReportPages() = default;
int ReportPages::pages() const { return static_cast<int>(t_->pages()); }
void ReportPages::paint(QPainter& p, int page) const { t_->paint(p, static_cast<std::size_t>(page)); }
bool ReportPages::complete() const { return t_->complete(); }
void ReportPages::more(std::size_t rows) { t_->more(rows); }

void layOutAll(PageSource& pages) {
    while (!pages.complete()) pages.more(SIZE_MAX);
}

std::vector<std::pair<long, int>> ReportPages::overfull() const { return t_->overfull(); }

std::vector<std::pair<long, int>> overfullCells(const ReportData& d) {
    QBuffer nowhere;
    nowhere.open(QIODevice::WriteOnly);
    QPdfWriter pdf(&nowhere);
    pdf.setPageLayout(reportPageLayout(d));
    return ReportPages(d, pdf).overfull();
}

QPageLayout reportPageLayout(const ReportData& d) {
    const auto orientation = totalWidth(d) > PortraitCharacters ? QPageLayout::Landscape : QPageLayout::Portrait;
    return QPageLayout(QPageSize(QPageSize::A4), orientation, QMarginsF(MarginMm, MarginMm, MarginMm, MarginMm),
                       QPageLayout::Millimeter);
}

std::string pdfFileName(const std::string& title) {
    std::string name;
    for (const char c : title) {
        const bool invalid = static_cast<unsigned char>(c) < 32 || std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos;
        name += invalid ? '-' : c;
    }
    const auto first = name.find_first_not_of(" ."), last = name.find_last_not_of(" .");
    name = first == std::string::npos ? "Report" : name.substr(first, last - first + 1);
    // A name holds at most 255 bytes: a longer title is cut, at the start of a character.
    constexpr std::size_t MaxStem = 255 - 4;
    if (name.size() > MaxStem) {
        std::size_t cut = MaxStem;
        while ((static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
        name.resize(cut);
    }
    return name + ".pdf";
}

Printable printable(const ReportData& d) {
    return {qs(d.title), reportPageLayout(d),
            [&d](const QPaintDevice& device) { return std::make_unique<ReportPages>(d, device); }};
}

Printable printable(ReportData& d, ReportQuery& rest) {
    const RowReader read = [&d, &rest](std::size_t n) { return rest.read(d.rows, n); };
    return {qs(d.title), reportPageLayout(d),
            [&d, read](const QPaintDevice& device) { return std::make_unique<ReportPages>(d, device, read); }};
}

bool paintAll(PageSource& pages, QPainter& p, QPagedPaintDevice& device, const QString& caption,
              const std::string& failure) {
    layOutAll(pages);
    const int n = pages.pages();
    QProgressDialog progress("", "Annulla", 0, n, QApplication::activeWindow());
    progress.setWindowTitle(caption);
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(500);
    for (int page = 0; page < n; ++page) {
        progress.setLabelText(QString("Pagina %1 di %2").arg(page + 1).arg(n));
        progress.setValue(page);
        if (progress.wasCanceled()) return false;
        if (page > 0 && !device.newPage()) throw ReportError(ReportError::OutputFailed, failure);
        pages.paint(p, page);
    }
    return true;
}

bool writePdf(const Printable& r, const std::string& file) {
    const std::string failure = "Impossibile scrivere il file " + file;
    bool done = false;
    {
        QPdfWriter pdf(qs(file));
        pdf.setPageLayout(r.layout);
        pdf.setTitle(r.title);
        pdf.setCreator(QApplication::applicationName());
        QPainter p;
        if (!p.begin(&pdf)) throw ReportError(ReportError::OutputFailed, failure);
        done = paintAll(*r.layOut(pdf), p, pdf, "Salva PDF", failure);
    }
    if (!done) std::filesystem::remove(file);
    return done;
}

bool print(const Printable& r, QPrinter& printer) {
    const std::string failure = "La stampante non risponde";
    QPainter p;
    if (!p.begin(&printer)) throw ReportError(ReportError::OutputFailed, failure);
    if (paintAll(*r.layOut(printer), p, printer, "Stampa", failure)) return true;
    printer.abort();
    p.end();
    if (!printer.outputFileName().isEmpty()) std::filesystem::remove(utf8(printer.outputFileName()));
    return false;
}

}  // namespace vc::gui
