#pragma once
// The preview of a report: one page on the screen at a time, painted when it is shown, so a
// report of thousands of pages opens at once and takes no more memory than a short one. The
// operator leafs through it ("Prima", "Precedente", "Successiva", "Ultima", the page shown as
// "Pagina i di n"), zooms, prints it ("Stampa") or writes it as a PDF ("Salva PDF"), both page by
// page with a progress window that "Annulla" stops.
//
// A report still being read shows its first page as soon as it is laid out; the rest is read a
// slice at a time between the window's events, the label saying the pages so far
// ("Pagina 1 di 250...") until the last is known. "Ultima", "Stampa" and "Salva PDF" read what is
// left first. Closing the preview stops the reading.

#include <QDialog>
#include <QString>

#include <memory>
#include <optional>

#include "gui/report_pages.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTimer;

namespace vc::gui {

class PageView;

class ReportPreview final : public QDialog {
public:
    // 'pdfFolder' is where "Salva PDF" offers to write the file.
    ReportPreview(Printable report, const QString& windowTitle, QString pdfFolder, QWidget* parent = nullptr);
    ~ReportPreview() override;

    int page() const;  // from 0
    int pages() const;  // so far, while reading()
    bool reading() const;
    void showPage(int page);
    // The file "Salva PDF" offers first.
    QString offeredPdf() const;
    // Writes the PDF to 'file' and tells the operator where it went; false when stopped.
    bool savePdfTo(const QString& file);
    // What went wrong while printing or writing, which closed the preview.
    const std::optional<ReportError>& failure() const { return failure_; }

private:
    void printReport();
    void savePdf();
    void fail(const ReportError& e);
    void showZoom();
    void showWhere();
    void readMore();
    void showLast();

    Printable report_;
    QString pdfFolder_;
    PageView* view_;
    QLabel* where_;
    QComboBox* zoom_;
    QPushButton *first_, *previous_, *next_, *last_;
    QTimer* reading_;
    std::optional<ReportError> failure_;
};

// The print dialog, then the report printed page by page; false when the operator cancelled
// either. Throws ReportError(OutputFailed, ...) when the printer fails.
bool printWithDialog(const Printable& report, const QString& windowTitle, QWidget* parent);

}  // namespace vc::gui
