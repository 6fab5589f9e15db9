// A volume's samples read at an iso value, in their own type, against the
// oracle of a float grid holding each sample's isoDifference.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "extract/cell_visit.h"
#include "extract/surface_mesh.h"
#include "test_support.h"

namespace {

template <class T>
std::vector<T> randomSamples(size_t count, uint32_t seed) {
    using Limits = std::numeric_limits<T>;
    // Mostly values around the iso values below, so cells cross and samples
    // equal the iso value; now and then the type's extremes.
    std::vector<T> values = {T(0), T(1), T(2), T(3), T(4), T(5), Limits::lowest(), Limits::max()};
    if constexpr (std::is_floating_point_v<T>) {
        values.insert(values.end(), {-0.0f, 2.5f, Limits::quiet_NaN(), Limits::infinity(),
                                     -Limits::infinity(), Limits::denorm_min()});
    }
    std::mt19937 random(seed);
    std::vector<T> samples(count);
    for (T& sample : samples) {
        sample = values[random() % 7 == 0 ? random() % values.size() : random() % 6];
    }
    return samples;
}

template <class T>
constexpr SampleType kTypeOf = std::is_same_v<T, uint8_t>    ? SampleType::kUint8
                               : std::is_same_v<T, int8_t>   ? SampleType::kInt8
                               : std::is_same_v<T, uint16_t> ? SampleType::kUint16
                               : std::is_same_v<T, int16_t>  ? SampleType::kInt16
                                                             : SampleType::kFloat32;

bool sameBits(const std::vector<Vec3>& a, const std::vector<Vec3>& b) {
    const auto bits = [](const Vec3& p) {
        return std::array{std::bit_cast<uint32_t>(p.x), std::bit_cast<uint32_t>(p.y),
                          std::bit_cast<uint32_t>(p.z)};
    };
    return std::ranges::equal(a, b, {}, bits, bits);
}

// The per-cell path's corners, bit for bit.
std::vector<uint32_t> perCellCorners(CubeMarcher& marcher, const AmbiguousCaseTable& decider,
                                     const ScalarGrid& grid) {
    CrossingCells cells;
    std::vector<uint32_t> corners;
    forEachPolygonisedCell(marcher, grid, cells, &decider,
                           [&](const Vec3& origin, const float* triangles, int32_t count) {
                               for (int32_t f = 0; f < 9 * count; ++f) {
                                   const float at = (&origin.x)[f % 3] + triangles[f];
                                   corners.push_back(std::bit_cast<uint32_t>(at));
                               }
                           });
    return corners;
}

// Per kept type and iso value (on samples, between them, beyond the type's
// range either way): the sign masks are the signs of isoDifferenceOf, and
// the mesh (positions and normals bit for bit, on one and two threads) and
// the per-cell path's triangles are those of the float oracle. Rows of 70
// samples take the masks' 16-sample steps, their tails and a second word.
template <class T>
void expectVolumeReadsAsItsOracle() {
    constexpr int32_t kSizes[3] = {70, 6, 5};
    const std::vector<T> samples = randomSamples<T>(70 * 6 * 5, sizeof(T) * 7 + 1);
    const auto marcher = makeGeneratedMarcher();
    const AmbiguousCaseTable decider(*marcher);
    MeshExtractor one(*marcher, decider, 1);
    MeshExtractor two(*marcher, decider, 2);
    for (const float iso : {3.0f, 2.5f, -1e6f, 1e6f, 0.0f, -0.5f}) {
        SCOPED_TRACE(std::string(typeid(T).name()) + " at iso " + std::to_string(iso));
        ScalarGrid volume;
        ASSERT_TRUE(
            volume.readVolume(kSizes[0], kSizes[1], kSizes[2], {samples.data(), kTypeOf<T>, iso}));
        ScalarGrid oracle;
        ASSERT_TRUE(oracle.allocate(kSizes[0], kSizes[1], kSizes[2]));
        for (size_t s = 0; s < samples.size(); ++s) {
            oracle.data[s] = isoDifference(static_cast<float>(samples[s]), iso);
            ASSERT_EQ(std::bit_cast<uint32_t>(volume.valueAt(int64_t(s))),
                      std::bit_cast<uint32_t>(oracle.data[s]));
        }
        for (int32_t first = 0; first < 70; first += 13) {
            const int32_t count = std::min(64, 70 - first);
            uint64_t below = 0, above = 0;
            isoSignMasksOf(samples.data() + first, count, iso, below, above);
            for (int32_t i = 0; i < count; ++i) {
                const float value = oracle.data[first + i];
                ASSERT_EQ((below >> i & 1) + 2 * (above >> i & 1),
                          value < 0 ? uint64_t{1} : uint64_t{2})
                    << "sample " << first + i;
            }
        }
        SurfaceMesh expected;
        one.extract(oracle, expected, FaceRule::kDecider, nullptr, VertexNormals::kGradient);
        for (MeshExtractor* extractor : {&one, &two}) {
            SurfaceMesh actual;
            extractor->extract(volume, actual, FaceRule::kDecider, nullptr,
                               VertexNormals::kGradient);
            EXPECT_EQ(actual.triangles, expected.triangles);
            EXPECT_TRUE(sameBits(actual.positions, expected.positions));
            EXPECT_TRUE(sameBits(actual.normals, expected.normals));
        }
        EXPECT_EQ(perCellCorners(*marcher, decider, volume),
                  perCellCorners(*marcher, decider, oracle));
    }
}

// Integer samples are read in float arithmetic; the oracle forms the
// difference in double. Every 16-bit value, signed and not, against iso
// values of every magnitude, exact halves, values next to whole numbers and
// the infinities.
template <class T>
void expectFloatDifferenceAsDouble(const std::vector<float>& isos) {
    for (const float iso : isos) {
        for (int32_t v = std::numeric_limits<T>::lowest(); v <= std::numeric_limits<T>::max();
             ++v) {
            const float expected = gridValueOf(double(v) - iso);
            const float actual = isoDifferenceOf(static_cast<T>(v), iso);
            ASSERT_EQ(std::bit_cast<uint32_t>(actual), std::bit_cast<uint32_t>(expected))
                << v << " at iso " << iso;
        }
    }
}

TEST(VolumeGrid, IntegerDifferencesInFloatMatchDouble) {
    constexpr float kInfinity = std::numeric_limits<float>::infinity();
    std::vector<float> isos = {0.0f,      -0.0f,     0.5f,
                               60.5f,     -32768.5f, 65535.5f,
                               1e-30f,    -1e-30f,   std::numeric_limits<float>::denorm_min(),
                               3e38f,     -3e38f,    std::numeric_limits<float>::max(),
                               kInfinity, -kInfinity};
    std::mt19937 random(21);
    std::uniform_real_distribution<float> exponent(-40.0f, 40.0f);
    for (int32_t i = 0; i < 24; ++i) {
        const float iso = std::copysign(std::exp2(exponent(random)), float(random() % 2) - 0.5f);
        isos.insert(isos.end(), {iso, std::nextafter(std::round(iso), kInfinity),
                                 std::nextafter(std::round(iso), -kInfinity)});
    }
    expectFloatDifferenceAsDouble<int16_t>(isos);
    expectFloatDifferenceAsDouble<uint16_t>(isos);
}

TEST(VolumeGrid, ReadsEveryKeptTypeAsItsFloatOracle) {
    expectVolumeReadsAsItsOracle<uint8_t>();
    expectVolumeReadsAsItsOracle<int8_t>();
    expectVolumeReadsAsItsOracle<uint16_t>();
    expectVolumeReadsAsItsOracle<int16_t>();
    expectVolumeReadsAsItsOracle<float>();
}

}  // namespace
