// The history window's grid on the screen: its columns show their headings and rows whole, and
// the operator widens them.

#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QStyle>
#include <QTableView>

#include "gui_support.h"
#include "history/frm_view_storia.h"
#include "history/transiti_prova.h"

namespace vc {
namespace {

class GrigliaStorico : public ::testing::Test {
protected:
    GrigliaStorico() {
        s.start();
        // Today's transits, longer than the form's least widths allow for.
        test::Scrivi(s.station, {{"12345678", "Bartolomeo-Castellani", "Massimiliano", "10/12/2026", "08:00", 1, "InOut",
                          "Fuori fascia oraria", "PORTINERIA EST"},
                         {"0007", "Rossi", "Anna", "10/12/2026", "08:05"}});
        s.show(FrmViewStoria::kName);
        s.settle();
    }
    QTableView& grid() { return s.widget<QTableView>(FrmViewStoria::kName, "DBGrid1"); }
    test::OnScreen s;
};

TEST_F(GrigliaStorico, EveryColumnFitsItsHeadingAndItsFirstRows) {
    QTableView& g = grid();
    const QAbstractItemModel& rows = *g.model();
    ASSERT_EQ(rows.rowCount(), 2);
    ASSERT_EQ(rows.columnCount(), 9);
    const QHeaderView& header = *g.horizontalHeader();
    const int headerMargins = 2 * g.style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, &header);
    const int cellMargins = 2 * g.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &g);
    for (int k = 0; k < rows.columnCount(); ++k) {
        const QString heading = rows.headerData(k, Qt::Horizontal).toString();
        SCOPED_TRACE(heading.toStdString());
        EXPECT_GE(g.columnWidth(k), header.fontMetrics().horizontalAdvance(heading) + headerMargins);
        for (int r = 0; r < rows.rowCount(); ++r)
            EXPECT_GE(g.columnWidth(k), g.fontMetrics().horizontalAdvance(rows.index(r, k).data().toString()) + cellMargins)
                << rows.index(r, k).data().toString().toStdString();
    }
    // The form's least widths still hold where the contents are narrower.
    EXPECT_GE(g.columnWidth(4), 57);
}

// Dragging the edge between two headings widens the column on its left.
TEST_F(GrigliaStorico, TheOperatorWidensAColumnByItsHeadersEdge) {
    QTableView& g = grid();
    QHeaderView& header = *g.horizontalHeader();
    QWidget& edges = *header.viewport();
    const int before = g.columnWidth(1);
    const QPoint edge(header.sectionViewportPosition(1) + header.sectionSize(1) - 1, header.height() / 2);
    const QPoint further = edge + QPoint(60, 0);
    auto mouse = [&](QEvent::Type type, QPoint at, Qt::MouseButtons held) {
        QMouseEvent e(type, at, edges.mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(&edges, &e);
    };
    mouse(QEvent::MouseButtonPress, edge, Qt::LeftButton);
    mouse(QEvent::MouseMove, further, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, further, Qt::NoButton);
    s.settle();
    EXPECT_EQ(g.columnWidth(1), before + 60);
}

}  // namespace
}  // namespace vc
