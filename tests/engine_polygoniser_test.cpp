#include <cmath>
#include <limits>

#include "engine_test_support.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr int32_t kBufferFloats = kMaxTrianglesPerCell * kFloatsPerTriangle;

// Corner values +1 for the set corners of `caseIndex`, -1 for the others.
void setUnitValues(CubeMarcher& marcher, int32_t caseIndex) {
    float values[kCornerCount];
    for (int32_t corner = 0; corner < kCornerCount; ++corner) {
        values[corner] = (caseIndex & (1 << corner)) != 0 ? 1.0f : -1.0f;
    }
    marcher.setCornerValues(values);
}

TEST(Polygoniser, CountsZeroOfEitherSignAsInsideAndNaNAsOutside) {
    const float values[kCornerCount] = {0.0f, -0.0f, kNaN, -1e-30f, 2.0f, -1.0f, kNaN, 1e-30f};
    EXPECT_EQ(CubeMarcher::caseIndexOf(values), 0b10010011u);
}

// Every corner lands on its own bit, in both halves of the cell, whichever
// inside and outside values stand there.
TEST(Polygoniser, GivesEveryCaseIndexFromItsCornerSigns) {
    const float inside[] = {0.0f, -0.0f, 1e-30f, 5.0f};
    const float outside[] = {kNaN, -1e-30f, -5.0f, -std::numeric_limits<float>::infinity()};
    for (int32_t caseIndex = 0; caseIndex < kCaseCount; ++caseIndex) {
        float values[kCornerCount];
        for (int32_t corner = 0; corner < kCornerCount; ++corner) {
            const int32_t pick = (caseIndex + corner) % static_cast<int32_t>(std::size(inside));
            values[corner] = (caseIndex & (1 << corner)) != 0 ? inside[pick] : outside[pick];
        }
        EXPECT_EQ(CubeMarcher::caseIndexOf(values), static_cast<uint32_t>(caseIndex));
    }
}

TEST(Polygoniser, PlacesVerticesAtTheZeroCrossing) {
    const auto marcher = makeGeneratedMarcher();
    const float threeToMinusOne[kCornerCount] = {3.0f,  -1.0f, -1.0f, -1.0f,
                                                 -1.0f, -1.0f, -1.0f, -1.0f};
    marcher->setCornerValues(threeToMinusOne);
    EXPECT_EQ(marcher->interpolateEdge(0), (Vec3{0.75f, 0.0f, 0.0f}));
    setUnitValues(*marcher, 1);
    float buffer[kBufferFloats];
    ASSERT_EQ(marcher->polygoniseCell(buffer), 1);
    const float expected[kFloatsPerTriangle] = {0.5f, 0, 0, 0, 0.5f, 0, 0, 0, 0.5f};
    EXPECT_TRUE(std::equal(expected, expected + kFloatsPerTriangle, buffer));
    const float zeroAtCorner0[kCornerCount] = {0.0f,  -1.0f, -1.0f, -1.0f,
                                               -1.0f, -1.0f, -1.0f, -1.0f};
    marcher->setCornerValues(zeroAtCorner0);
    ASSERT_EQ(marcher->polygoniseCell(buffer), 1);
    EXPECT_TRUE(std::all_of(buffer, buffer + kFloatsPerTriangle, [](float v) { return v == 0; }));
}

TEST(Polygoniser, CountsCellsWithoutSurfaceButWritesNothing) {
    const auto marcher = makeGeneratedMarcher();
    float buffer[kBufferFloats];
    std::fill(buffer, buffer + kBufferFloats, kNaN);
    for (const int32_t caseIndex : {0, kCaseCount - 1}) {
        setUnitValues(*marcher, caseIndex);
        EXPECT_EQ(marcher->polygoniseCell(buffer), 0);
        EXPECT_EQ(marcher->usageCount[caseIndex], 1);
    }
    EXPECT_TRUE(std::all_of(buffer, buffer + kBufferFloats, [](float v) { return std::isnan(v); }));
}

// Every vertex lies on an edge whose corners differ, and nothing is written
// past the case's triangles.
TEST(Polygoniser, WritesEachCaseOnlyOnItsCrossedEdges) {
    const auto marcher = makeGeneratedMarcher();
    for (int32_t caseIndex = 1; caseIndex < kCaseCount - 1; ++caseIndex) {
        setUnitValues(*marcher, caseIndex);
        float buffer[kBufferFloats + 1];
        std::fill(buffer, buffer + kBufferFloats + 1, kNaN);
        const int32_t written = marcher->polygoniseCell(buffer);
        ASSERT_EQ(written, marcher->caseTable[caseIndex].triangleCount);
        ASSERT_LE(written, kMaxTrianglesPerCell);
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
    setUnitValues(*marcher, 1);
    float buffer[kBufferFloats];
    marcher->polygoniseCell(buffer);
    marcher->polygoniseCell(buffer);
    EXPECT_EQ(marcher->usageCount[1], std::numeric_limits<int32_t>::max());
}

}  // namespace
