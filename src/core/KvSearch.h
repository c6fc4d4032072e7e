// Searching and sorting arrays of fixed-width elements in raw memory. The comparison procedure returns a
// negative value, zero or a positive value as its first element sorts before, with or after the second;
// the search functions pass the key as the first argument.
#pragma once

#include <cstdint>

namespace kv {

using TKvCompareProc = int (*)(const void* a, const void* b);

// Binary search of a sorted array: the matching element, or nullptr.
void* bsearch(const void* key, const void* base, std::int32_t count, TKvCompareProc compare, std::int32_t width);

// In-place quicksort. The pivot is the median of the first, middle and last elements; elements equal to
// it are gathered at the front during partitioning and then moved to the middle, so runs of equal keys
// are settled in one pass; the smaller part is sorted by recursion and the larger by iteration (stack
// depth stays logarithmic); parts of 2 or 3 elements are sorted directly. Not stable. Any element width
// works; counts below 2 and widths below 1 leave the array alone. Holds no state between calls.
void qsort(void* base, std::int32_t count, std::int32_t width, TKvCompareProc compare);

// The first element that compares equal to key, or nullptr (linear search).
void* lfind(const void* key, const void* base, std::int32_t count, TKvCompareProc compare, std::int32_t width);

// As lfind, but an absent key is appended (width bytes copied to element count) and count is incremented;
// the array must have room for one more element.
void* lsearch(const void* key, void* base, std::int32_t& count, TKvCompareProc compare, std::int32_t width);

} // namespace kv
