#include "platform/win/ModuleResources.h"

#include "platform/win/ByteReader.h"

#include "support/TestWork.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace win;

namespace {

std::span<const std::uint8_t> load(HRSRC found) {
    HGLOBAL loaded = LoadResource(nullptr, found);
    auto* p = static_cast<const std::uint8_t*>(LockResource(loaded));
    return {p, SizeofResource(nullptr, found)};
}

struct Lookup {
    const char* label;
    LPCSTR name;
    LPCSTR type;
    bool found;
};

class ModuleResourceLookup : public ::testing::TestWithParam<Lookup> {};

TEST_P(ModuleResourceLookup, FindsByNameOrIdWithoutRegardToCase) {
    EXPECT_EQ(FindResourceA(nullptr, GetParam().name, GetParam().type) != nullptr, GetParam().found);
}

INSTANTIATE_TEST_SUITE_P(Keys, ModuleResourceLookup,
                         ::testing::Values(Lookup{"Name", "CHIME", "WAVE", true},
                                           Lookup{"LowerCase", "chime", "wave", true},
                                           Lookup{"IntegerId", MAKEINTRESOURCEA(1), "WAVE", true},
                                           Lookup{"NumberText", "#1", "WAVE", true},
                                           Lookup{"OtherId", MAKEINTRESOURCEA(2), "WAVE", false},
                                           Lookup{"OtherType", "CHIME", "AVI", false},
                                           Lookup{"IntegerType", "CHIME", RT_RCDATA, false},
                                           Lookup{"Prefix", "CHIM", "WAVE", false},
                                           Lookup{"Longer", "CHIMES", "WAVE", false},
                                           Lookup{"NullName", nullptr, "WAVE", false}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(ModuleResources, TheChimeIsAWholeRiffWaveImage) {
    auto bytes = load(FindResourceA(nullptr, "CHIME", "WAVE"));
    ASSERT_GT(bytes.size(), 44u);
    ByteReader r(bytes);
    EXPECT_EQ(*r.fourcc(), mmioFOURCC('R', 'I', 'F', 'F'));
    EXPECT_EQ(*r.u32(), bytes.size() - 8);
    EXPECT_EQ(*r.fourcc(), mmioFOURCC('W', 'A', 'V', 'E'));
    EXPECT_EQ(*r.fourcc(), mmioFOURCC('f', 'm', 't', ' '));
    EXPECT_EQ(*r.u32(), 16u);
    EXPECT_EQ(*r.u16(), 1);      // PCM
    EXPECT_EQ(*r.u16(), 1);      // mono
    EXPECT_EQ(*r.u32(), 11025u); // rate
    EXPECT_EQ(*r.u32(), 11025u); // bytes per second
    EXPECT_EQ(*r.u16(), 1);
    EXPECT_EQ(*r.u16(), 8);
    EXPECT_EQ(*r.fourcc(), mmioFOURCC('d', 'a', 't', 'a'));
    std::uint32_t size = *r.u32();
    EXPECT_EQ(size, 2205u); // 0.2 s
    auto samples = r.span(size);
    ASSERT_TRUE(samples);
    int low = 255, high = 0;
    for (auto s : *samples)
        low = std::min<int>(low, s), high = std::max<int>(high, s);
    EXPECT_LT(low, 60); // a real sound, not silence
    EXPECT_GT(high, 196);
    EXPECT_EQ(FreeResource(LoadResource(nullptr, FindResourceA(nullptr, "CHIME", "WAVE"))), FALSE);
}

TEST(ModuleResources, ForeignHandlesAreRefused) {
    int unrelated = 0;
    EXPECT_EQ(LoadResource(nullptr, nullptr), nullptr);
    EXPECT_EQ(LoadResource(nullptr, reinterpret_cast<HRSRC>(&unrelated)), nullptr);
    EXPECT_EQ(LockResource(&unrelated), nullptr);
    EXPECT_EQ(SizeofResource(nullptr, reinterpret_cast<HRSRC>(&unrelated)), 0u);
}

// sox reads every wave resource as what its header says it is.
TEST(ModuleResources, SoxReadsTheWaveResources) {
    if (testsupport::run("sox --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "sox is not installed";
    for (const auto& entry : WaveResources()) {
        auto file = testsupport::workDir("win-resources") / "resource.wav";
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(entry.data.data()), std::streamsize(entry.data.size()));
        int status = -1;
        std::string rate = testsupport::capture("sox --i -r " + testsupport::quote(file), &status);
        EXPECT_EQ(status, 0);
        ByteReader r(entry.data);
        r.skip(24);
        EXPECT_EQ(std::stoul(rate), *r.u32());
        std::string samples = testsupport::capture("sox --i -s " + testsupport::quote(file));
        r.seek(40);
        std::uint32_t bytes = *r.u32();
        r.seek(34);
        EXPECT_EQ(std::stoul(samples), bytes / (*r.u16() / 8));
    }
}

} // namespace
