// The pictures the windows name are drawn, each its own.

#include <QImage>
#include <QToolButton>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "cards/frm_cards_abil.h"
#include "cards/frm_fasce_online.h"
#include "core/main/frm_main.h"
#include "gui_support.h"
#include "gui/pictures.h"
#include "support/fakes.h"

namespace vc {
namespace {

QImage disegno(const std::string& nome) { return gui::picture(nome, QSize(48, 48)).toImage(); }

// The share of the picture's pixels that are painted.
double dipinto(const QImage& img) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) n += img.pixelColor(x, y).alpha() > 0;
    return static_cast<double>(n) / (img.width() * img.height());
}

TEST(Pictures, EveryResourceIsDrawnAndEachDiffers) {
    std::vector<std::string> nomi{
        "output/0",     "output/1", "setup/beep", "setup/imparziale",   "setup/storico",         "nav/first",
        "nav/previous", "nav/next", "nav/last",   "antipassback/vuoto", "antipassback/presenti", "tessaro/stop"};
    for (int i = 0; i <= 12; ++i) nomi.push_back("polling/" + std::to_string(i));
    std::vector<QImage> visti;
    for (const auto& nome : nomi) {
        SCOPED_TRACE(nome);
        const QImage img = disegno(nome);
        ASSERT_EQ(img.size(), QSize(48, 48));
        EXPECT_GT(dipinto(img), 0.1);
        for (const QImage& prima : visti) EXPECT_NE(img, prima);
        visti.push_back(img);
    }
}

TEST(Pictures, TheRecordWindowsShowTheSameArrows) {
    test::Station s;
    const FrmCardsAbil& carte = s.app().form<FrmCardsAbil>();
    const FrmFasceOnline& fasce = s.app().form<FrmFasceOnline>();
    const std::pair<const CommandButton*, const CommandButton*> frecce[] = {{&carte.Command12, &fasce.Command5},
                                                                            {&carte.Command2, &fasce.Command6},
                                                                            {&carte.Command1, &fasce.Command7},
                                                                            {&carte.Command13, &fasce.Command8}};
    for (auto [carta, fascia] : frecce) {
        EXPECT_EQ(fascia->Picture(), carta->Picture()) << fascia->name();
        EXPECT_FALSE(disegno(fascia->Picture()).isNull()) << fascia->Picture();
    }
}

// A new icon at every tick made the style keep scaled copies of each: memory grew while polling.
TEST(Pictures, ThePollingAnimationShowsThirteenIconsOverAndOver) {
    test::OnScreen s;
    s.start();
    auto& main = s.app().form<FrmMain>();
    const auto& button = s.widget<QToolButton>("FrmMain", "Command4");
    std::set<qint64> shown;
    std::vector<qint64> firstRound;
    for (int tick = 0; tick < 3 * 13; ++tick) {
        main.Timer1_Timer();
        s.settle(1);
        shown.insert(button.icon().cacheKey());
        if (tick < 13)
            firstRound.push_back(button.icon().cacheKey());
        else
            EXPECT_EQ(button.icon().cacheKey(), firstRound[static_cast<std::size_t>(tick % 13)]) << tick;
    }
    EXPECT_EQ(shown.size(), 13u);
    EXPECT_EQ(gui::icon("polling/3", QSize(40, 40)).cacheKey(), gui::icon("polling/3", QSize(40, 40)).cacheKey());
    EXPECT_TRUE(gui::icon("polling/13", QSize(40, 40)).isNull());
}

TEST(Pictures, UnknownNamesDrawNothing) {
    for (const char* nome : {"", "polling/13", "setup/altro"})
        EXPECT_TRUE(gui::picture(nome, QSize(48, 48)).isNull()) << nome;
}

}  // namespace
}  // namespace vc
