#include "extract/crossing_cells.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <type_traits>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

constexpr int32_t kBelow = 0;
constexpr int32_t kAbove = 1;
constexpr int32_t kSides = 2;
constexpr int32_t kCellRowCorners = 4;  // sample rows around a cell row

int64_t wordsFor(int64_t bits) {
    return (bits + CrossingCells::kBitsPerWord - 1) / CrossingCells::kBitsPerWord;
}

// The lowest `count` bits, 0 <= count <= 64.
uint64_t lowBits(int32_t count) {
    return count == CrossingCells::kBitsPerWord ? ~uint64_t{0} : (uint64_t{1} << count) - 1;
}

// Where a sample row's masks start in a store of sign planes laid out as
// [((plane * 2 + side) * ny + y) * wordsPerRow + word].
uint64_t* maskRow(std::vector<uint64_t>& signs, int64_t plane, int32_t side, int32_t ny, int32_t y,
                  int32_t wordsPerRow) {
    return signs.data() + ((plane * kSides + side) * ny + y) * wordsPerRow;
}

// The masks of `count` samples into words below[] and above[], a word's
// worth at a time by masksOf(first sample, samples, below, above); a row
// known to hold the background (below zero) is not read.
template <class Masks>
void rowSignsOf(int32_t count, bool background, uint64_t* below, uint64_t* above,
                const Masks& masksOf) {
    for (int32_t w = 0; w * CrossingCells::kBitsPerWord < count; ++w) {
        const int32_t first = w * CrossingCells::kBitsPerWord;
        const int32_t inWord = std::min(CrossingCells::kBitsPerWord, count - first);
        if (background) {
            below[w] = lowBits(inWord);
            above[w] = 0;
        } else {
            masksOf(first, inWord, below[w], above[w]);
        }
    }
}

// An integer is at or above iso when it is at least iso rounded up: one
// integer compare per sample. The samples are biased into signed order, so
// that SSE2's signed compares serve unsigned types too.
template <class T>
struct IntegerThreshold {
    T lowestInside = 0;
    bool noneInside = false;  // iso is above the type's range
};

template <class T>
IntegerThreshold<T> integerThresholdOf(float iso) {
    const double lowestInside = std::ceil(double{iso});
    if (lowestInside > std::numeric_limits<T>::max()) {
        return {.noneInside = true};
    }
    return {.lowestInside = lowestInside > std::numeric_limits<T>::lowest()
                                ? static_cast<T>(lowestInside)
                                : std::numeric_limits<T>::lowest()};
}

// Bit i: samples[i] is outside, for i < count <= 64.
template <class T>
uint64_t outsideMaskOf(const T* samples, int32_t count, IntegerThreshold<T> iso) {
    if (iso.noneInside) {
        return lowBits(count);
    }
    const T threshold = iso.lowestInside;
    uint64_t outside = 0;
    int32_t i = 0;
#ifdef __SSE2__
    constexpr int32_t kLanes = 16;
    const auto load = [&](int32_t at) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + at));
    };
    if constexpr (sizeof(T) == 1) {
        const __m128i bias = _mm_set1_epi8(std::is_signed_v<T> ? 0 : INT8_MIN);
        const __m128i limit = _mm_xor_si128(_mm_set1_epi8(static_cast<char>(threshold)), bias);
        for (; i + kLanes <= count; i += kLanes) {
            const __m128i less = _mm_cmpgt_epi8(limit, _mm_xor_si128(load(i), bias));
            outside |= uint64_t{static_cast<uint16_t>(_mm_movemask_epi8(less))} << i;
        }
    } else {
        constexpr int32_t kHalf = kLanes / 2;
        const __m128i bias = _mm_set1_epi16(std::is_signed_v<T> ? 0 : INT16_MIN);
        const __m128i limit = _mm_xor_si128(_mm_set1_epi16(static_cast<int16_t>(threshold)), bias);
        for (; i + kLanes <= count; i += kLanes) {
            const __m128i less =
                _mm_packs_epi16(_mm_cmpgt_epi16(limit, _mm_xor_si128(load(i), bias)),
                                _mm_cmpgt_epi16(limit, _mm_xor_si128(load(i + kHalf), bias)));
            outside |= uint64_t{static_cast<uint16_t>(_mm_movemask_epi8(less))} << i;
        }
    }
