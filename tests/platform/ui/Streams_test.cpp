// The runtime's streams and binary property streaming.
#include "platform/ui/Filer.h"
#include "platform/ui/Streams.h"
#include "platform/ui/SysUtils.h"
#include "support/TestWork.h"

#include <gtest/gtest.h>

using namespace host;

namespace {

std::vector<std::uint8_t> contents(TMemoryStream& s) {
    const auto* p = static_cast<const std::uint8_t*>(s.Memory());
    return {p, p + s.Size()};
}

void fill(TMemoryStream& s, std::vector<std::uint8_t> bytes) {
    s.Clear();
    if (!bytes.empty()) s.WriteBuffer(bytes.data(), std::int32_t(bytes.size()));
    s.SetPosition(0);
}

// An object with two binary properties; "Empty" never has data.
class TTwoProps : public TPersistent {
public:
    std::string text;
    int emptyReads = 0;

protected:
    void DefineProperties(TFiler* filer) override {
        filer->DefineBinaryProperty(
            "Text",
            [this](TStream& s) {
                text.resize(std::size_t(s.Size()));
                s.ReadBuffer(text.data(), std::int32_t(text.size()));
            },
            [this](TStream& s) { s.WriteBuffer(text.data(), std::int32_t(text.size())); }, !text.empty());
        filer->DefineBinaryProperty(
            "Empty", [this](TStream&) { ++emptyReads; }, [](TStream&) {}, false);
    }
};

} // namespace

TEST(MemoryStream, GrowsSeeksAndReportsShortReads) {
    TMemoryStream s;
    EXPECT_EQ(s.Write("abc", 3), 3);
    EXPECT_EQ(s.Seek(2, soFromCurrent), 5); // past the end: the gap reads as zeros
    s.WriteBuffer("z", 1);
    EXPECT_EQ(contents(s), (std::vector<std::uint8_t>{'a', 'b', 'c', 0, 0, 'z'}));
    EXPECT_EQ(s.Seek(-2, soFromEnd), 4);
    char buf[8] = {};
    EXPECT_EQ(s.Read(buf, 8), 2);
    EXPECT_EQ(s.Read(buf, 8), 0);
    s.SetPosition(4);
    try {
        s.ReadBuffer(buf, 3);
        FAIL() << "short read accepted";
    } catch (const EReadError& e) {
        EXPECT_EQ(e.Message(), "Stream read error: 3 bytes wanted, 2 available");
    }
    s.SetSize(2);
    EXPECT_EQ(s.Position(), 2);
    EXPECT_THROW(s.SetSize(-1), EStreamError);
    EXPECT_THROW(s.SetSize(TMemoryStream::kMaxSize + 1), EStreamError);
    s.SetPosition(TMemoryStream::kMaxSize);
    EXPECT_THROW(s.WriteBuffer("x", 1), EWriteError); // would pass the largest size
}

TEST(MemoryStream, CopyFromAndFiles) {
    TMemoryStream source;
    fill(source, {1, 2, 3, 4, 5});
    source.SetPosition(3);
    TMemoryStream all;
    EXPECT_EQ(all.CopyFrom(source, 0), 5); // 0: everything, from the start
    EXPECT_EQ(contents(all), contents(source));
    source.SetPosition(1);
    TMemoryStream part;
    EXPECT_EQ(part.CopyFrom(source, 2), 2);
    EXPECT_EQ(contents(part), (std::vector<std::uint8_t>{2, 3}));
    EXPECT_THROW(part.CopyFrom(source, 10), EReadError);

    const std::string file = (testsupport::workDir("streams") / "mem.bin").string();
    all.SaveToFile(file);
    TMemoryStream loaded;
    loaded.LoadFromFile(file);
    EXPECT_EQ(contents(loaded), contents(all));
    EXPECT_EQ(loaded.Position(), 0);
}

