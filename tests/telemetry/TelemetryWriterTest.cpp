// The block writer, checked byte by byte where the layout matters and by round trip
// through the block decoder everywhere else.
#include "TelemetryTestData.h"
#include "base/ByteRange.h"
#include "telemetry/TelemetryBlock.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kirvano {
namespace {

using testing::Block;
using testing::Records;

std::string Text(const std::uint8_t* p, std::size_t n) {
    return std::string(reinterpret_cast<const char*>(p), n);
}

TelemetryBlock Parse(const std::vector<std::uint8_t>& block) {
    TelemetryBlock out;
    EXPECT_TRUE(ParseTelemetryBlock(ByteRange(block.data() + 6, block.size() - 6), out));
    return out;
}

TEST(TelemetryWriter, RecordFieldsSitAtTheirOffsets) {
    TelemetryRecordFields f;
    f.latitude = 35.652057;
    f.longitude = -139.5;
    f.speed_kmh = 42.5;
    f.year = 2022;
    f.month = 8;
    f.day = 18;
    f.hour = 23;
    f.minute = 59;
    f.second = 58;
    f.time_correction_s = 2;
    f.gx = -1.234;
    f.gy = 0.5;
    f.gz = 12.0;
    f.mark_b = 'D';
    f.status = 0x81;
    const auto r = EncodeTelemetryRecord(f);
    EXPECT_EQ(Text(r.data(), 5), "     ");
    EXPECT_EQ(r[5], 'A');
    EXPECT_EQ(Text(r.data() + 6, 9), "3539.1234");
    EXPECT_EQ(r[15], 'N');
    EXPECT_EQ(Text(r.data() + 16, 10), "13930.0000");
    EXPECT_EQ(r[26], 0) << "west is a zero sign byte";
    EXPECT_EQ(Text(r.data() + 27, 4), "42.5");
    EXPECT_EQ(Text(r.data() + 31, 12), "220818235958");
    EXPECT_EQ(Text(r.data() + 44, 3), "002");
    EXPECT_EQ(Text(r.data() + 57, 15), "-1234  50012000");
    EXPECT_EQ(Text(r.data() + 72, 6), "NNNDNN");
    EXPECT_EQ(r[122], 0x81);
}

TEST(TelemetryWriter, ValuesThatDoNotFitStayInTheirField) {
    TelemetryRecordFields f;
    f.latitude = -1e9;
    f.longitude = 1e300;
    f.speed_kmh = 1e12;
    f.gx = 1e6;
    f.gy = -1e6;
    f.gz = std::numeric_limits<double>::quiet_NaN();
    f.time_correction_s = 123456;
    f.year = 1999;
    f.month = 1234;
    const auto r = EncodeTelemetryRecord(f);
    EXPECT_EQ(Text(r.data() + 6, 9), "9000.0000");
    EXPECT_EQ(r[15], 0);
    EXPECT_EQ(Text(r.data() + 16, 10), "18000.0000");
    EXPECT_EQ(Text(r.data() + 27, 4), "9999");
    EXPECT_EQ(Text(r.data() + 31, 4), "0099");
    EXPECT_EQ(Text(r.data() + 44, 3), "999");
    EXPECT_EQ(Text(r.data() + 57, 15), "99999-9999    0");
    EXPECT_EQ(Text(r.data() + 72, 1), "N");
}

TEST(TelemetryWriter, MinutesNeverRoundUpToSixty) {
    TelemetryRecordFields f;
    f.latitude = 35.99999999;
    const auto r = EncodeTelemetryRecord(f);
    EXPECT_EQ(Text(r.data() + 6, 9), "3600.0000");
}

TEST(TelemetryWriter, MissingCorrectionIsAStar) {
    const auto r = EncodeTelemetryRecord({});
    EXPECT_EQ(Text(r.data() + 44, 3), "*  ");
}

TEST(TelemetryWriter, HeaderLayout) {
    TelemetryHeaderFields h;
    h.values = {1.5f, 0.25f, 9.999f, 0.0f};
    h.kind = 'D';
    h.major = 1;
    h.minor = 2;
    h.patch = 30;
    h.quality = 'L';
    h.byte24 = 'x';
    h.rate = 'T';
    const auto bytes = EncodeTelemetryHeader(h);
    EXPECT_EQ(Text(bytes.data(), 26), "1500025099990000D010230LxT");
}

struct CountCase {
    std::uint32_t records;
    std::uint16_t count_field;
    bool true_count_behind_end;
};

class BlockCount : public ::testing::TestWithParam<CountCase> {};

TEST_P(BlockCount, CountFieldAndEnd) {
    const CountCase c = GetParam();
    std::vector<std::uint8_t> records(c.records * kTelemetryRecordSize, ' ');
    const auto block = EncodeTelemetryBlock(EncodeTelemetryHeader({}), records);
    const ByteRange b(block.data(), block.size());
    EXPECT_EQ(Text(block.data(), 6), "CSMDAT");
    EXPECT_EQ(b.be16(32), c.count_field);
    const std::size_t end = 34 + records.size();
    EXPECT_EQ(Text(block.data() + end, 6), "CSMEND");
    if (c.true_count_behind_end) {
        EXPECT_EQ(block.size(), end + 10);
        EXPECT_EQ(b.be32(end + 6), c.records);
    } else {
        EXPECT_EQ(block.size(), end + 6);
    }
    TelemetryBlock parsed;
    ASSERT_TRUE(ParseTelemetryBlock(b.sub(6), parsed));
    EXPECT_EQ(parsed.samples.size(), c.records);
}

INSTANTIATE_TEST_SUITE_P(Counts, BlockCount,
                         ::testing::Values(CountCase{0, 0, false}, CountCase{1, 1, false},
                                           CountCase{65534, 65534, false},
                                           CountCase{65535, 0xFFFF, true},
                                           CountCase{70000, 0xFFFF, true}));

TEST(TelemetryWriter, PartialTrailingRecordIsDropped) {
    std::vector<std::uint8_t> records(2 * kTelemetryRecordSize + 50, ' ');
    const auto block = EncodeTelemetryBlock(EncodeTelemetryHeader({}), records);
    EXPECT_EQ(block.size(), 34 + 2 * kTelemetryRecordSize + 6);
    EXPECT_EQ(ByteRange(block.data(), block.size()).be16(32), 2);
}

TEST(TelemetryWriter, StreamingFormMatchesTheWholeBlock) {
    const auto header = EncodeTelemetryHeader({});
    const auto records = Records(testing::Sequence(3));
    const auto whole = EncodeTelemetryBlock(header, records);
    auto start = EncodeTelemetryBlockStart(header, 3);
    std::vector<std::uint8_t> streamed(start.begin(), start.end());
    streamed.insert(streamed.end(), records.begin(), records.end());
    const auto end = EncodeTelemetryBlockEnd(3);
    streamed.insert(streamed.end(), end.begin(), end.end());
    EXPECT_EQ(streamed, whole);
}

TEST(TelemetryWriter, RoundTripThroughTheDecoder) {
    std::vector<TelemetryRecordFields> fields(4);
    auto& f0 = fields[0];
    f0.latitude = 35.652057;
    f0.longitude = 139.7;
    f0.speed_kmh = 61.5;
    f0.year = 2023;
    f0.month = 12;
    f0.day = 31;
    f0.hour = 23;
    f0.minute = 59;
    f0.second = 59;
    f0.time_correction_s = 1;
    f0.gx = 0.123;
    f0.gy = -0.456;
    f0.gz = 1.001;
    auto& f1 = fields[1];
    f1.gps_valid = false;
    f1.latitude = -33.8688;
    f1.longitude = -70.25;
    f1.speed_kmh = 120;
    f1.year = 2024;
    f1.month = 2;
    f1.day = 29;
    f1.hour = 7;
    f1.minute = 5;
    f1.second = 3;
    f1.mark_a = 'D';
    f1.axis = 'Y';
    f1.mark_d = 'D';
    f1.status = 7;
    fields[2].latitude = 0.5;
    fields[2].longitude = 179.99;
    fields[2].axis = 'Z';
    fields[2].event_letter = 'H';
    fields[3].mark_c = 'D';
    fields[3].status = 255;
    TelemetryHeaderFields header;
    header.values = {0.5f, 1.25f, 2.0f, 9.0f};
    header.kind = 'M';
    header.major = 2;
    header.minor = 11;
    header.patch = 4;
    header.rate = 'T';
    const TelemetryBlock b = Parse(Block(fields, header));
    ASSERT_EQ(b.positions.size(), 4u);
    EXPECT_EQ(b.header.values, (std::array<float, 4>{0.5f, 1.25f, 2.0f, 9.0f}));
    EXPECT_EQ(std::string(b.header.version.begin(), b.header.version.end()), "021104");
    EXPECT_EQ(b.header.quality, 'H');
    EXPECT_FLOAT_EQ(b.record_interval_ms, kFastRecordIntervalMs);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        SCOPED_TRACE(i);
        const PositionSample& p = b.positions[i];
        const TelemetrySample& s = b.samples[i];
        EXPECT_EQ(p.gps_valid != 0, fields[i].gps_valid);
        EXPECT_NEAR(p.latitude, fields[i].latitude, 1e-6);
        EXPECT_NEAR(p.longitude, fields[i].longitude, 1e-6);
        EXPECT_NEAR(p.speed, fields[i].speed_kmh, 0.05);
        EXPECT_NEAR(s.x, fields[i].gx, 1e-9);
        EXPECT_NEAR(s.y, fields[i].gy, 1e-9);
        EXPECT_NEAR(s.z, fields[i].gz, 1e-9);
    }
    EXPECT_EQ(b.positions[0].time.year, 2024);
    EXPECT_EQ(b.positions[0].time.month, 1);
    EXPECT_EQ(b.positions[0].time.day, 1);
    EXPECT_EQ(b.positions[0].time.hour, 0);
    EXPECT_EQ(b.positions[1].time.day, 29);
    EXPECT_EQ(b.positions[1].time.second, 3);
    EXPECT_EQ(b.samples[1].event_kind, 5);
    EXPECT_EQ(b.samples[1].axis, 2);
    EXPECT_EQ(b.samples[1].extra_flag, 8);
    EXPECT_EQ(b.samples[1].status, 7);
    EXPECT_EQ(b.samples[2].event_kind, 11);
    EXPECT_EQ(b.samples[2].axis, 3);
    EXPECT_EQ(b.samples[3].event_kind, 7);
    EXPECT_EQ(b.samples[3].status, 255);
    EXPECT_EQ(b.samples[0].event_kind, -1);
}

} // namespace
} // namespace kirvano
