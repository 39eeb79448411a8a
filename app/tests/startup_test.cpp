// The number engine's internal faults reach the toolkit's assertion box while it is up.
#include "calc.h"
#include "headless.h"
#include "number.h"
#include "startup.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// An internal fault of the engine: operands of different lengths.
void mismatchedAddition() {
    Calculator calc;
    Number *a = numCreate(4, 10, kNumFloating), *b = numCreate(5, 10, kNumFloating);
    Number *r = numCreate(4, 10, kNumFloating);
    EXPECT_NE(0, numAdd(a, b, r, &calc));
    numFree(a);
    numFree(b);
    numFree(r);
}

TEST(Startup, EngineFaultsGoToTheAssertionBoxWhileTheToolkitIsUp) {
    setenv("TORVA_HOST", "headless", 1);
    char name[] = "torva";
    char *argv[] = {name, nullptr};
    ASSERT_EQ(0, calcStartToolkit(1, argv));
    HeadlessBoxClear();
    testing::internal::CaptureStderr();
    mismatchedAddition();
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(1, HeadlessBoxCount());
    EXPECT_STREQ("ASSERT Failed", HeadlessBoxCaption(0));
    EXPECT_EQ(0u, std::string(HeadlessBoxText(0)).find("calclib\\src\\domath Line "));
    calcStopToolkit();

    testing::internal::CaptureStderr();
    mismatchedAddition();
    EXPECT_EQ(0u, testing::internal::GetCapturedStderr().find(
                      "ASSERT Failed: calclib\\src\\domath Line "));
}

} // namespace