TEST(FileStream, ModesAndErrorsNameTheFileAndTheCause) {
    const auto dir = testsupport::workDir("streams");
    const std::string file = (dir / "file.bin").string();
    {
        TFileStream f(file, fmCreate);
        f.WriteBuffer("hello", 5);
        EXPECT_EQ(f.Size(), 5);
    }
    {
        TFileStream f(file, fmOpenReadWrite);
        EXPECT_EQ(f.Seek(-2, soFromEnd), 3);
        f.WriteBuffer("LO!", 3);
    }
    {
        TFileStream f(file, fmOpenRead);
        char buf[8] = {};
        EXPECT_EQ(f.Read(buf, 8), 6);
        EXPECT_STREQ(buf, "helLO!");
        EXPECT_EQ(f.Write("x", 1), 0); // opened for reading only
        EXPECT_EQ(f.Seek(-1, soFromBeginning), -1);
    }
    const std::string missing = (dir / "missing.bin").string();
    try {
        TFileStream f(missing, fmOpenRead);
        FAIL() << "opened a missing file";
    } catch (const EFOpenError& e) {
        EXPECT_NE(e.Message().find(missing), std::string::npos) << e.Message();
        EXPECT_NE(e.Message().find("No such file"), std::string::npos) << e.Message();
    }
    try {
        TFileStream f((dir / "no-folder" / "x.bin").string(), fmCreate);
        FAIL() << "created a file in a missing folder";
    } catch (const EFCreateError& e) {
        EXPECT_NE(e.Message().find("no-folder/x.bin"), std::string::npos) << e.Message();
    }
    EXPECT_THROW(TFileStream(dir.string(), fmOpenRead), EFOpenError);
}

TEST(Filer, BinaryPropertiesRoundTripAndUnknownOnesAreSkipped) {
    TTwoProps source;
    source.text = "payload";
    TMemoryStream s;
    TWriter(s).WriteProperties(source);
    const std::vector<std::uint8_t> expected = {4, 'T', 'e', 'x', 't', vaBinary, 7, 0, 0, 0,
                                                'p', 'a', 'y', 'l', 'o', 'a', 'd', 0};
    EXPECT_EQ(contents(s), expected); // "Empty" has no data and is not stored

    s.SetPosition(0);
    TTwoProps back;
    TReader(s).ReadProperties(back);
    EXPECT_EQ(back.text, "payload");
    EXPECT_EQ(back.emptyReads, 0);
    EXPECT_EQ(s.Position(), s.Size());

    // A property this object does not define is skipped; the one after it is still read.
    std::vector<std::uint8_t> withUnknown = {5, 'O', 't', 'h', 'e', 'r', vaBinary, 2, 0, 0, 0, 9, 9};
    withUnknown.insert(withUnknown.end(), expected.begin(), expected.end());
    fill(s, withUnknown);
    TTwoProps other;
    TReader(s).ReadProperties(other);
    EXPECT_EQ(other.text, "payload");
}

TEST(Filer, MalformedPropertyListsRaiseReadErrors) {
    const std::vector<std::vector<std::uint8_t>> cases = {
        {},                                                // no end marker
        {4, 'T', 'e'},                                     // name cut short
        {4, 'T', 'e', 'x', 't'},                           // no value type
        {4, 'T', 'e', 'x', 't', 0x07, 0, 0, 0, 0, 0},      // unknown value type
        {4, 'T', 'e', 'x', 't', vaBinary, 1, 0},           // length cut short
        {4, 'T', 'e', 'x', 't', vaBinary, 5, 0, 0, 0, 'a'}, // data shorter than its length
        {4, 'T', 'e', 'x', 't', vaBinary, 0xFF, 0xFF, 0xFF, 0x7F, 0}, // 2 GB claimed
        {4, 'T', 'e', 'x', 't', vaBinary, 0xFF, 0xFF, 0xFF, 0xFF, 0}, // negative length
        {4, 'T', 'e', 'x', 't', vaBinary, 0, 0, 0, 0},     // no end after the property
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        TMemoryStream s;
        fill(s, cases[i]);
        TTwoProps target;
        EXPECT_THROW(TReader(s).ReadProperties(target), EReadError) << "case " << i;
    }
}