#endif
    for (; i < count; ++i) {
        outside |= uint64_t{samples[i] < threshold} << i;
    }
    return outside;
}

// The masks of `count` integer samples against `iso`: never 0, so every
// sample is in one mask.
template <class T>
void signMasksAgainst(const T* samples, int32_t count, IntegerThreshold<T> iso, uint64_t& below,
                      uint64_t& above) {
    below = outsideMaskOf(samples, count, iso);
    above = ~below & lowBits(count);
}

void signMasksAgainst(const float* samples, int32_t count, float iso, uint64_t& below,
                      uint64_t& above) {
    isoSignMasksOf(samples, count, iso, below, above);
}

// What a row's samples are compared with: an integer type's threshold,
// worked out once per row, or the float iso value.
template <class T>
auto comparedIso(const T* /*samples*/, float iso) {
    if constexpr (std::is_integral_v<T>) {
        return integerThresholdOf<T>(iso);
    } else {
        return iso;
    }
}

// The masks of sample row (y, z): the grid's own samples, or its volume's
// against the iso value.
void rowSignsOf(const ScalarGrid& grid, int32_t y, int32_t z, bool background, uint64_t* below,
                uint64_t* above) {
    const int32_t count = grid.nx;
    const int64_t row = int64_t{grid.sliceSize} * z + int64_t{grid.nx} * y;
    if (grid.data != nullptr) {
        rowSignsOf(count, background, below, above,
                   [&](int32_t first, int32_t n, uint64_t& b, uint64_t& a) {
                       signMasksOf(grid.data + row + first, n, b, a);
                   });
        return;
    }
    visitSamples(grid.volume, [&](const auto* samples) {
        const auto iso = comparedIso(samples, grid.volume.iso);
        rowSignsOf(count, background, below, above,
                   [&](int32_t first, int32_t n, uint64_t& b, uint64_t& a) {
                       signMasksAgainst(samples + row + first, n, iso, b, a);
                   });
    });
}

}  // namespace

void signMasksOf(const float* samples, int32_t count, uint64_t& below, uint64_t& above) {
    below = 0;
    above = 0;
    int32_t i = 0;
#ifdef __SSE2__
    // Four samples per compare; ordered compares are false for NaN, as < and
    // > are below.
    constexpr int32_t kLanes = 4;
    const __m128 zero = _mm_setzero_ps();
    for (; i + kLanes <= count; i += kLanes) {
        const __m128 v = _mm_loadu_ps(samples + i);
        below |= uint64_t(_mm_movemask_ps(_mm_cmplt_ps(v, zero))) << i;
        above |= uint64_t(_mm_movemask_ps(_mm_cmpgt_ps(v, zero))) << i;
    }
#endif
    for (; i < count; ++i) {
        below |= uint64_t{samples[i] < 0.0f} << i;
        above |= uint64_t{samples[i] > 0.0f} << i;
    }
}

template <class T>
requires std::is_integral_v<T>
void isoSignMasksOf(const T* samples, int32_t count, float iso, uint64_t& below, uint64_t& above) {
    signMasksAgainst(samples, count, integerThresholdOf<T>(iso), below, above);
}

template void isoSignMasksOf(const uint8_t*, int32_t, float, uint64_t&, uint64_t&);
template void isoSignMasksOf(const int8_t*, int32_t, float, uint64_t&, uint64_t&);
template void isoSignMasksOf(const uint16_t*, int32_t, float, uint64_t&, uint64_t&);
template void isoSignMasksOf(const int16_t*, int32_t, float, uint64_t&, uint64_t&);

