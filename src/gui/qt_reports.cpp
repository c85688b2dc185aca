#include "gui/qt_reports.h"

#include <QApplication>
#include <QDir>
#include <QStandardPaths>

#include <utility>

#include "gui/qt_text.h"
#include "gui/report_preview.h"

namespace vc::gui {

namespace {

QString windowTitle(const ReportData& d) { return qs(d.windowTitle.empty() ? d.title : d.windowTitle); }

QString pdfFolder(const std::string& site) {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QDir(documents).exists()) return documents;
    return QDir(site.empty() ? QDir::currentPath() : qs(site)).absolutePath();
}

void preview(const Printable& report, const QString& title, const QString& folder) {
    ReportPreview window(report, title, folder, QApplication::activeWindow());
    window.exec();
    if (window.failure()) throw *window.failure();
}

}  // namespace

QtReports::QtReports(std::string unattendedFile, std::string siteFolder)
    : unattendedFile_(std::move(unattendedFile)), siteFolder_(std::move(siteFolder)) {}

void QtReports::render(const ReportData& data) {
    if (data.destination == 2) {
        writePdf(printable(data), data.printFile);
        return;
    }
    if (!unattendedFile_.empty()) {
        writePdf(printable(data), unattendedFile_);
        return;
    }
    if (data.destination == 1) {
        printWithDialog(printable(data), windowTitle(data), QApplication::activeWindow());
        return;
    }
    preview(printable(data), windowTitle(data), pdfFolder(siteFolder_));
}

void QtReports::renderReading(ReportData& data, ReportQuery& rest) {
    if (data.destination != 0 || !unattendedFile_.empty()) return ReportRenderer::renderReading(data, rest);
    preview(printable(data, rest), windowTitle(data), pdfFolder(siteFolder_));
}

}  // namespace vc::gui
