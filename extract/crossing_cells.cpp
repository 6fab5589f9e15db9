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
constexpr int32_t kPlanes = 2;          // the two sample planes a cell plane lies between
constexpr int32_t kCellRowCorners = 4;  // sample rows around a cell row
constexpr int32_t kLastBit = CrossingCells::kBitsPerWord - 1;

int64_t wordsFor(int64_t bits) {
    return (bits + CrossingCells::kBitsPerWord - 1) / CrossingCells::kBitsPerWord;
}

// The four sample rows around one cell row: (y, z), (y + 1, z), (y, z + 1),
// (y + 1, z + 1), all with the same side's masks.
struct CellRowCorners {
    const uint64_t* rows[4];

    uint64_t anyAt(int64_t word) const {
        return rows[0][word] | rows[1][word] | rows[2][word] | rows[3][word];
    }
};

// Bit i: cell i of the word has a corner on the rows' side. Cell i has its
// corners at samples i and i + 1, so the mask is OR-ed with itself shifted
// by one, and the last cell's upper samples come from the next word.
uint64_t cellsTouchingSide(const CellRowCorners& corners, int64_t word, int64_t wordsPerRow) {
    const uint64_t samples = corners.anyAt(word);
    const uint64_t nextSamples = word + 1 < wordsPerRow ? corners.anyAt(word + 1) : 0;
    return samples | (samples >> 1) | (nextSamples << kLastBit);
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
            below[w] =
                inWord == CrossingCells::kBitsPerWord ? ~uint64_t{0} : (uint64_t{1} << inWord) - 1;
            above[w] = 0;
        } else {
            masksOf(first, inWord, below[w], above[w]);
        }
    }
}

// The masks of `count` samples of row (y, z) from x = firstX on: the grid's
// own samples, or its volume's against the iso value.
void rowSignsOf(const ScalarGrid& grid, int32_t y, int32_t z, int32_t firstX, int32_t count,
                bool background, uint64_t* below, uint64_t* above) {
    const int64_t row = int64_t{grid.sliceSize} * z + int64_t{grid.nx} * y + firstX;
    if (grid.data != nullptr) {
        rowSignsOf(count, background, below, above,
                   [&](int32_t first, int32_t n, uint64_t& b, uint64_t& a) {
                       signMasksOf(grid.data + row + first, n, b, a);
                   });
        return;
    }
    visitSamples(grid.volume, [&](const auto* samples) {
        rowSignsOf(count, background, below, above,
                   [&](int32_t first, int32_t n, uint64_t& b, uint64_t& a) {
                       isoSignMasksOf(samples + row + first, n, grid.volume.iso, b, a);
                   });
    });
}

