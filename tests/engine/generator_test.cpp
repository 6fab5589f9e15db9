#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine_test_support.h"
#include "test_support.h"

namespace {

// Also: a record already numbered is left as it is, and a case keeps the hint
// of its last piece (case 105: eight isolated corners, corner 7 the last).
TEST(Generator, NumbersEveryRecordAndFillsTheExpectedTriangleCounts) {
    const auto marcher = makeGeneratedMarcher();
    std::map<int32_t, int32_t> casesByCount;
    int32_t total = 0;
    for (int32_t caseIndex = 0; caseIndex < kCaseCount; ++caseIndex) {
        const CaseEntry& entry = marcher->caseTable[caseIndex];
        EXPECT_EQ(entry.caseNumber, caseIndex);
        ++casesByCount[entry.triangleCount];
        total += entry.triangleCount;
    }
    EXPECT_EQ(casesByCount, (std::map<int32_t, int32_t>{
                                {0, 2}, {1, 16}, {2, 62}, {3, 96}, {4, 48}, {5, 24}, {8, 8}}));
    EXPECT_EQ(total, 804);
    EXPECT_EQ(marcher->caseTable[105].normalHint, CubeMarcher::cornerDirection(7));

    const auto preset = makeLaidOutMarcher();
    preset->caseTable[7].caseNumber = 99;
    preset->generateCaseTable();
    EXPECT_EQ(preset->caseTable[7].caseNumber, 99);
    EXPECT_EQ(preset->caseTable[7].triangleCount, 0);
}

using Segment = std::pair<int32_t, int32_t>;

Segment segment(int32_t a, int32_t b) {
    return {std::min(a, b), std::max(a, b)};
}

// Neighbouring cells share a face; they meet without a gap when each cuts the
// segment the face's own corner states call for, whatever the rest of the cube.
TEST(Generator, CutsEveryUnambiguousFaceAlongTheSegmentItsCornersCallFor) {
    const auto marcher = makeGeneratedMarcher();
    for (int32_t face = 0; face < 2 * kAxisCount; ++face) {
        const auto onFace = [&](int32_t edge) {
            return CubeMarcher::isLowSide(marcher->edgeCorners[edge][0], face / 2) == face % 2 &&
                   CubeMarcher::isLowSide(marcher->edgeCorners[edge][1], face / 2) == face % 2;
        };
        for (int32_t caseIndex = 1; caseIndex < kCaseCount - 1; ++caseIndex) {
            std::vector<int32_t> crossed;
            for (int32_t edge = 0; edge < kEdgeCount; ++edge) {
                const int32_t a = marcher->edgeCorners[edge][0];
                const int32_t b = marcher->edgeCorners[edge][1];
                if (onFace(edge) && ((caseIndex >> a) & 1) != ((caseIndex >> b) & 1)) {
                    crossed.push_back(edge);
                }
            }
            if (crossed.size() == 4) {
                continue;  // two diagonal pairs: either pairing is sound
            }
            std::set<Segment> expected;
            if (crossed.size() == 2) {
                expected.insert(segment(crossed[0], crossed[1]));
            }
            std::set<Segment> cut;
            for (const Triangle& t : trianglesOf(marcher->caseTable[caseIndex])) {
                for (int32_t side = 0; side < 3; ++side) {
                    if (onFace(t[side]) && onFace(t[(side + 1) % 3])) {
                        cut.insert(segment(t[side], t[(side + 1) % 3]));
                    }
                }
            }
            EXPECT_EQ(cut, expected) << "case " << caseIndex << " face " << face;
        }
    }
}

std::string listing() {
    return flushedOutput([](FILE* out) { CubeMarcher().initialiseCubeMarcher(out); });
}

TEST(Listing, GivesTheCubeTablesOneLinePerCaseAndTheCount) {
    const std::string cubeTables =
        "Vertex offset:\ni:0 0.0 0.0 0.0\ni:1 1.0 0.0 0.0\ni:2 0.0 1.0 0.0\ni:3 1.0 1.0 0.0\n"
        "i:4 0.0 0.0 1.0\ni:5 1.0 0.0 1.0\ni:6 0.0 1.0 1.0\ni:7 1.0 1.0 1.0\n\n"
        "Edge vertex:\ni:0 edge: 0 - 1\ni:1 edge: 0 - 2\ni:2 edge: 0 - 4\ni:3 edge: 1 - 3\n"
        "i:4 edge: 1 - 5\ni:5 edge: 2 - 3\ni:6 edge: 2 - 6\ni:7 edge: 3 - 7\ni:8 edge: 4 - 5\n"
        "i:9 edge: 4 - 6\ni:10 edge: 5 - 7\ni:11 edge: 6 - 7\n\nTriangle table:\n";
    const std::string text = listing();
    EXPECT_EQ(text.substr(0, cubeTables.size()), cubeTables);
    const std::vector<std::string> lines = linesOf(text.substr(cubeTables.size()));
    ASSERT_EQ(lines.size(), kCaseCount + 1u);
    for (int32_t caseIndex = 0; caseIndex < kCaseCount; ++caseIndex) {
        EXPECT_TRUE(lines[caseIndex].starts_with("i:" + std::to_string(caseIndex) + " t:"));
    }
    EXPECT_EQ(lines.back(), "case count:254");
    // A case of every handler and of eight triangles, and cases whose pieces
    // are oriented each against its own hint.
    const std::set<std::string> listed(lines.begin(), lines.end());
    for (const char* line : {
             "i:0 t:0",
             "i:1 t:1 tri:(0 1 2 )",
             "i:3 t:2 tri:(1 2 4 ) tri:(4 3 1 )",
             "i:6 t:2 tri:(0 4 3 ) tri:(5 6 1 )",
             "i:7 t:3 tri:(6 4 3 ) tri:(3 5 6 ) tri:(6 2 4 )",
             "i:15 t:2 tri:(2 4 6 ) tri:(4 7 6 )",
             "i:23 t:4 tri:(6 9 8 ) tri:(5 6 8 ) tri:(5 8 4 ) tri:(5 4 3 )",
             "i:25 t:3 tri:(5 3 7 ) tri:(0 1 9 ) tri:(9 8 0 )",
             "i:30 t:5 tri:(0 2 1 ) tri:(8 2 9 ) tri:(4 6 1 ) tri:(1 0 4 ) tri:(4 7 6 )",
             "i:105 t:8 tri:(0 1 2 ) tri:(0 3 4 ) tri:(5 1 6 ) tri:(5 3 7 ) tri:(8 9 2 ) tri:(8 10 "
             "4 ) "
             "tri:(11 9 6 ) tri:(11 10 7 )",
             "i:116 t:4 tri:(2 11 4 ) tri:(1 11 2 ) tri:(5 11 1 ) tri:(11 10 4 )",
             "i:232 t:4 tri:(4 5 3 ) tri:(8 5 4 ) tri:(8 6 5 ) tri:(8 9 6 )",
             "i:240 t:2 tri:(2 6 4 ) tri:(4 6 7 )",
             "i:248 t:3 tri:(6 3 4 ) tri:(3 6 5 ) tri:(6 4 2 )",
             "i:254 t:1 tri:(0 2 1 )",
             "i:255 t:0",
         }) {
        EXPECT_TRUE(listed.contains(line)) << line;
    }
}

}  // namespace
