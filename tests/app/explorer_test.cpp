#include "app/explorer.h"

#include <gtest/gtest.h>

#include <bit>

#include "app/settings.h"
#include "app/window_procedure.h"
#include "fake_platform.h"

namespace {

using fake_platform::press;

class ExplorerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        settings = Settings{};
        explorer = Explorer{};
        fake_platform::reset();
    }

    static uint32_t decisions() {
        const uint32_t faces = AmbiguousCaseTable::ambiguousFacesOf(explorer.caseIndex());
        return AmbiguousCaseTable::decideFaces(faces, explorer.values.data());
    }
};

// E enters and leaves; outside the explorer its keys do nothing to it, and
// inside, the keys of the rest of the program still work.
TEST_F(ExplorerTest, EntersAndLeavesWithETakingItsKeysOnlyWhileShown) {
    press('3');
    press(vk::kN);
    EXPECT_EQ(explorer.caseIndex(), Explorer::kFirstCase);
    press(vk::kE);
    EXPECT_TRUE(explorer.active);
    press('3');
    EXPECT_EQ(explorer.caseIndex(), Explorer::kFirstCase | 8u);
    press(vk::kL);
    EXPECT_FALSE(settings.lightingEnabled);
    press(vk::kE);
    EXPECT_FALSE(explorer.active);
    EXPECT_TRUE(fake_platform::state().calls.empty());
}

// N and B walk all 256 cases round; a digit turns just its corner over.
TEST_F(ExplorerTest, StepsEveryCaseAndTogglesSingleCorners) {
    press(vk::kE);
    for (uint32_t step = 1; step <= kCaseCount; ++step) {
        press(vk::kN);
        ASSERT_EQ(explorer.caseIndex(), (Explorer::kFirstCase + step) % kCaseCount);
        EXPECT_EQ(explorer.values, Explorer::startValues(explorer.caseIndex()));
    }
    press(vk::kB, 2);
    EXPECT_EQ(explorer.caseIndex(), 255u);
    for (int32_t corner = 0; corner < kCornerCount; ++corner) {
        const uint32_t before = explorer.caseIndex();
        press(vk::k0 + corner);
        EXPECT_EQ(explorer.caseIndex(), before ^ (1u << corner));
        EXPECT_EQ(explorer.selectedCorner, corner);
    }
    EXPECT_EQ(explorer.caseIndex(), 0u);
}

// A corner's value moves by steps; at 0 it is still inside, one step below
// it is outside, and the crossing's parameter follows.
TEST_F(ExplorerTest, ValueKeysSlideTheSelectedCornerThroughZero) {
    press(vk::kE);
    press(vk::kC, 8);  // round to corner 0 again, the inside one of case 1
    press(vk::kOemMinus, 4);
    EXPECT_EQ(explorer.values[0], 0.0f);
    EXPECT_EQ(explorer.caseIndex(), 1u);
    press(vk::kSubtract);
    EXPECT_EQ(explorer.caseIndex(), 0u);
    press(vk::kAdd);
    press(vk::kOemPlus, 2);
    EXPECT_EQ(explorer.values[0], 0.5f);
    EXPECT_EQ(explorer.values[1], Explorer::kOutsideValue);
}

// K visits only the case's ambiguous faces; J turns the selected one's
// decision and no other's, and J again turns it back.
TEST_F(ExplorerTest, FlipsEachAmbiguousFaceAndBack) {
    press(vk::kE);
    explorer.showCase(0b01101001);  // every face ambiguous
    const uint32_t start = decisions();
    for (int32_t face = 0; face < kFaceCount; ++face) {
        press(vk::kK);
        EXPECT_EQ(explorer.currentFace(), (face + 1) % kFaceCount);
        press(vk::kJ);
        EXPECT_FALSE(explorer.lastFlipFailed);
        EXPECT_EQ(explorer.caseIndex(), 0b01101001u);
        EXPECT_EQ(start ^ decisions(), 1u << explorer.currentFace());
        press(vk::kJ);
        EXPECT_EQ(decisions(), start);
    }
    explorer.showCase(1);
    EXPECT_EQ(explorer.currentFace(), -1);
    press(vk::kJ);
    EXPECT_TRUE(explorer.lastFlipFailed);
}

}  // namespace
