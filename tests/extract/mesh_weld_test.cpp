#include "extract/mesh_weld.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <map>
#include <random>

#include "test_support.h"

namespace {

using Bits = std::array<uint32_t, 3>;

Bits keyOf(const Vec3& p) {
    return {std::bit_cast<uint32_t>(p.x + 0.0f), std::bit_cast<uint32_t>(p.y + 0.0f),
            std::bit_cast<uint32_t>(p.z + 0.0f)};
}

// On extracted meshes whose samples are often exactly 0 (so crossings of
// several edges meet at samples), against a plain weld that looks every
// position up: exactly that weld's positions in order, and its triangles.
TEST(WeldCoincidentPositions, IsThePlainWeldOfEveryPosition) {
    const auto marcher = makeGeneratedMarcher();
    const AmbiguousCaseTable decider(*marcher);
    MeshExtractor extractor(*marcher, decider);
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(9, 8, 7));
    std::mt19937 random(5);
    for (int32_t round = 0; round < 20; ++round) {
        for (int64_t s = 0; s < grid.sampleCount(); ++s) {
            grid.data[s] = static_cast<float>(static_cast<int32_t>(random() % 3) - 1);
        }
        SurfaceMesh mesh;
        extractor.extract(grid, mesh, FaceRule::kTable);
        std::map<Bits, int32_t> plainIndex;
        std::vector<Vec3> plainPositions;
        std::vector<std::array<int32_t, 3>> plainTriangles;
        const auto indexOf = [&](int32_t v) {
            const auto [at, isNew] = plainIndex.try_emplace(
                keyOf(mesh.positions[v]), static_cast<int32_t>(plainPositions.size()));
            if (isNew) {
                plainPositions.push_back(mesh.positions[v]);
            }
            return at->second;
        };
        for (size_t v = 0; v < mesh.positions.size(); ++v) {
            indexOf(static_cast<int32_t>(v));
        }
        for (const auto& t : mesh.triangles) {
            plainTriangles.push_back({indexOf(t[0]), indexOf(t[1]), indexOf(t[2])});
        }
        ASSERT_LT(plainPositions.size(), mesh.positions.size()) << "nothing to weld";
        weldCoincidentPositions(mesh, Weld::kExact);
        EXPECT_EQ(mesh.triangles, plainTriangles);
        ASSERT_EQ(mesh.positions.size(), plainPositions.size());
        for (size_t v = 0; v < plainPositions.size(); ++v) {
            EXPECT_EQ(keyOf(mesh.positions[v]), keyOf(plainPositions[v])) << v;
        }
    }
}

// Within rounding means a few float steps of the grid plane's magnitude:
// coordinates 1 to 4 steps off a whole number move onto it, 5 do not.
TEST(WeldCoincidentPositions, WithinRoundingMovesCoordinatesAFewStepsOffAPlaneOntoIt) {
    for (const float plane : {0.0f, 3.0f, -100.0f, 4097.0f, 1.0e6f}) {
        for (int32_t steps = -5; steps <= 5; ++steps) {
            float coordinate = plane;
            for (int32_t s = 0; s < std::abs(steps); ++s) {
                coordinate = std::nextafter(coordinate, steps > 0 ? INFINITY : -INFINITY);
            }
            // Below magnitude 1 the steps of 1 count: 0 keeps nearby tiny values apart.
            SurfaceMesh mesh{
                .positions = {{coordinate, 0.5f, 0.5f}}, .triangles = {}, .normals = {}};
            weldCoincidentPositions(mesh, Weld::kWithinRounding);
            const bool moved = mesh.positions[0].x == plane;
            EXPECT_EQ(moved, plane == 0.0f || std::abs(steps) <= 4) << plane << " " << steps;
        }
    }
}

}  // namespace
