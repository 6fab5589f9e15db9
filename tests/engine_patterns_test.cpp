#include <algorithm>
#include <set>
#include <vector>

#include "engine_test_support.h"

namespace {

using Handler = int32_t (CubeMarcher::*)(int32_t);

std::set<int32_t> casesMatchedBy(Handler handler) {
    const auto marcher = makeLaidOutMarcher();
    std::set<int32_t> matched;
    for (int32_t caseIndex = 1; caseIndex < kCaseCount - 1; ++caseIndex) {
        if (((*marcher).*handler)(caseIndex) > 0) {
            matched.insert(caseIndex);
        }
    }
    return matched;
}

// The handlers in driver order; a test runs every one up to the handler it
// names, as the driver would.
constexpr Handler kHandlers[] = {&CubeMarcher::addIsolatedCorners, &CubeMarcher::addIsolatedEdges,
                                 &CubeMarcher::addHalfCubeSplits,  &CubeMarcher::addFaceTriple,
                                 &CubeMarcher::addCornerStar,      &CubeMarcher::addCornerChain};
enum HandlerName { kCorners, kEdges, kSplits, kFaceTriple, kStar, kChain };

struct Expected {
    HandlerName handler;
    int32_t caseIndex;
    int32_t appended;  // by the named handler
    std::vector<Triangle> triangles;
    int32_t hintCorner;  // of the named handler's last match
};

void PrintTo(const Expected& expected, std::ostream* os) {
    *os << "handler " << expected.handler << " case " << expected.caseIndex;
}

class PatternHandlerTest : public testing::TestWithParam<Expected> {};

// Triangles are wound to face their own piece's hint as soon as they are appended.
TEST_P(PatternHandlerTest, AppendsThePieceOrientedAgainstItsHint) {
    const Expected& expected = GetParam();
    const auto marcher = makeLaidOutMarcher();
    int32_t appended = 0;
    for (int32_t handler = 0; handler <= expected.handler; ++handler) {
        appended = ((*marcher).*kHandlers[handler])(expected.caseIndex);
    }
    const CaseEntry& entry = marcher->caseTable[expected.caseIndex];
    EXPECT_EQ(appended, expected.appended);
    EXPECT_EQ(trianglesOf(entry), expected.triangles);
    EXPECT_EQ(entry.normalHint, CubeMarcher::cornerDirection(expected.hintCorner));
    EXPECT_EQ(entry.caseNumber, 0);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, PatternHandlerTest, testing::Values(
    Expected{kCorners, 1, 1, {{0, 1, 2}}, 7},
    Expected{kCorners, 254, 1, {{0, 2, 1}}, 0},
    Expected{kCorners, 6, 2, {{0, 4, 3}, {5, 6, 1}}, 5},  // each corner against its own hint
    Expected{kEdges, 3, 2, {{1, 2, 4}, {4, 3, 1}}, 7},
    Expected{kEdges, 252, 2, {{1, 4, 2}, {4, 1, 3}}, 0},
    Expected{kEdges, 25, 2, {{5, 3, 7}, {0, 1, 9}, {9, 8, 0}}, 7},
    Expected{kSplits, 15, 2, {{2, 4, 6}, {4, 7, 6}}, 7},
    Expected{kSplits, 240, 2, {{2, 6, 4}, {4, 6, 7}}, 0},
    Expected{kSplits, 85, 2, {{0, 5, 8}, {5, 11, 8}}, 7},
    Expected{kSplits, 204, 2, {{1, 3, 9}, {9, 3, 10}}, 0},
    Expected{kFaceTriple, 7, 3, {{6, 4, 3}, {3, 5, 6}, {6, 2, 4}}, 7},
    Expected{kFaceTriple, 248, 3, {{6, 3, 4}, {3, 6, 5}, {6, 4, 2}}, 0},
    Expected{kFaceTriple, 30, 3, {{0, 2, 1}, {8, 2, 9}, {4, 6, 1}, {1, 0, 4}, {4, 7, 6}}, 4},
    Expected{kStar, 232, 4, {{4, 5, 3}, {8, 5, 4}, {8, 6, 5}, {8, 9, 6}}, 0},
    Expected{kStar, 23, 4, {{6, 9, 8}, {5, 6, 8}, {5, 8, 4}, {5, 4, 3}}, 7},
    Expected{kChain, 116, 4, {{2, 11, 4}, {1, 11, 2}, {5, 11, 1}, {11, 10, 4}}, 1},
    Expected{kChain, 139, 4, {{5, 4, 11}, {1, 4, 5}, {2, 4, 1}, {4, 10, 11}}, 6}));
// clang-format on

TEST(PatternHandlers, EveryIsolatedCornerAndEveryIsolatedEdgeIsCut) {
    const auto marcher = makeLaidOutMarcher();
    EXPECT_EQ(marcher->addIsolatedCorners(105), 8);
    // The hint left behind is the last match's: corner 7, then edge 11.
    EXPECT_EQ(marcher->caseTable[105].normalHint, CubeMarcher::cornerDirection(7));
    EXPECT_EQ(marcher->addIsolatedEdges(60), 8);
    EXPECT_EQ(marcher->caseTable[60].normalHint, CubeMarcher::cornerDirection(6));
    EXPECT_EQ(marcher->addIsolatedEdges(1), 0);
    EXPECT_EQ(marcher->addHalfCubeSplits(14), 0);  // one corner out of place
    EXPECT_EQ(marcher->caseTable[14].triangleCount, 0);
}

TEST(PatternHandlers, IsolatedCornersAndEdgesMeetIn48Cases) {
    const std::set<int32_t> corners = casesMatchedBy(&CubeMarcher::addIsolatedCorners);
    const std::set<int32_t> edges = casesMatchedBy(&CubeMarcher::addIsolatedEdges);
    EXPECT_EQ(corners.size(), 138u);
    EXPECT_EQ(edges.size(), 78u);
    EXPECT_EQ(std::count_if(edges.begin(), edges.end(),
                            [&](int32_t caseIndex) { return corners.contains(caseIndex); }),
              48);
}

TEST(PatternHandlers, ShapedPatternsMatchExactlyTheirCases) {
    EXPECT_EQ(casesMatchedBy(&CubeMarcher::addHalfCubeSplits),
              (std::set<int32_t>{15, 51, 85, 170, 204, 240}));
    EXPECT_EQ(
        casesMatchedBy(&CubeMarcher::addFaceTriple),
        (std::set<int32_t>{
            // a clear L
            31, 47, 55, 59, 79, 87, 93, 106, 108, 115, 117, 120, 143, 154, 156, 166, 169, 171, 174,
            179, 180, 186, 198, 201, 205, 206, 210, 213, 220, 225, 234, 236, 241, 242, 244, 248,
            // a set L
            7, 11, 13, 14, 19, 21, 30, 35, 42, 45, 49, 50, 54, 57, 69, 75, 76, 81, 84, 86, 89, 99,
            101, 112, 135, 138, 140, 147, 149, 162, 168, 176, 196, 200, 208, 224}));
    EXPECT_EQ(casesMatchedBy(&CubeMarcher::addCornerStar),
              (std::set<int32_t>{23, 43, 77, 113, 142, 178, 212, 232}));
    EXPECT_EQ(casesMatchedBy(&CubeMarcher::addCornerChain),
              (std::set<int32_t>{27,  29,  39,  46,  53,  58,  71,  78,  83,  92,  114, 116,
                                 139, 141, 163, 172, 177, 184, 197, 202, 209, 216, 226, 228}));
}

}  // namespace
