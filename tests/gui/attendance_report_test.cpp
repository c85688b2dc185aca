// The attendance printout as the report engine lays it out on its pages: every heading and every
// cell within its column.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "gui/qt_reports.h"
#include "history/frm_view_storia.h"
#include "history/transiti_prova.h"

namespace vc {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Pair;

// An entry without its exit and an exit without its entry, the rows that print the marker of the
// missing one, beside a complete pair.
TEST(AttendanceReport, EveryHeadingAndCellFitsItsColumn) {
    test::Station s;
    s.start();
    auto& w = s.app().form<FrmViewStoria>();
    w.OptInteraParziale[2].click();
    test::Scrivi(s, {{"0007", "Castellani", "Massimiliano", "10/12/2026", "08:00", 1, "In"},
                     {"0007", "Castellani", "Massimiliano", "10/12/2026", "12:30", 1, "Out"},
                     {"0007", "Castellani", "Massimiliano", "10/12/2026", "14:00", 1, "In"},
                     {"0012", "Bianchi", "Anna", "10/12/2026", "18:45", 1, "Out"}});
    w.CmdPresenta.click();
    w.CmdCalcolaTempiPresenze.click();
    ASSERT_EQ(s.reports.rendered.size(), 1u);
    const ReportData& d = s.reports.rendered.back();
    ASSERT_EQ(d.rows.size(), 3u);
    ASSERT_EQ(d.columns.back().heading, "Minuti");
    EXPECT_EQ(d.rows[0][3], std::string(17, '='));
    EXPECT_EQ(d.rows[2][4], std::string(17, '='));
    EXPECT_THAT(gui::overfullCells(d), IsEmpty());
}

// The measure itself: a heading or a word wider than its column is cut; a text with spaces wraps
// within it instead.
TEST(AttendanceReport, AWordWiderThanItsColumnIsCut) {
    ReportData d;
    d.columns = {{"a", "Nome", 4}, {"b", "Nota", 40}, {"c", "Minuti", 2}};
    d.rows = {{"testo lungo che va a capo", "x", "7"}, {"=================", "y", "8"}};
    EXPECT_THAT(gui::overfullCells(d), ElementsAre(Pair(-1, 2), Pair(1, 0)));
}

}  // namespace
}  // namespace vc
