#include <cmath>
#include <limits>

#include "test_support.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr int32_t kBufferFloats = kMaxTrianglesPerCell * kFloatsPerTriangle;

TEST(Polygoniser, CountsZeroOfEitherSignAsInsideAndNaNAsOutside) {
    const float values[kCornerCount] = {0.0f, -0.0f, kNaN, -1e-30f, 2.0f, -1.0f, kNaN, 1e-30f};
    EXPECT_EQ(CubeMarcher::caseIndexOf(values), 0b10010011u);
}

// Every case is counted once under its own index; every vertex lies halfway along one axis (on a
// crossed edge of a +-1 cell), and nothing is written past the case's triangles.
TEST(Polygoniser, CountsEveryCaseAndWritesOnlyItsTriangles) {
    const auto marcher = makeGeneratedMarcher();
    for (int32_t caseIndex = 0; caseIndex < kCaseCount; ++caseIndex) {
        marcher->setCornerValues(caseValues(caseIndex, 1.0f, -1.0f).data());
        float buffer[kBufferFloats + 1];
        std::fill(buffer, buffer + kBufferFloats + 1, kNaN);
        const int32_t written = marcher->polygoniseCell(buffer);
        ASSERT_EQ(written, marcher->caseTable[caseIndex].triangleCount);
        EXPECT_TRUE(std::isnan(buffer[written * kFloatsPerTriangle])) << "case " << caseIndex;
        for (int32_t vertex = 0; vertex < written * 3; ++vertex) {
            const float* p = &buffer[kAxisCount * vertex];
            const int32_t halves = (p[0] == 0.5f) + (p[1] == 0.5f) + (p[2] == 0.5f);
            EXPECT_EQ(halves, 1) << "case " << caseIndex << " vertex " << vertex;
        }
        EXPECT_EQ(marcher->usageCount[caseIndex], 1);
    }
}

TEST(Polygoniser, SaturatesAUsageCounterInsteadOfOverflowing) {
    const auto marcher = makeGeneratedMarcher();
    marcher->usageCount[1] = std::numeric_limits<int32_t>::max() - 1;
    marcher->setCornerValues(caseValues(1, 1.0f, -1.0f).data());
    float buffer[kBufferFloats];
    marcher->polygoniseCell(buffer);
    marcher->polygoniseCell(buffer);
    EXPECT_EQ(marcher->usageCount[1], std::numeric_limits<int32_t>::max());
}

}  // namespace
