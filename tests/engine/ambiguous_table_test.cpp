#include "engine/ambiguous_table.h"

#include <bit>
#include <set>
#include <utility>

#include "test_support.h"

namespace {

using DirectedSegment = std::pair<int32_t, int32_t>;
using Segments = std::set<DirectedSegment>;

bool onFace(const CubeMarcher& marcher, int32_t edge, int32_t face) {
    const auto onSide = [&](int32_t corner) {
        return CubeMarcher::isLowSide(corner, face / 2) != face % 2;
    };
    return onSide(marcher.edgeCorners[edge][0]) && onSide(marcher.edgeCorners[edge][1]);
}

// The sides of `triangles` (edge triples), as each triangle runs them.
std::multiset<DirectedSegment> sidesOf(const int32_t* triangles, int32_t count) {
    std::multiset<DirectedSegment> sides;
    for (int32_t t = 0; t < 3 * count; ++t) {
        sides.insert({triangles[t], triangles[t % 3 == 2 ? t - 2 : t + 1]});
    }
    return sides;
}

// The sides of `triangles` that lie on `face` and belong to one triangle
// only, as run: where the piece of surface meets the face.
Segments sidesOnFace(const CubeMarcher& marcher, const int32_t* triangles, int32_t count,
                     int32_t face) {
    const std::multiset<DirectedSegment> sides = sidesOf(triangles, count);
    Segments cut;
    for (const auto& [from, to] : sides) {
        if (!sides.contains({to, from}) && onFace(marcher, from, face) &&
            onFace(marcher, to, face)) {
            cut.insert({from, to});
        }
    }
    return cut;
}

Segments handlersCut(const CubeMarcher& marcher, uint32_t caseIndex, int32_t face) {
    const CaseEntry& entry = marcher.caseTable[caseIndex];
    return sidesOnFace(marcher, entry.triangles, entry.triangleCount, face);
}

// What the face rule asks of `face`, in the direction the handlers' table runs
// the same cut: an unambiguous face as the handlers cut it in this case; on
// an ambiguous face each corner the decision cuts off (the clear ones when the
// inside corners are joined, else the set ones) as the handlers cut off that
// corner alone.
Segments expectedCut(const CubeMarcher& marcher, uint32_t caseIndex, int32_t face, bool ambiguous,
                     bool joined) {
    if (!ambiguous) {
        return handlersCut(marcher, caseIndex, face);
    }
    int32_t corners[4];
    AmbiguousCaseTable::faceCorners(face, corners);
    Segments cut;
    for (const int32_t corner : corners) {
        const bool set = ((caseIndex >> corner) & 1u) != 0;
        if (set != joined) {
            const uint32_t alone = set ? 1u << corner : 0xFFu ^ (1u << corner);
            cut.merge(handlersCut(marcher, alone, face));
        }
    }
    return cut;
}

bool shareAFace(const CubeMarcher& marcher, int32_t a, int32_t b) {
    for (int32_t face = 0; face < kFaceCount; ++face) {
        if (a < kEdgeCount && b < kEdgeCount && onFace(marcher, a, face) &&
            onFace(marcher, b, face)) {
            return true;
        }
    }
    return false;
}

// Every variant's surface piece, with and without each tunnel, ends exactly
// in the cuts the face rule asks for, run as the handlers' table runs them
// (so the cell across each face runs them the other way), and is closed
// inside: every other side of its triangles is met once in each direction.
// No side joins two crossings of one face but a cut, which the cell across
// could join too, four triangles meeting there.
TEST(AmbiguousCaseTable, CutsEveryFaceAsAskedAndClosesWithoutSidesInAFace) {
    const auto marcher = makeGeneratedMarcher();
    const AmbiguousCaseTable table(*marcher);
    int32_t ambiguousCases = 0;
    int32_t decidedCases = 0;
    int32_t triangles = 0;
    int32_t tunnels = 0;
    for (uint32_t caseIndex = 0; caseIndex < kCaseCount; ++caseIndex) {
        const uint32_t faces = table.ambiguousFaces(caseIndex);
        ambiguousCases += faces != 0 ? 1 : 0;
        decidedCases += table.decides(caseIndex) ? 1 : 0;
        for (uint32_t decisions = 0;
             table.decides(caseIndex) && decisions < 1u << std::popcount(faces); ++decisions) {
            tunnels += table.tunnelCount(caseIndex, decisions);
            for (int32_t tunnel = 0; tunnel <= table.tunnelCount(caseIndex, decisions); ++tunnel) {
                SCOPED_TRACE("case " + std::to_string(caseIndex) + " decisions " +
                             std::to_string(decisions) + " tunnel " + std::to_string(tunnel));
                const AmbiguousCaseTable::Variant& variant =
                    table.variant(caseIndex, decisions, tunnel);
                EXPECT_EQ(variant.caseIndex, caseIndex);
                triangles += variant.triangleCount;
                int32_t decision = 0;
                for (int32_t face = 0; face < kFaceCount; ++face) {
                    const bool ambiguous = ((faces >> face) & 1u) != 0;
                    const bool joined = ambiguous && ((decisions >> decision++) & 1u) != 0;
                    const Segments cut = expectedCut(*marcher, caseIndex, face, ambiguous, joined);
                    EXPECT_EQ(sidesOnFace(*marcher, variant.triangles, variant.triangleCount, face),
                              cut)
                        << "face " << face;
                }
                const auto sides = sidesOf(variant.triangles, variant.triangleCount);
                for (const auto& [from, to] : sides) {
                    EXPECT_EQ(sides.count({from, to}), 1u) << from << "-" << to << " is run twice";
                    const bool isCut =
                        shareAFace(*marcher, from, to) && !sides.contains({to, from});
                    EXPECT_TRUE(isCut || sides.contains({to, from}))
                        << from << "-" << to << " is open";
                    EXPECT_FALSE(shareAFace(*marcher, from, to) && sides.contains({to, from}))
                        << from << "-" << to << " joins two crossings of one face";
                }
            }
        }
    }
    EXPECT_EQ(ambiguousCases, 120);
    EXPECT_EQ(decidedCases, 128);  // and the eight with two opposite corners alone
    EXPECT_EQ(tunnels, 424);
    EXPECT_EQ(table.variants().size(), 1080u);
    EXPECT_EQ(triangles, 8416);
    EXPECT_EQ(table.foldedTriangles(), 0) << "triangles facing inwards at the edge midpoints";
}

}  // namespace
