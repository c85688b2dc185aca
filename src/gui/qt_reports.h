#pragma once
// Reports on the screen and on paper: the report is laid out as a document (its title, then a
// table of the headings and the rows, the headings again on every page, "Pagina n di m" at the
// foot) and shown in a modal print preview, printed after the print dialog, or written as a PDF.
// The preview and the print dialog run Qt's own loop until closed; the model's timers wait
// meanwhile, as its handler does.

#include <string>
#include <utility>
#include <vector>

#include "platform/report.h"

namespace vc::gui {

class QtReports final : public ReportRenderer {
public:
    // With 'unattendedFile', a report that would open a window (the preview, the print dialog)
    // is written there as a PDF instead: for a screen nobody looks at, and for tests.
    explicit QtReports(std::string unattendedFile = "");

    // Throws ReportError(OutputFailed, ...) when the printer or the file cannot be written.
    // Cancelling the print dialog prints nothing and is no failure.
    void render(const ReportData& data) override;

private:
    std::string unattendedFile_;
};

// The cells of a report laid out on its PDF pages whose text is wider than their column even
// wrapped at words, so the column's edge cuts them: (row, column), the headings as row -1.
std::vector<std::pair<long, int>> overfullCells(const ReportData& d);

}  // namespace vc::gui
