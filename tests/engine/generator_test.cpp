#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "test_support.h"

namespace {

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

// The listing character for character, from the cube's numbering to the
// case count.
TEST(Listing, IsTheGoldenListing) {
    const std::string listing =
        flushedOutput([](FILE* out) { CubeMarcher().initialiseCubeMarcher(out); });
    EXPECT_EQ(listing, golden("engine/listing.txt", listing));
}

}  // namespace
