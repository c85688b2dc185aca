#pragma once
// Reports on the screen and on paper: the report laid out on pages (gui/report_pages.h) is shown
// in a modal preview, printed after the print dialog, or written as a PDF, page by page. The
// preview and the print dialog run Qt's own loop until closed; the model's timers wait
// meanwhile, as its handler does.

#include <string>
#include <utility>
#include <vector>

#include "platform/report.h"

namespace vc::gui {

class QtReports final : public ReportRenderer {
public:
    // With 'unattendedFile', a report that would open a window (the preview, the print dialog)
    // is written there as a PDF instead: for a screen nobody looks at, and for tests. The
    // preview's "Salva PDF" offers the operator's documents folder, or 'siteFolder' when there is
    // none.
    explicit QtReports(std::string unattendedFile = "", std::string siteFolder = "");

    // Throws ReportError(OutputFailed, ...) when the printer or the file cannot be written.
    // Cancelling the print dialog, or stopping the printing, is no failure.
    void render(const ReportData& data) override;
    // The preview opens on the first page and reads the rest meanwhile; any other destination
    // reads every row first.
    void renderReading(ReportData& data, ReportQuery& rest) override;

private:
    std::string unattendedFile_, siteFolder_;
};

}  // namespace vc::gui
