#include "gui/qt_reports.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

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

QTextCharFormat bold(double points) {
    QTextCharFormat f;
    f.setFontWeight(QFont::Bold);
    f.setFontPointSize(points);
    return f;
}

// Each column as wide as its share of the characters the template gives the row. Borders and
// padding are in screen pixels: the layout scales them to the device.
QTextTableFormat tableFormat(const ReportData& d) {
    QList<QTextLength> widths;
    const double total = totalWidth(d);
    for (const ReportColumn& c : d.columns) widths << QTextLength(QTextLength::PercentageLength, 100 * c.width / total);
    QTextTableFormat f;
    f.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    f.setColumnWidthConstraints(widths);
    f.setHeaderRowCount(1);  // repeated at the top of every page
    f.setBorderCollapse(true);
    f.setBorder(1);
    f.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    f.setBorderBrush(Qt::darkGray);
    f.setCellPadding(3);
    f.setCellSpacing(0);
    return f;
}

// The title, then the headings and the rows, laid out for the device. Filled cell by cell with
// one cursor: a history report may hold many thousands of rows.
std::unique_ptr<QTextDocument> document(const ReportData& d, QPagedPaintDevice& device) {
    auto doc = std::make_unique<QTextDocument>();
    doc->setDefaultFont(QApplication::font());
    doc->setDocumentMargin(0);
    QTextCursor c(doc.get());
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    centred.setBottomMargin(10);
    c.setBlockFormat(centred);
    c.insertText(qs(d.title), bold(14));
    QTextTable* table =
        c.insertTable(static_cast<int>(d.rows.size()) + 1, static_cast<int>(d.columns.size()), tableFormat(d));
    QTextTableCellFormat headingCell;
    headingCell.setBackground(QColor(225, 225, 225));
    const QTextCharFormat heading = bold(QApplication::font().pointSizeF());
    for (std::size_t k = 0; k < d.columns.size(); ++k) {
        table->cellAt(0, static_cast<int>(k)).setFormat(headingCell);
        c.insertText(qs(d.columns[k].heading), heading);
        c.movePosition(QTextCursor::NextCell);
    }
    for (const auto& row : d.rows)
        for (std::size_t k = 0; k < d.columns.size(); ++k) {
            if (k < row.size()) c.insertText(qs(row[k]), QTextCharFormat());
            c.movePosition(QTextCursor::NextCell);
        }
    // Only now, or every cell inserted would lay the table out again at the device's resolution.
    doc->documentLayout()->setPaintDevice(&device);
    return doc;
}

// Lays the report out on the device's pages and paints them, the page number at each foot.
void paint(const ReportData& d, QPagedPaintDevice& device, const std::string& failure) {
    QPainter p;
    if (!p.begin(&device)) throw ReportError(ReportError::OutputFailed, failure);
    const auto doc = document(d, device);
    const double foot = 2 * QFontMetricsF(doc->defaultFont(), &device).height();
    const QSizeF body(device.width(), device.height() - foot);
    doc->setPageSize(body);
    const int pages = doc->pageCount();
    for (int n = 0; n < pages; ++n) {
        if (n > 0 && !device.newPage()) throw ReportError(ReportError::OutputFailed, failure);
        const QRectF page(QPointF(0, n * body.height()), body);
        p.save();
        p.translate(0, -page.top());
        doc->drawContents(&p, page);
        p.restore();
        p.setFont(doc->defaultFont());
        p.drawText(QRectF(0, body.height(), body.width(), foot), Qt::AlignHCenter | Qt::AlignBottom,
                   QString("Pagina %1 di %2").arg(n + 1).arg(pages));
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

QtReports::QtReports(std::string unattendedFile) : unattendedFile_(std::move(unattendedFile)) {}

void QtReports::render(const ReportData& data) {
    if (data.destination == 2) return writePdf(data, data.printFile);
    if (!unattendedFile_.empty()) return writePdf(data, unattendedFile_);
    if (data.destination == 1) return print(data);
    preview(data);
}

}  // namespace vc::gui
