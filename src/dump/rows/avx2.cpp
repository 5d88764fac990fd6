// Rows by byte shuffles (AVX2), two rows a step: AVX2 shuffles bytes only within a 128-bit
// lane, so the first row lives in the low lane and the second in the high one, each lane
// shuffled by the masks of row_shuffles.h as the SSSE3 path shuffles its one row.
#include <immintrin.h>

#include <utility>

#include "dump/rows/row_layout.h"
#include "dump/rows/row_paths.h"
#include "dump/rows/row_shuffles.h"

#define HV_AVX2 __attribute__((target("avx2")))

namespace hv::rows {
namespace {

constexpr size_t kStepRows = 2;
constexpr uint64_t kStepBytes = kStepRows * kBytesPerRow;

// Each mask as a shuffle operand in memory, both lanes alike.
constexpr const ShuffleMasks<2>& kMasks = kShuffleMasks<2>;

HV_AVX2 inline __m256i Load(const void* mask) { return _mm256_load_si256(static_cast<const __m256i*>(mask)); }

template <size_t Store, size_t Source>
HV_AVX2 inline __m256i Pick(const __m256i (&sources)[kSources]) {
  if constexpr (kMasks.uses[Store][Source]) {
    return _mm256_shuffle_epi8(sources[Source], Load(kMasks.pick[Store][Source]));
  } else {
    return _mm256_setzero_si256();
  }
}

// A block: 16 bytes of a row's text in each lane, those of the first row in the low one.
template <size_t Store>
HV_AVX2 inline __m256i Block(const __m256i (&sources)[kSources]) {
  const __m256i picked =
      _mm256_or_si256(_mm256_or_si256(Pick<Store, kOffset>(sources), Pick<Store, kFirstCells>(sources)),
                      _mm256_or_si256(Pick<Store, kLastCells>(sources), Pick<Store, kText>(sources)));
  return _mm256_or_si256(picked, Load(kMasks.fill[Store]));
}

// A high lane is stored alone only through an extraction on top of the store, so the second
// row's blocks are stored as whole vectors, the low lane landing on the 16 bytes before the
// block. From the last block down, what lands there is overwritten by the blocks stored after
// it; below the first block lies the first row's last one, whose low lanes are stored after
// all of them.
template <size_t Store>
constexpr bool kCoveredLater = StoreStart(Store) >= 16 && StoreStart(Store) <= StoreStart(Store - 1) + 16;

template <size_t... Store>
HV_AVX2 inline void StoreRows(char* rows, const __m256i (&sources)[kSources], std::index_sequence<0, Store...>) {
  static_assert((kCoveredLater<Store> && ...) && StoreStart(kStores - 1) == kRowText - 16);
  const __m256i blocks[kStores] = {Block<0>(sources), Block<Store>(sources)...};
  char* const second = rows + kRowText - 16;
  for (size_t store = kStores; store-- > 0;) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(second + StoreStart(store)), blocks[store]);
  }
  for (size_t store = 0; store < kStores; ++store) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(rows + StoreStart(store)), _mm256_castsi256_si128(blocks[store]));
  }
}

// As DecodeText, one blend in place of three logical operations.
HV_AVX2 inline __m256i DecodeText256(__m256i data) {
  const __m256i shifted = _mm256_add_epi8(data, _mm256_set1_epi8(0x60));
  const __m256i printable = _mm256_cmpgt_epi8(_mm256_set1_epi8(static_cast<char>(0xDF)), shifted);
  return _mm256_blendv_epi8(_mm256_set1_epi8('.'), data, printable);
}

}  // namespace

HV_AVX2 void WriteAvx2Rows(char* out, uint64_t offset, const unsigned char* bytes, uint64_t count, bool uppercase) {
  const __m256i digits =
      _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(DigitsFor(uppercase))));
  const __m256i nibble = _mm256_set1_epi8(0x0F);
  // Each lane's offset is a little-endian 32-bit number at its start (only the low 32 bits
  // are printed, so it may wrap); spread with each byte twice, most significant first, it
  // becomes the 8 digits' nibbles by taking the high nibble of each even byte and the low
  // one of each odd byte.
  const uint32_t start = static_cast<uint32_t>(offset);
  const int second = static_cast<int>(static_cast<uint32_t>(start + kBytesPerRow));
  __m256i rowOffsets = _mm256_setr_epi32(static_cast<int>(start), 0, 0, 0, second, 0, 0, 0);
  const __m256i step = _mm256_set1_epi32(static_cast<int>(kStepBytes));
  const __m256i spread = _mm256_setr_epi8(3, 3, 2, 2, 1, 1, 0, 0, -1, -1, -1, -1, -1, -1, -1, -1, 3, 3, 2, 2, 1, 1, 0,
                                          0, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m256i evenNibble = _mm256_set1_epi16(0x000F);
  const __m256i oddNibble = _mm256_set1_epi16(0x0F00);
  uint64_t done = 0;
  char* rows = out;
  for (; done + kStepBytes <= count; done += kStepBytes, rows += kStepRows * kRowText) {
    const __m256i data = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + done));
    const __m256i highDigits = _mm256_shuffle_epi8(digits, _mm256_and_si256(_mm256_srli_epi16(data, 4), nibble));
    const __m256i lowDigits = _mm256_shuffle_epi8(digits, _mm256_and_si256(data, nibble));
    const __m256i twice = _mm256_shuffle_epi8(rowOffsets, spread);
    const __m256i offsetNibbles =
        _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi16(twice, 4), evenNibble), _mm256_and_si256(twice, oddNibble));
    const __m256i sources[kSources] = {_mm256_shuffle_epi8(digits, offsetNibbles),
                                       _mm256_unpacklo_epi8(highDigits, lowDigits),
                                       _mm256_unpackhi_epi8(highDigits, lowDigits), DecodeText256(data)};
    StoreRows(rows, sources, std::make_index_sequence<kStores>());
    rowOffsets = _mm256_add_epi32(rowOffsets, step);
  }
  if (done < count) {
    WriteSsse3Rows(rows, offset + done, bytes + done, count - done, uppercase);
  }
}

}  // namespace hv::rows
