#include "engine/cube_marcher.h"
#include "engine/pattern_helpers.h"

namespace {

constexpr int32_t kAxisIndexSum = 0 + 1 + 2;

// A path of three cube edges along three different axes from `start` to the
// corner opposite it.
struct CornerChain {
    int32_t start, p1, p2, p3;

    CornerChain(int32_t corner, int32_t a, int32_t b, int32_t d)
        : start(corner),
          p1(CubeMarcher::flipCorner(corner, a)),
          p2(CubeMarcher::flipCorner(p1, b)),
          p3(CubeMarcher::flipCorner(p2, d)) {}

    uint32_t corners() const { return (1u << start) | (1u << p1) | (1u << p2) | (1u << p3); }
};

}  // namespace

int32_t CubeMarcher::addCornerChain(int32_t caseIndex) {
    const CornerStates states(caseIndex);
    for (int32_t corner = 0; corner < kCornerCount; ++corner) {
        for (int32_t a = 0; a < kAxisCount; ++a) {
            for (int32_t step = 1; step < kAxisCount; ++step) {
                const int32_t b = (a + step) % kAxisCount;
                const int32_t d = kAxisIndexSum - a - b;  // the remaining axis
                const CornerChain chain(corner, a, b, d);
                if (states.clearCorners() != chain.corners()) {
                    continue;
                }
                const int32_t q1 = flipCorner(corner, b);
                const int32_t q2 = flipCorner(corner, d);
                const int32_t q3 = flipCorner(chain.p1, d);
                const int32_t q4 = flipCorner(q1, d);
                const int32_t cornerQ1Edge = findEdge(corner, q1);
                const int32_t cornerQ2Edge = findEdge(corner, q2);
                const int32_t p1Q3 = findEdge(chain.p1, q3);
                const int32_t p3Q4 = findEdge(chain.p3, q4);
                // A fan from the P3-Q4 point over the six-sided cut; the last
                // triangle closes the opening at the P3-Q3 point.
                return appendPiece(*this, caseIndex, chain.p1,
                                   {{cornerQ2Edge, p1Q3, p3Q4},
                                    {cornerQ1Edge, cornerQ2Edge, p3Q4},
                                    {findEdge(q1, chain.p2), cornerQ1Edge, p3Q4},
                                    {p3Q4, p1Q3, findEdge(chain.p3, q3)}});
            }
        }
    }
    return 0;
}