void isoSignMasksOf(const float* samples, int32_t count, float iso, uint64_t& below,
                    uint64_t& above) {
    uint64_t inside = 0;
    int32_t i = 0;
#ifdef __SSE2__
    // Inside: finite (magnitude at most the largest float; false for NaN)
    // and at or above iso.
    constexpr int32_t kLanes = 4;
    const __m128 threshold = _mm_set1_ps(iso);
    const __m128 highest = _mm_set1_ps(std::numeric_limits<float>::max());
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(INT32_MAX));
    for (; i + kLanes <= count; i += kLanes) {
        const __m128 v = _mm_loadu_ps(samples + i);
        const __m128 finite = _mm_cmple_ps(_mm_and_ps(v, magnitude), highest);
        inside |= uint64_t(_mm_movemask_ps(_mm_and_ps(_mm_cmpge_ps(v, threshold), finite))) << i;
    }
#endif
    for (; i < count; ++i) {
        inside |= uint64_t{std::isfinite(samples[i]) && samples[i] >= iso} << i;
    }
    above = inside;
    below = ~inside & lowBits(count);
}

void CrossingCells::fitTo(const ScalarGrid& grid) {
    if (grid.nx == nx_ && grid.ny == ny_ && grid.nz == nz_) {
        return;
    }
    const bool hasCells = grid.nx >= 2 && grid.ny >= 2 && grid.nz >= 2;
    nx_ = grid.nx;
    ny_ = grid.ny;
    nz_ = grid.nz;
    cellsX_ = hasCells ? nx_ - 1 : 0;
    cellsZ_ = hasCells ? nz_ - 1 : 0;
    wordsPerSlab_ = hasCells ? wordsFor(int64_t{ny_ - 1} * cellsZ_) : 0;
    wordsPerRow_ = static_cast<int32_t>(wordsFor(nx_));
    cellWordsPerRow_ = static_cast<int32_t>(wordsFor(cellsX_));
    lastCellWord_ = lowBits(cellsX_ - (cellWordsPerRow_ - 1) * kBitsPerWord);
    marks_.clear();
    signs_.assign(static_cast<size_t>(int64_t{kPlanes} * kSides * ny_ * wordsPerRow_), 0);
}

void CrossingCells::useRows(const ScalarGrid& grid, const ReachedRows* rows) {
    rows_ = rows != nullptr && rows->fits(grid) ? rows : nullptr;
}

void CrossingCells::computePlaneSigns(const ScalarGrid& grid, int32_t z, int32_t plane) {
    for (int32_t y = 0; y < ny_; ++y) {
        rowSignsOf(grid, y, z, rows_ != nullptr && !rows_->reached(y, z),
                   maskRow(signs_, plane, kBelow, ny_, y, wordsPerRow_),
                   maskRow(signs_, plane, kAbove, ny_, y, wordsPerRow_));
    }
}

void CrossingCells::startPlanes(const ScalarGrid& grid, int32_t firstZ, int32_t endZ,
                                const ReachedRows* rows) {
    fitTo(grid);
    useRows(grid, rows);
    if (cellsX_ > 0 && firstZ < endZ) {
        computePlaneSigns(grid, firstZ, firstZ % kPlanes);
    }
}

CrossingCells::CornerRows CrossingCells::cornerRows(int32_t y, int32_t z) {
    CornerRows corners{};
    for (int32_t c = 0; c < kCellRowCorners; ++c) {
        const int64_t plane = (z + c / 2) % kPlanes;
        const int32_t row = y + c % 2;
        corners.below[c] = maskRow(signs_, plane, kBelow, ny_, row, wordsPerRow_);
        corners.above[c] = maskRow(signs_, plane, kAbove, ny_, row, wordsPerRow_);
    }
    return corners;
}

// One sweep through the samples in storage order; each sample plane's signs
// are worked out once and serve the cell planes on both sides of it.
void CrossingCells::markCrossingCells(const ScalarGrid& grid, const ReachedRows* rows) {
    fitTo(grid);
    marks_.resize(static_cast<size_t>(cellsX_ * wordsPerSlab_), 0);
    forEachInStorageOrder(
        grid, 0, cellsZ_,
        [&](int32_t x, int32_t y, int32_t z) { markCell(x, int64_t{y} * cellsZ_ + z); }, rows);
}