// The bits of the word that stand for existing cells (x < cellsX).
uint64_t existingCells(int64_t word, int32_t cellsX) {
    const int64_t cellsInWord = cellsX - word * CrossingCells::kBitsPerWord;
    return cellsInWord >= CrossingCells::kBitsPerWord ? ~uint64_t{0}
                                                      : (uint64_t{1} << cellsInWord) - 1;
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

namespace {

uint64_t lowBits(int32_t count) {
    return count == CrossingCells::kBitsPerWord ? ~uint64_t{0} : (uint64_t{1} << count) - 1;
}

}  // namespace

// An integer is at or above iso when it is at least iso rounded up: one
// integer compare per sample. The samples are biased into signed order, so
// that SSE2's signed compares serve unsigned types too.
template <class T>
requires std::is_integral_v<T>
void isoSignMasksOf(const T* samples, int32_t count, float iso, uint64_t& below, uint64_t& above) {
    const double lowestInside = std::ceil(double{iso});
    uint64_t outside = 0;
    if (lowestInside > std::numeric_limits<T>::max()) {
        outside = lowBits(count);
    } else if (lowestInside > std::numeric_limits<T>::lowest()) {
        const auto threshold = static_cast<T>(lowestInside);
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
            const __m128i limit =
                _mm_xor_si128(_mm_set1_epi16(static_cast<int16_t>(threshold)), bias);
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
    }
    below = outside;
    above = ~outside & lowBits(count);
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

void CrossingCells::fitTo(const ScalarGrid& grid, int32_t cellsX) {
    const bool hasCells = cellsX > 0 && grid.ny >= 2 && grid.nz >= 2;
    const int32_t samplesX = hasCells ? cellsX + 1 : 0;
    if (samplesX == nx_ && grid.ny == ny_ && grid.nz == nz_) {
        return;
    }
    nx_ = samplesX;
    ny_ = grid.ny;
    nz_ = grid.nz;
    cellsX_ = hasCells ? cellsX : 0;
    cellsZ_ = hasCells ? nz_ - 1 : 0;
    wordsPerSlab_ = hasCells ? wordsFor(int64_t{ny_ - 1} * cellsZ_) : 0;
    wordsPerRow_ = static_cast<int32_t>(wordsFor(nx_));
    marks_.assign(static_cast<size_t>(cellsX_ * wordsPerSlab_), 0);
    signs_.assign(static_cast<size_t>(int64_t{kPlanes} * kSides * ny_ * wordsPerRow_), 0);
}

CrossingCells::RowSigns CrossingCells::rowSigns(int32_t plane, int32_t y) {
    return {maskRow(signs_, plane, kBelow, ny_, y, wordsPerRow_),
            maskRow(signs_, plane, kAbove, ny_, y, wordsPerRow_)};
}

void CrossingCells::computePlaneSigns(const ScalarGrid& grid, int32_t z, int32_t plane) {
    for (int32_t y = 0; y < ny_; ++y) {
        rowSignsOf(grid, y, z, firstX_, nx_, rows_ != nullptr && !rows_->reached(y, z),
                   maskRow(signs_, plane, kBelow, ny_, y, wordsPerRow_),
                   maskRow(signs_, plane, kAbove, ny_, y, wordsPerRow_));
    }
}

void CrossingCells::markCellRow(int32_t y, int32_t z, const RowSigns (&corners)[4],
                                int32_t wordsPerRow) {
    const CellRowCorners below{
        {corners[0].below, corners[1].below, corners[2].below, corners[3].below}};
    const CellRowCorners above{
        {corners[0].above, corners[1].above, corners[2].above, corners[3].above}};
    const int64_t q = int64_t{y} * cellsZ_ + z;
    for (int64_t w = 0; w < wordsFor(cellsX_); ++w) {
        uint64_t crossing = cellsTouchingSide(below, w, wordsPerRow) &
                            cellsTouchingSide(above, w, wordsPerRow) & existingCells(w, cellsX_);
        for (; crossing != 0; crossing &= crossing - 1) {
            markCell(static_cast<int32_t>(w * kBitsPerWord + std::countr_zero(crossing)), q);
        }
    }
}

void CrossingCells::reserveFor(const ScalarGrid& grid) {
    const int64_t words = wordsFor(grid.nx);
    const int64_t wordsPerSlab = wordsFor(int64_t{grid.ny} * grid.nz);
    marks_.reserve(static_cast<size_t>(int64_t{grid.nx} * wordsPerSlab));
    signs_.reserve(static_cast<size_t>(int64_t{kPlanes} * kSides * grid.ny * words));
    shifted_.reserve(static_cast<size_t>(kCellRowCorners * kSides * words));
}

void CrossingCells::markFromSigns(const PlaneSigns& signs, const ScalarGrid& grid, int32_t firstX,
                                  int32_t endX) {
    firstX_ = firstX;
    fitTo(grid, endX - firstX);
    const int32_t firstWord = firstX / kBitsPerWord;
    const int32_t shift = firstX % kBitsPerWord;
    const int32_t fullWords = signs.wordsPerRow();
    // A run that starts inside a mask word reads its rows' masks shifted
    // down to its first cell, into `shifted_`, one row of the corners at a
    // time.
    constexpr int32_t kRows = kCellRowCorners * kSides;
    shifted_.resize(static_cast<size_t>(kRows * wordsPerRow_));
    const auto shiftedCopy = [&](const uint64_t* full, int32_t slot) {
        uint64_t* out = shifted_.data() + int64_t{slot} * wordsPerRow_;
        for (int32_t w = 0; w < wordsPerRow_; ++w) {
            const int32_t at = firstWord + w;
            const uint64_t low = at < fullWords ? full[at] >> shift : 0;
            const uint64_t high = at + 1 < fullWords ? full[at + 1] << (kBitsPerWord - shift) : 0;
            out[w] = low | high;
        }
        return out;
    };
    int32_t slot = 0;
    const auto at = [&](int32_t z, int32_t y) {
        if (shift == 0) {
            return RowSigns{signs.row(z, kBelow, y) + firstWord,
                            signs.row(z, kAbove, y) + firstWord};
        }
        slot = (slot + kSides) % kRows;
        return RowSigns{shiftedCopy(signs.row(z, kBelow, y), slot),
                        shiftedCopy(signs.row(z, kAbove, y), slot + 1)};
    };
    const int32_t wordsPerRow = shift == 0 ? fullWords - firstWord : wordsPerRow_;
    for (int32_t z = 0; cellsX_ > 0 && z < cellsZ_; ++z) {
        for (int32_t y = 0; y < ny_ - 1; ++y) {
            const RowSigns corners[4] = {at(z, y), at(z, y + 1), at(z + 1, y), at(z + 1, y + 1)};
            markCellRow(y, z, corners, wordsPerRow);
        }
    }
}

void PlaneSigns::fitTo(const ScalarGrid& grid) {
    if (grid.nx == nx_ && grid.ny == ny_ && grid.nz == nz_) {
        return;
    }
    nx_ = grid.nx;
    ny_ = grid.ny;
    nz_ = grid.nz;
    wordsPerRow_ = static_cast<int32_t>(wordsFor(nx_));
    signs_.assign(static_cast<size_t>(int64_t{nz_} * kSides * ny_ * wordsPerRow_), 0);
}

void PlaneSigns::compute(const ScalarGrid& grid, int32_t zBegin, int32_t zEnd,
                         const ReachedRows* rows) {
    const bool useRows = rows != nullptr && rows->fits(grid);
    for (int32_t z = zBegin; z < zEnd; ++z) {
        for (int32_t y = 0; y < ny_; ++y) {
            rowSignsOf(grid, y, z, 0, nx_, useRows && !rows->reached(y, z),
                       maskRow(signs_, z, kBelow, ny_, y, wordsPerRow_),
                       maskRow(signs_, z, kAbove, ny_, y, wordsPerRow_));
        }
    }
}

// One sweep through the samples in storage order; each sample plane's signs
// are worked out once and serve the cell planes on both sides of it.
void CrossingCells::markCrossingCells(const ScalarGrid& grid, int32_t firstX, int32_t endX) {
    firstX_ = firstX;
    fitTo(grid, endX - firstX);
    if (cellsX_ == 0) {
        return;
    }
    computePlaneSigns(grid, 0, 0);
    for (int32_t z = 0; z < cellsZ_; ++z) {
        computePlaneSigns(grid, z + 1, (z + 1) % kPlanes);
        for (int32_t y = 0; y < ny_ - 1; ++y) {
            const RowSigns corners[4] = {rowSigns(z % kPlanes, y), rowSigns(z % kPlanes, y + 1),
                                         rowSigns((z + 1) % kPlanes, y),
                                         rowSigns((z + 1) % kPlanes, y + 1)};
            markCellRow(y, z, corners, wordsPerRow_);
        }
    }
}
