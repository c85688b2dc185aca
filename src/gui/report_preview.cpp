#include "gui/report_preview.h"

#include <QApplication>
#include <QBoxLayout>
#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>

#include <cstddef>
#include <functional>
#include <utility>

#include "gui/qt_text.h"

namespace vc::gui {

namespace {

constexpr int Zooms[] = {50, 75, 100, 125, 150, 200};
constexpr int StartingZoom = 2;  // 100%
constexpr int Gap = 12;          // grey around the sheet, in screen pixels
// The rows read and laid out between two looks at the window's events: some milliseconds.
constexpr std::size_t SliceRows = 8192;

// The hourglass while the preview works without looking at the window's events.
struct WaitPointer {
    WaitPointer() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitPointer() { QApplication::restoreOverrideCursor(); }
    WaitPointer(const WaitPointer&) = delete;
    WaitPointer& operator=(const WaitPointer&) = delete;
};

// The device the preview lays its pages out for: a PDF at its full resolution, written nowhere,
// so the screen shows the pages "Salva PDF" writes.
class Sheet {
public:
    explicit Sheet(const QPageLayout& layout) : pdf_(&nothing_) { pdf_.setPageLayout(layout); }
    const QPdfWriter& device() const { return pdf_; }

private:
    QBuffer nothing_;
    QPdfWriter pdf_;
};

}  // namespace

// The page shown, on a sheet of paper at the zoom chosen.
class PageView final : public QWidget {
public:
    // 'failed' hears, after the paint, of rows that could not be read back to paint a page.
    PageView(const Printable& report, std::function<void(const ReportError&)> failed, QWidget* parent)
        : QWidget(parent), layout_(report.layout), sheet_(report.layout), pages_(report.layOut(sheet_.device())),
          failed_(std::move(failed)) {
        setBackgroundRole(QPalette::Dark);
        setAutoFillBackground(true);
        resizeToZoom();
        while (pages_->pages() == 0) pages_->more(SliceRows);  // page 1 before the preview shows
    }

    int page() const { return page_; }
    int pages() const { return pages_->pages(); }
    bool complete() const { return pages_->complete(); }
    // The foot of the page shown says how many there are once they are all known.
    void more(std::size_t rows) {
        pages_->more(rows);
        if (pages_->complete()) update();
    }
    void layOutAll() {
        gui::layOutAll(*pages_);
        update();
    }
    void showPage(int page) {
        page_ = std::clamp(page, 0, pages() - 1);
        update();
    }
    void setZoom(double zoom) {
        zoom_ = zoom;
        resizeToZoom();
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        const QRectF paper(Gap, Gap, paperSize().width(), paperSize().height());
        p.fillRect(paper.translated(3, 3), Qt::darkGray);
        p.fillRect(paper, Qt::white);
        const double toScreen = zoom_ * logicalDpiX() / 72.0;  // points to screen pixels
        const QRectF inside = layout_.paintRect(QPageLayout::Point);
        p.translate(paper.left() + inside.left() * toScreen, paper.top() + inside.top() * toScreen);
        const double scale = zoom_ * logicalDpiX() / sheet_.device().logicalDpiX();
        p.scale(scale, scale);
        try {
            pages_->paint(p, page_);
        } catch (const ReportError& e) {
            QMetaObject::invokeMethod(this, [this, e] { failed_(e); }, Qt::QueuedConnection);
        }
    }

private:
    QSizeF paperSize() const {
        const QSizeF points = layout_.fullRect(QPageLayout::Point).size();
        return points * (zoom_ * logicalDpiX() / 72.0);
    }
    void resizeToZoom() {
        const QSizeF s = paperSize();
        setFixedSize(static_cast<int>(s.width()) + 2 * Gap + 3, static_cast<int>(s.height()) + 2 * Gap + 3);
    }

