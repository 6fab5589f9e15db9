#include "extract/cell_description.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <set>
#include <vector>

#include "test_support.h"

namespace {

class CellDescriptionTest : public ::testing::Test {
  protected:
    std::unique_ptr<CubeMarcher> marcher = makeGeneratedMarcher();
    AmbiguousCaseTable ambiguous{*marcher};
    CaseClasses classes{*marcher};

    CellDescription describe(const std::array<float, kCornerCount>& values, FaceRule rule) const {
        return describeCell(*marcher, ambiguous, classes, values, rule);
    }
};

// Inside corners 1, outside -2: crossings a third along from the inside.
std::array<float, kCornerCount> valuesOf(uint32_t caseIndex) {
    return caseValues(caseIndex, 1.0f, -2.0f);
}

// Independent of the decider's formula: whether the inside corners of a face
// are joined through the inside of its bilinear interpolant, by a flood fill
// over a fine sampling of the face. Corners in faceCorners' cyclic order
// stand at (0,0), (1,0), (1,1), (0,1).
bool joinedOnSampledFace(const float* values, const int32_t corners[4]) {
    constexpr int32_t kSteps = 64;
    const auto at = [&](int32_t i, int32_t j) {
        const double u = double(i) / kSteps;
        const double v = double(j) / kSteps;
        return values[corners[0]] * (1 - u) * (1 - v) + values[corners[1]] * u * (1 - v) +
               values[corners[2]] * u * v + values[corners[3]] * (1 - u) * v;
    };
    const bool firstDiagonal = values[corners[0]] >= 0.0f;
    std::vector<bool> seen((kSteps + 1) * (kSteps + 1));
    std::vector<std::pair<int32_t, int32_t>> open = {{firstDiagonal ? 0 : kSteps, 0}};
    while (!open.empty()) {
        const auto [i, j] = open.back();
        open.pop_back();
        if (i < 0 || j < 0 || i > kSteps || j > kSteps || seen[i * (kSteps + 1) + j] ||
            at(i, j) < 0.0) {
            continue;
        }
        seen[i * (kSteps + 1) + j] = true;
        open.insert(open.end(), {{i + 1, j}, {i - 1, j}, {i, j + 1}, {i, j - 1}});
    }
    return seen[firstDiagonal ? kSteps * (kSteps + 1) + kSteps : kSteps];
}

// Every case under both rules: the triangles' vertices are the crossings of
// cut edges (each labelled with its edge) or, decided, vertices inside the
// cell, the decided triangulation uses every crossing, the tabled one has the
// table's triangles, and the text states the case's own bits and counts.
TEST_F(CellDescriptionTest, EveryCaseShowsItsCrossingsAndTriangles) {
    for (uint32_t caseIndex = 0; caseIndex < kCaseCount; ++caseIndex) {
        for (const FaceRule rule : {FaceRule::kTable, FaceRule::kDecider}) {
            SCOPED_TRACE(caseIndex);
            const CellDescription cell = describe(valuesOf(caseIndex), rule);
            EXPECT_EQ(cell.caseIndex, caseIndex);
            std::set<int32_t> used;
            for (int32_t v = 0; v < 3 * cell.triangleCount; ++v) {
                const float* p = cell.triangles.data() + 3 * v;
                if (cell.vertexEdges[v] == CellDescription::kNoEdge) {
                    // A vertex the decided table adds inside the cell.
                    ASSERT_EQ(rule, FaceRule::kDecider);
                    for (int32_t axis = 0; axis < kAxisCount; ++axis) {
                        EXPECT_GT(p[axis], 0.0f);
                        EXPECT_LT(p[axis], 1.0f);
                    }
                    continue;
                }
                used.insert(cell.vertexEdges[v]);
                const int32_t a = marcher->edgeCorners[cell.vertexEdges[v]][0];
                const int32_t axis = marcher->edgeAxis(cell.vertexEdges[v]);
                const float third = (caseIndex >> a & 1u) != 0 ? 1.0f / 3.0f : 2.0f / 3.0f;
                EXPECT_FLOAT_EQ(p[axis], third);
            }
            EXPECT_EQ(rule == FaceRule::kTable || used.size() == size_t(cell.crossingCount), true);
            EXPECT_EQ(cell.triangleCount == 0, caseIndex == 0 || caseIndex == 255);
            if (rule == FaceRule::kTable) {  // the start-up listing's count
                EXPECT_EQ(cell.triangleCount, marcher->caseTable[caseIndex].triangleCount);
            }
            std::string text;
            writeCellDescription(cell, true, text);
            const auto lines = linesOf(text);
            ASSERT_GE(lines.size(), 2u);
            EXPECT_EQ(std::stoul(lines[1].substr(5), nullptr, 2), caseIndex);
            EXPECT_EQ(
                std::ranges::count_if(lines, [](auto& l) { return l.starts_with("triangle "); }),
                cell.triangleCount);
            EXPECT_EQ(std::ranges::count_if(lines, [](auto& l) { return l.starts_with("face "); }),
                      std::popcount(ambiguous.ambiguousFaces(caseIndex)));
        }
    }
}

// For every ambiguous face of every case: the saddle's decision is the
// sampled face's, and a flip turns that face only, keeping the case.
TEST_F(CellDescriptionTest, FlippingAFaceTurnsItsDecisionOnly) {
    int32_t flips = 0;
    for (uint32_t caseIndex = 0; caseIndex < kCaseCount; ++caseIndex) {
        const uint32_t faces = ambiguous.ambiguousFaces(caseIndex);
        for (int32_t face = 0; face < kFaceCount; ++face) {
            if ((faces >> face & 1u) == 0) {
                continue;
            }
            SCOPED_TRACE(testing::Message() << "case " << caseIndex << " face " << face);
            auto values = valuesOf(caseIndex);
            const CellDescription before = describe(values, FaceRule::kDecider);
            ASSERT_TRUE(flipFaceDecision(values, faces, face));
            const CellDescription after = describe(values, FaceRule::kDecider);
            EXPECT_EQ(after.caseIndex, caseIndex);
            for (int32_t i = 0; i < after.faceCount; ++i) {
                const auto& f = after.faces[i];
                EXPECT_EQ(f.joined, before.faces[i].joined != (f.face == face));
                EXPECT_EQ(f.joined, joinedOnSampledFace(values.data(), f.corners));
            }
            ++flips;
        }
    }
    EXPECT_GT(flips, 120);  // each of the 120 cases has one ambiguous face at least
}

TEST_F(CellDescriptionTest, TheTextOfOneCorner) {
    std::array<float, kCornerCount> values{};
    values.fill(-1.0f);
    values[0] = 0.5f;
    std::string text;
    writeCellDescription(describe(values, FaceRule::kTable), true, text);
    EXPECT_EQ(text,
              "case 1\nbits 00000001\ninside 0\nclass 1 of 15 corners 1 groups 1 like 1 "
              "complemented no\nrule table\nvalues 0.5 -1 -1 -1 -1 -1 -1 -1\ntriangles 1\n"
              "crossings 3\n"
              "crossing edge 0 corners 0 1 t 0.333333 at 0.333333 0 0\n"
              "crossing edge 1 corners 0 2 t 0.333333 at 0 0.333333 0\n"
              "crossing edge 2 corners 0 4 t 0.333333 at 0 0 0.333333\n"
              "triangle edges 0 1 2 at 0.333333 0 0 0 0.333333 0 0 0 0.333333\n");
}

}  // namespace
