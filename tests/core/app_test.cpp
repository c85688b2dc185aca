#include "core/app.h"

#include <gtest/gtest.h>

#include "support/fakes.h"

namespace vc {
namespace {

// A box waits on the operator: inside a scope that must not yield it stops the program, even
// where the front end answers it without running a handler.
TEST(AppBoxes, AModalBoxCountsAsAYield) {
    if (!NoYield::checked) GTEST_SKIP() << "built without the yield checks";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    test::Station s;
    s.dialogs.unscripted = true;
    EXPECT_DEATH(
        {
            const NoYield scrittura("writing");
            s.app().MsgBox("?");
        },
        "must not yield:\n  writing");
    EXPECT_DEATH(
        {
            const NoYield scrittura("writing");
            s.app().InputBox("?");
        },
        "must not yield:\n  writing");
    EXPECT_EQ(s.app().MsgBox("?"), mb::OK);
}

}  // namespace
}  // namespace vc