    QPageLayout layout_;
    Sheet sheet_;
    std::unique_ptr<PageSource> pages_;
    std::function<void(const ReportError&)> failed_;
    int page_ = 0;
    double zoom_ = Zooms[StartingZoom] / 100.0;
};

namespace {

QPushButton* button(const char* caption, QBoxLayout* row, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setAutoDefault(false);
    row->addWidget(b);
    return b;
}

}  // namespace

ReportPreview::ReportPreview(Printable report, const QString& windowTitle, QString pdfFolder, QWidget* parent)
    : QDialog(parent), report_(std::move(report)), pdfFolder_(std::move(pdfFolder)) {
    setWindowTitle(windowTitle);
    auto* column = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    column->addLayout(row);
    first_ = button("Prima", row, this);
    previous_ = button("Precedente", row, this);
    where_ = new QLabel(this);
    where_->setObjectName("pagina");
    where_->setAlignment(Qt::AlignCenter);
    where_->setMinimumWidth(160);
    row->addWidget(where_);
    next_ = button("Successiva", row, this);
    last_ = button("Ultima", row, this);
    row->addSpacing(Gap);
    zoom_ = new QComboBox(this);
    for (int z : Zooms) zoom_->addItem(QString("%1%").arg(z));
    zoom_->setCurrentIndex(StartingZoom);
    row->addWidget(zoom_);
    row->addStretch();
    QPushButton* stampa = button("Stampa", row, this);
    QPushButton* salva = button("Salva PDF", row, this);
    QPushButton* chiudi = button("Chiudi", row, this);

    auto* scroll = new QScrollArea(this);
    scroll->setBackgroundRole(QPalette::Dark);
    scroll->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    view_ = new PageView(report_, [this](const ReportError& e) { fail(e); }, scroll);
    scroll->setWidget(view_);
    column->addWidget(scroll, 1);

    connect(first_, &QPushButton::clicked, this, [this] { showPage(0); });
    connect(previous_, &QPushButton::clicked, this, [this] { showPage(page() - 1); });
    connect(next_, &QPushButton::clicked, this, [this] { showPage(page() + 1); });
    connect(last_, &QPushButton::clicked, this, [this] { showLast(); });
    connect(zoom_, &QComboBox::currentIndexChanged, this, [this] { showZoom(); });
    connect(stampa, &QPushButton::clicked, this, [this] { printReport(); });
    connect(salva, &QPushButton::clicked, this, [this] { savePdf(); });
    connect(chiudi, &QPushButton::clicked, this, &QDialog::reject);
    resize(view_->width() + 60, 880);
    // The timer is the preview's own: closing the preview stops the reading.
    reading_ = new QTimer(this);
    connect(reading_, &QTimer::timeout, this, [this] { readMore(); });
    if (reading()) reading_->start(0);
    showPage(0);
}

ReportPreview::~ReportPreview() = default;

int ReportPreview::page() const { return view_->page(); }
int ReportPreview::pages() const { return view_->pages(); }
bool ReportPreview::reading() const { return !view_->complete(); }

void ReportPreview::showPage(int page) {
    view_->showPage(page);
    showWhere();
}

void ReportPreview::showWhere() {
    where_->setText(QString("Pagina %1 di %2%3").arg(page() + 1).arg(pages()).arg(reading() ? "..." : ""));
    first_->setEnabled(page() > 0);
    previous_->setEnabled(page() > 0);
    next_->setEnabled(page() < pages() - 1);
    last_->setEnabled(page() < pages() - 1 || reading());
}

// A slice of the reading, run by the timer from the window's event loop.
void ReportPreview::readMore() {
    try {
        view_->more(SliceRows);
    } catch (const ReportError& e) {
        fail(e);
        return;
    }
    if (!reading()) reading_->stop();
    showWhere();
}

// The last page is known once every row is read: what is left is read now.
void ReportPreview::showLast() {
    try {
        const WaitPointer wait;
        view_->layOutAll();
    } catch (const ReportError& e) {
        fail(e);
        return;
    }
    reading_->stop();
    showPage(pages() - 1);
}

void ReportPreview::showZoom() { view_->setZoom(Zooms[zoom_->currentIndex()] / 100.0); }

QString ReportPreview::offeredPdf() const {
    return QDir(pdfFolder_).absoluteFilePath(qs(pdfFileName(utf8(report_.title))));
}

bool ReportPreview::savePdfTo(const QString& file) {
    try {
        if (!writePdf(report_, utf8(file))) return false;
    } catch (const ReportError& e) {
        fail(e);
        return false;
    }
    QMessageBox::information(this, "Salva PDF", "Il report è stato salvato nel file\n" + QFileInfo(file).absoluteFilePath());
    return true;
}

void ReportPreview::savePdf() {
    QFileDialog dialog(this, "Salva PDF", offeredPdf(), "Documenti PDF (*.pdf)");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix("pdf");
    dialog.setLabelText(QFileDialog::LookIn, "Cartella:");
    dialog.setLabelText(QFileDialog::FileName, "Nome file:");
    dialog.setLabelText(QFileDialog::FileType, "Tipo:");
    dialog.setLabelText(QFileDialog::Accept, "Salva");
    dialog.setLabelText(QFileDialog::Reject, "Annulla");
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) savePdfTo(dialog.selectedFiles().first());
}

void ReportPreview::printReport() {
    try {
        printWithDialog(report_, windowTitle(), this);
    } catch (const ReportError& e) {
        fail(e);
    }
}

// Painting runs inside Qt's event dispatch, where no exception may pass: the failure is kept for
// whoever opened the preview, and the preview closes.
void ReportPreview::fail(const ReportError& e) {
    failure_ = e;
    reading_->stop();
    reject();
}

bool printWithDialog(const Printable& report, const QString& windowTitle, QWidget* parent) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(report.layout);
    // The job's name, and the file's when the operator prints to a file: one a folder can hold.
    printer.setDocName(QFileInfo(qs(pdfFileName(utf8(report.title)))).completeBaseName());
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(windowTitle);
    if (dialog.exec() != QDialog::Accepted) return false;
    if (!printer.isValid()) throw ReportError(ReportError::OutputFailed, "Stampante non valida");
    return print(report, printer);
}

}  // namespace vc::gui
