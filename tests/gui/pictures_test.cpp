// The pictures the windows name are drawn, each its own.

#include <QImage>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui/pictures.h"

namespace vc {
namespace {

QImage disegno(const std::string& nome) { return gui::picture(nome, QSize(48, 48)).toImage(); }

TEST(Pictures, EveryResourceIsDrawnAndEachDiffers) {
    std::vector<std::string> nomi{"output/0", "output/1", "setup/beep", "setup/imparziale", "setup/storico"};
    for (int i = 0; i <= 12; ++i) nomi.push_back("polling/" + std::to_string(i));
    std::vector<QImage> visti;
    for (const auto& nome : nomi) {
        SCOPED_TRACE(nome);
        const QImage img = disegno(nome);
        ASSERT_EQ(img.size(), QSize(48, 48));
        EXPECT_NE(img.pixelColor(24, 24).alpha(), 0);  // something drawn in the middle
        for (const QImage& prima : visti) EXPECT_NE(img, prima);
        visti.push_back(img);
    }
}

TEST(Pictures, UnknownNamesDrawNothing) {
    for (const char* nome : {"", "polling/13", "setup/altro"}) EXPECT_TRUE(gui::picture(nome, QSize(48, 48)).isNull()) << nome;
}

}  // namespace
}  // namespace vc
