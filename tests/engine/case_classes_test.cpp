#include "engine/case_classes.h"

#include <algorithm>
#include <bit>
#include <set>

#include "engine/ambiguous_table.h"
#include "test_support.h"

namespace {

class CaseClassesTest : public ::testing::Test {
  protected:
    std::unique_ptr<CubeMarcher> marcher = makeLaidOutMarcher();
    CaseClasses classes{*marcher};
    AmbiguousCaseTable ambiguous{*marcher};

    // The corner offsets of `corner` as a vector from the cube's centre.
    Vec3 fromCentre(int32_t corner) const {
        const float* o = marcher->cornerOffset[corner];
        return {o[0] - 0.5f, o[1] - 0.5f, o[2] - 0.5f};
    }
    int32_t cutEdges(uint32_t caseIndex) const {
        int32_t cut = 0;
        for (const auto& [a, b] : marcher->edgeCorners) {
            cut += ((caseIndex >> a) ^ (caseIndex >> b)) & 1u;
        }
        return cut;
    }
};

// Each rotation keeps edges as edges and the handedness of the axes at a
// corner (a reflection would flip it), and no two are the same.
TEST_F(CaseClassesTest, TheRotationsAreTheCubesTwentyFourTurns) {
    std::set<std::array<int32_t, kCornerCount>> distinct;
    for (const auto& rotation : classes.rotations()) {
        distinct.insert(rotation);
        for (const auto& [a, b] : marcher->edgeCorners) {
            EXPECT_TRUE(CubeMarcher::areAdjacent(rotation[a], rotation[b]));
        }
        const auto turnedAxis = [&](int32_t axis) {
            return difference(fromCentre(rotation[CubeMarcher::flipCorner(0, axis)]),
                              fromCentre(rotation[0]));
        };
        EXPECT_GT(dot(cross(turnedAxis(0), turnedAxis(1)), turnedAxis(2)), 0.0f);
    }
    EXPECT_EQ(distinct.size(), 24u);
}

// What no rotation or complement changes (the cut edges, the ambiguous
// faces) agrees within every class, and the classes are closed under both.
TEST_F(CaseClassesTest, FifteenClassesClosedUnderTurnsAndComplement) {
    ASSERT_EQ(classes.classCount(), 15);
    int32_t members = 0;
    for (int32_t c = 0; c < classes.classCount(); ++c) {
        members += classes.caseClass(c).members;
        EXPECT_EQ(classes.classOf(classes.caseClass(c).representative), c);
    }
    EXPECT_EQ(members, kCaseCount);
    for (uint32_t caseIndex = 0; caseIndex < kCaseCount; ++caseIndex) {
        SCOPED_TRACE(caseIndex);
        const auto& own = classes.caseClass(classes.classOf(caseIndex));
        const auto rep = static_cast<uint32_t>(own.representative);
        EXPECT_EQ(cutEdges(caseIndex), cutEdges(rep));
        EXPECT_EQ(std::popcount(ambiguous.ambiguousFaces(caseIndex)),
                  std::popcount(ambiguous.ambiguousFaces(rep)));
        EXPECT_EQ(classes.classOf(caseIndex ^ 0xFFu), classes.classOf(caseIndex));
        for (const auto& rotation : classes.rotations()) {
            EXPECT_EQ(classes.classOf(CaseClasses::permuteCase(caseIndex, rotation)),
                      classes.classOf(caseIndex));
        }
        const bool turnsIntoRep = std::ranges::any_of(classes.rotations(), [&](const auto& r) {
            return CaseClasses::permuteCase(caseIndex, r) == rep;
        });
        EXPECT_EQ(classes.isComplemented(caseIndex), !turnsIntoRep);
    }
}

// Mirror images stay apart: a chain of four corners and its reflection.
TEST_F(CaseClassesTest, NumberedByCornersThenGroupsWithMirrorChainsApart) {
    const auto classOfCorners = [&](std::initializer_list<int32_t> corners) {
        uint32_t caseIndex = 0;
        for (int32_t c : corners) {
            caseIndex |= 1u << c;
        }
        return classes.classOf(caseIndex);
    };
    EXPECT_EQ(classOfCorners({}), 0);
    EXPECT_EQ(classOfCorners({5}), 1);
    EXPECT_EQ(classOfCorners({6, 7}), 2);                 // an edge
    EXPECT_EQ(classOfCorners({0, 6}), 3);                 // a face's diagonal
    EXPECT_EQ(classOfCorners({1, 6}), 4);                 // the cube's diagonal
    EXPECT_EQ(classOfCorners({1, 2, 4}), 7);              // three apart
    EXPECT_EQ(classOfCorners({0, 3, 5, 6}), 14);          // four apart
    EXPECT_EQ(classOfCorners({0, 1, 2, 3, 4, 5, 6}), 1);  // the complement of one
    const int32_t chain = classOfCorners({2, 0, 1, 5});
    const int32_t mirrored = classOfCorners({3, 1, 0, 4});  // x reversed
    EXPECT_NE(chain, mirrored);
    EXPECT_EQ(classes.caseClass(chain).groups[0], 4);
    for (int32_t c = 1; c < classes.classCount(); ++c) {
        const auto& previous = classes.caseClass(c - 1);
        EXPECT_LE(previous.corners, classes.caseClass(c).corners);
    }
}

}  // namespace
