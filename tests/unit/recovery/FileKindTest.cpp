#include "core/recovery/FileKind.h"
#include "core/text/Units.h"
#include "core/text/StringTable.h"

#include <gtest/gtest.h>

#include <set>

namespace qv {
namespace {

TEST(FileKind, ExtensionsAndUnknownCodes)
{
    EXPECT_STREQ(KindExtension(1), "jpg");
    EXPECT_STREQ(KindExtension(9), "wmv");
    EXPECT_STREQ(KindExtension(20), "mts");
    EXPECT_STREQ(KindExtension(0), "000");
    EXPECT_STREQ(KindExtension(21), "000");
    EXPECT_STREQ(KindExtension(-3), "000");
    EXPECT_EQ(KindForExtension("pps"), KIND_PPS);
    EXPECT_EQ(KindForExtension("JPG"), 0);
}

TEST(FileKind, FormatListOrderAndLabels)
{
    // The format list starts AVI, BMP, DOC and ends ZIP, MTS; each entry
    // has a Russian label and an English translation.
    EXPECT_EQ(KindAtListEntry(0), KIND_AVI);
    EXPECT_EQ(KindAtListEntry(1), KIND_BMP);
    EXPECT_EQ(KindAtListEntry(2), KIND_DOC);
    EXPECT_EQ(KindAtListEntry(18), KIND_ZIP);
    EXPECT_EQ(KindAtListEntry(19), KIND_MTS);
    EXPECT_EQ(KindAtListEntry(20), 0);
    std::set<int> kinds, labels;
    for (int entry = 0; entry < 20; ++entry) {
        const int kind = KindAtListEntry(entry);
        kinds.insert(kind);
        labels.insert(KindLabelId(kind));
        EXPECT_EQ(KindLabelId(kind), 212 + entry);
        EXPECT_FALSE(BuiltinText(KindLabelId(kind)).empty());
        EXPECT_FALSE(EnglishText(KindLabelId(kind)).empty());
    }
    EXPECT_EQ(kinds.size(), 20u);
    EXPECT_EQ(BuiltinText(212), "Windows видео");
    EXPECT_EQ(BuiltinText(231), "AVCHD-видео");
}

TEST(FormatSizeText, KilobytesBelowAMillionBytesMegabytesAbove)
{
    EXPECT_EQ(FormatSizeText(0), "0 KБ");
    EXPECT_EQ(FormatSizeText(500), "1 KБ");
    EXPECT_EQ(FormatSizeText(1023), "1 KБ");
    EXPECT_EQ(FormatSizeText(2047), "1 KБ");
    EXPECT_EQ(FormatSizeText(1023999), "999 KБ");
    EXPECT_EQ(FormatSizeText(1024000), "1.0 MB");
    EXPECT_EQ(FormatSizeText(100ull * 1048576), "100.0 MB");
    EXPECT_EQ(FormatSizeText(200ull * 1048576), "200 MB");
}

}  // namespace
}  // namespace qv
