#include "core/KvSearch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

namespace {

// Elements of any width: a 32-bit key in the first bytes (or fewer for narrow widths), then a payload
// that must travel with the key.
struct Table {
    std::int32_t width;
    std::vector<unsigned char> bytes;

    std::size_t keyBytes() const { return std::min<std::size_t>(4, static_cast<std::size_t>(width)); }
    unsigned char* at(std::size_t i) { return bytes.data() + i * static_cast<std::size_t>(width); }
};

// Orders elements by their leading key bytes (memcmp order).
std::int32_t g_keyBytes = 4;
int compareKeys(const void* a, const void* b) {
    return std::memcmp(a, b, static_cast<std::size_t>(g_keyBytes));
}

int compareInts(const void* a, const void* b) {
    const int x = *static_cast<const int*>(a), y = *static_cast<const int*>(b);
    return (x > y) - (x < y);
}

std::vector<std::vector<unsigned char>> elements(Table& t, std::size_t n) {
    std::vector<std::vector<unsigned char>> out;
    for (std::size_t i = 0; i < n; ++i) out.emplace_back(t.at(i), t.at(i) + t.width);
    return out;
}

} // namespace

TEST(KvSearch, QsortAgreesWithStdSortForManyWidthsAndKeyRanges) {
    std::mt19937 rng(1234);
    for (std::int32_t width : {1, 2, 3, 4, 7, 16, 300}) {
        for (std::size_t n : {0u, 1u, 2u, 3u, 4u, 5u, 17u, 100u, 1000u}) {
            for (unsigned keyRange : {2u, 50u, 1000000u}) { // many duplicates, some, almost none
                SCOPED_TRACE(testing::Message() << "width " << width << " n " << n << " keys " << keyRange);
                Table t{width, std::vector<unsigned char>(n * static_cast<std::size_t>(width))};
                g_keyBytes = static_cast<std::int32_t>(t.keyBytes());
                for (std::size_t i = 0; i < n; ++i) {
                    const std::uint32_t key = static_cast<std::uint32_t>(rng() % keyRange);
                    for (std::size_t k = 0; k < t.keyBytes(); ++k) {
                        t.at(i)[k] = static_cast<unsigned char>(key >> (8 * k));
                    }
                    for (std::size_t k = t.keyBytes(); k < static_cast<std::size_t>(width); ++k) {
                        t.at(i)[k] = static_cast<unsigned char>(rng());
                    }
                }
                auto expected = elements(t, n);
                kv::qsort(t.bytes.data(), static_cast<std::int32_t>(n), width, compareKeys);
                auto got = elements(t, n);
                // Same multiset of whole elements, keys in order.
                EXPECT_TRUE(std::is_sorted(got.begin(), got.end(), [](const auto& a, const auto& b) {
                    return std::memcmp(a.data(), b.data(), static_cast<std::size_t>(g_keyBytes)) < 0;
                }));
                std::sort(expected.begin(), expected.end());
                std::sort(got.begin(), got.end());
                EXPECT_EQ(got, expected);
            }
        }
    }
}

TEST(KvSearch, QsortHandlesSortedReversedAndConstantInput) {
    for (int pattern = 0; pattern < 3; ++pattern) {
        std::vector<int> v(5000);
        for (int i = 0; i < 5000; ++i) v[i] = pattern == 0 ? i : (pattern == 1 ? 5000 - i : 42);
        auto expected = v;
        std::sort(expected.begin(), expected.end());
        kv::qsort(v.data(), static_cast<std::int32_t>(v.size()), sizeof(int), compareInts);
        EXPECT_EQ(v, expected);
    }
    int one = 5;
    kv::qsort(&one, 1, sizeof one, compareInts);
    kv::qsort(nullptr, 0, sizeof one, compareInts);
    EXPECT_EQ(one, 5);
}

TEST(KvSearch, BinaryAndLinearSearch) {
    std::vector<int> v = {1, 3, 5, 7, 9, 11, 13};
    for (std::size_t n = 0; n <= v.size(); ++n) {
        for (int key = 0; key <= 14; ++key) {
            const void* found = kv::bsearch(&key, v.data(), static_cast<std::int32_t>(n), compareInts, sizeof(int));
            const auto it = std::find(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(n), key);
            if (it == v.begin() + static_cast<std::ptrdiff_t>(n)) {
                EXPECT_EQ(found, nullptr) << key << " in " << n;
            } else {
                EXPECT_EQ(found, &*it) << key << " in " << n;
            }
        }
    }

    int arr[6] = {4, 2, 4, 0, 0, 0};
    std::int32_t count = 3;
    int key = 4;
    EXPECT_EQ(kv::lfind(&key, arr, count, compareInts, sizeof(int)), &arr[0]);
    EXPECT_EQ(kv::lsearch(&key, arr, count, compareInts, sizeof(int)), &arr[0]);
    EXPECT_EQ(count, 3);
    key = 9;
    EXPECT_EQ(kv::lfind(&key, arr, count, compareInts, sizeof(int)), nullptr);
    EXPECT_EQ(kv::lsearch(&key, arr, count, compareInts, sizeof(int)), &arr[3]);
    EXPECT_EQ(count, 4);
    EXPECT_EQ(arr[3], 9);
}
