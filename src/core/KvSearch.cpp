#include "core/KvSearch.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace kv {
namespace {

using Byte = unsigned char;

// The array being sorted: element addressing, comparison and swapping for one width.
struct Sorter {
    Byte* base;
    std::size_t width;
    TKvCompareProc compare;

    Byte* at(std::size_t i) const { return base + i * width; }
    int cmp(std::size_t i, std::size_t j) const { return compare(at(i), at(j)); }

    void swap(std::size_t i, std::size_t j) const {
        if (i == j) return;
        Byte* p = at(i);
        Byte* q = at(j);
        Byte tmp[256];
        for (std::size_t done = 0; done < width;) {
            const std::size_t n = std::min(sizeof tmp, width - done);
            std::memcpy(tmp, p + done, n);
            std::memcpy(p + done, q + done, n);
            std::memcpy(q + done, tmp, n);
            done += n;
        }
    }

    // Swaps the blocks [a, a + n) and [b, b + n), which do not overlap.
    void swapBlock(std::size_t a, std::size_t b, std::size_t n) const {
        for (std::size_t k = 0; k < n; ++k) swap(a + k, b + k);
    }

    // Puts elements i < j < k in order.
    void sort3(std::size_t i, std::size_t j, std::size_t k) const {
        if (cmp(i, j) > 0) swap(i, j);
        if (cmp(j, k) > 0) {
            swap(j, k);
            if (cmp(i, j) > 0) swap(i, j);
        }
    }

    // Partitions [lo, lo + n) around the median of three; returns the number of smaller elements (they
    // end up at lo) and the first index of the greater ones.
    void partition(std::size_t lo, std::size_t n, std::size_t& less, std::size_t& greaterAt) const {
        sort3(lo, lo + n / 2, lo + n - 1);
        swap(lo, lo + n / 2); // the pivot sits at lo for the whole pass
        std::size_t eq = lo + 1; // [lo, eq) equal to the pivot
        std::size_t i = lo + 1;  // [eq, i) smaller
        std::size_t j = lo + n;  // [j, lo + n) greater
        for (;;) {
            for (; i < j; ++i) {
                const int r = cmp(i, lo);
                if (r > 0) break;
                if (r == 0) swap(eq++, i);
            }
            while (i < j && cmp(j - 1, lo) > 0) --j;
            if (i >= j) break;
            swap(i, j - 1); // a[i] is now not greater; it is looked at again for equality
            --j;
        }
        // Move the equal block from the front to between the smaller and the greater parts.
        const std::size_t equal = eq - lo;
        less = i - eq;
        swapBlock(lo, i - std::min(equal, less), std::min(equal, less));
        greaterAt = i;
    }

    void sort(std::size_t lo, std::size_t n) const {
        while (n > 3) {
            std::size_t less, greaterAt;
            partition(lo, n, less, greaterAt);
            const std::size_t greater = lo + n - greaterAt;
            if (less < greater) {
                sort(lo, less);
                lo = greaterAt;
                n = greater;
            } else {
                sort(greaterAt, greater);
                n = less;
            }
        }
        if (n == 3) {
            sort3(lo, lo + 1, lo + 2);
        } else if (n == 2 && cmp(lo, lo + 1) > 0) {
            swap(lo, lo + 1);
        }
    }
};

} // namespace

void* bsearch(const void* key, const void* base, std::int32_t count, TKvCompareProc compare, std::int32_t width) {
    if (width <= 0) return nullptr;
    auto* p = static_cast<const Byte*>(base);
    const auto w = static_cast<std::size_t>(width);
    while (count > 0) {
        const std::int32_t half = count / 2;
        const Byte* mid = p + static_cast<std::size_t>(half) * w;
        const int r = compare(key, mid);
        if (r == 0) return const_cast<Byte*>(mid);
        if (r > 0) {
            p = mid + w;
            count -= half + 1;
        } else {
            count = half;
        }
    }
    return nullptr;
}

void qsort(void* base, std::int32_t count, std::int32_t width, TKvCompareProc compare) {
    if (count < 2 || width < 1) return;
    Sorter{static_cast<Byte*>(base), static_cast<std::size_t>(width), compare}.sort(0, static_cast<std::size_t>(count));
}

void* lfind(const void* key, const void* base, std::int32_t count, TKvCompareProc compare, std::int32_t width) {
    if (width <= 0) return nullptr;
    auto* p = static_cast<const Byte*>(base);
    for (std::int32_t i = 0; i < count; ++i, p += width) {
        if (compare(key, p) == 0) return const_cast<Byte*>(p);
    }
    return nullptr;
}

void* lsearch(const void* key, void* base, std::int32_t& count, TKvCompareProc compare, std::int32_t width) {
    if (void* found = lfind(key, base, count, compare, width)) return found;
    if (width <= 0 || count < 0) return nullptr;
    Byte* slot = static_cast<Byte*>(base) + static_cast<std::size_t>(count) * static_cast<std::size_t>(width);
    std::memcpy(slot, key, static_cast<std::size_t>(width));
    ++count;
    return slot;
}

} // namespace kv
