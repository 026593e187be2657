// The telemetry block as the join writes it and reads it back: the count rule and the
// open count of 65535 and more records.
#include "container/JoinDataFile.h"
#include "support/TempDir.h"

#include <cstring>
#include <gtest/gtest.h>

namespace kirvano {
namespace {

std::array<std::uint8_t, 26> Header() {
    std::array<std::uint8_t, 26> h{};
    std::memcpy(h.data(), "1000200030004000M010203HNN", 26);
    return h;
}

std::vector<std::uint8_t> Records(std::uint32_t n) {
    std::vector<std::uint8_t> r(static_cast<std::size_t>(n) * 124);
    for (std::size_t i = 0; i < r.size(); ++i)
        r[i] = static_cast<std::uint8_t>('0' + (i / 124) % 10);
    return r;
}

struct CountCase {
    const char* name;
    std::uint32_t records;
    std::uint16_t field;
    std::size_t tail; // bytes after the records
};

class BlockCount : public ::testing::TestWithParam<CountCase> {};

TEST_P(BlockCount, WrittenAndReadBackCompletely) {
    const auto& c = GetParam();
    const auto records = Records(c.records);
    const auto block = EncodeJoinedBlock(Header(), c.records, records);
    ASSERT_EQ(block.size(), 34 + records.size() + c.tail);
    EXPECT_EQ(block[32] << 8 | block[33], c.field);
    EXPECT_EQ(std::memcmp(block.data() + 34 + records.size(), "CSMEND", 6), 0);
    if (c.tail == 10) {
        const std::uint8_t* n = block.data() + 34 + records.size() + 6;
        EXPECT_EQ(static_cast<std::uint32_t>(n[0] << 24 | n[1] << 16 | n[2] << 8 | n[3]),
                  c.records);
    }
    auto back = TakeTelemetryRecords(ByteRange(block.data(), block.size()));
    ASSERT_TRUE(back) << back.error();
    EXPECT_EQ(back->count, c.records);
    EXPECT_EQ(back->records, records);
    EXPECT_EQ(back->header, Header());
}

INSTANTIATE_TEST_SUITE_P(Counts, BlockCount,
                         ::testing::Values(CountCase{"None", 0, 0, 6},
                                           CountCase{"OneMinute", 600, 600, 6},
                                           CountCase{"LastCounted", 65534, 65534, 6},
                                           CountCase{"FirstOpen", 65535, 0xFFFF, 10},
                                           CountCase{"Many", 70000, 0xFFFF, 10}),
                         [](const auto& info) { return std::string(info.param.name); });

// Cut-off blocks and the end marker, read both ways, are in the telemetry block tests.
TEST(TelemetryBlockRead, NoBlockIsRefused) {
    auto block = EncodeJoinedBlock(Header(), 10, Records(10));
    EXPECT_FALSE(TakeTelemetryRecords(ByteRange(block.data(), 33)));
    block[0] = 'X';
    EXPECT_FALSE(TakeTelemetryRecords(ByteRange(block.data(), block.size())));
}

TEST(DataFileRead, FilesAreAppendedRecordByRecord) {
    testing::TempDir dir;
    const auto a = EncodeJoinedBlock(Header(), 2, Records(2));
    testing::WriteAll(dir.file("a.ADA"), std::string(a.begin(), a.end()));
    auto first = ReadDataFile(dir.file("a.ADA"));
    ASSERT_TRUE(first) << first.error();
    auto second = first.value();
    AppendRecords(first.value(), second);
    EXPECT_EQ(first->count, 4u);
    EXPECT_EQ(first->records.size(), 4u * 124);
    EXPECT_FALSE(ReadDataFile(dir.file("missing.ADA")));
}

} // namespace
} // namespace kirvano
