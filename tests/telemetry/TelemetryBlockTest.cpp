// The block decoder on bytes in memory: number fields, coordinates, offsets, time stamps,
// event marks, counts, chained headers and blocks cut short.
#include "telemetry/TelemetryBlock.h"
#include "TelemetryTestData.h"
#include "base/ByteRange.h"
#include "container/JoinDataFile.h"
#include "telemetry/NumberField.h"

#include <algorithm>
#include <cctype>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace kirvano {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ToBytes(std::string_view s) {
    return Bytes(s.begin(), s.end());
}

// A record of blanks with text poked in at offsets.
struct RawRecord {
    std::array<std::uint8_t, kTelemetryRecordSize> bytes;
    RawRecord() { bytes.fill(' '); }
    RawRecord& put(std::size_t offset, std::string_view text) {
        std::memcpy(bytes.data() + offset, text.data(), text.size());
        return *this;
    }
    RawRecord& set(std::size_t offset, std::uint8_t b) {
        bytes[offset] = b;
        return *this;
    }
};

// Header, count field and records, as the decoder sees them (after "CSMDAT").
Bytes Body(std::uint16_t count, const std::vector<RawRecord>& records, std::string_view header = {},
           std::string_view tail = {}) {
    Bytes out(kTelemetryHeaderSize, ' ');
    std::copy_n(header.begin(), std::min(header.size(), out.size()), out.begin());
    out.push_back(static_cast<std::uint8_t>(count >> 8));
    out.push_back(static_cast<std::uint8_t>(count));
    for (const auto& r : records)
        out.insert(out.end(), r.bytes.begin(), r.bytes.end());
    out.insert(out.end(), tail.begin(), tail.end());
    return out;
}

TelemetryBlock Parse(const Bytes& body) {
    TelemetryBlock b;
    EXPECT_TRUE(ParseTelemetryBlock(ByteRange(body.data(), body.size()), b));
    return b;
}

struct RealCase {
    const char* text;
    double value;
};

class RealFieldCase : public ::testing::TestWithParam<RealCase> {};

TEST_P(RealFieldCase, Converts) {
    const Bytes b = ToBytes(GetParam().text);
    EXPECT_DOUBLE_EQ(RealField(b), GetParam().value) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Fields, RealFieldCase,
    ::testing::Values(RealCase{"3539.1234", 3539.1234}, RealCase{"  12.5", 12.5},
                      RealCase{"-0500", -500.0}, RealCase{"+42", 42.0}, RealCase{"", 0.0},
                      RealCase{"    ", 0.0}, RealCase{"abc", 0.0}, RealCase{"12ab", 12.0},
                      RealCase{"1e3", 1000.0}, RealCase{"1e", 1.0}, RealCase{"1e+", 1.0},
                      RealCase{"2E-1", 0.2}, RealCase{".5", 0.5}, RealCase{"5.", 5.0},
                      RealCase{".", 0.0}, RealCase{"-", 0.0}, RealCase{"1 2", 1.0},
                      RealCase{"inf", 0.0}, RealCase{"nan", 0.0}, RealCase{"0x1A", 0.0},
                      RealCase{"9e999", 0.0}, RealCase{"1,5", 1.0}));

struct IntegerCase {
    const char* text;
    long long value;
};

class IntegerFieldCase : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(IntegerFieldCase, Converts) {
    const Bytes b = ToBytes(GetParam().text);
    EXPECT_EQ(IntegerField(b), GetParam().value) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(Fields, IntegerFieldCase,
                         ::testing::Values(IntegerCase{"002", 2}, IntegerCase{" 7", 7},
                                           IntegerCase{"-5", -5}, IntegerCase{"", 0},
                                           IntegerCase{"*", 0}, IntegerCase{"1.9", 1},
                                           IntegerCase{"x1", 0}, IntegerCase{"08", 8}));

TEST(NumberField, AgreesWithTheCLibraryOnPlainDecimals) {
    // Digits, one point and a sign in every arrangement a field can hold: the fast path
    // must round exactly as a full conversion does.
    const char alphabet[] = "0123456789.-";
    std::uint32_t state = 12345;
    for (int n = 0; n < 200000; ++n) {
        std::string text;
        const std::size_t length = 1 + n % 16;
        for (std::size_t i = 0; i < length; ++i) {
            state = state * 1664525u + 1013904223u;
            text += alphabet[(state >> 16) % (i == 0 ? 12 : 11)];
        }
        const Bytes b = ToBytes(text);
        const double expected = std::strtod(text.c_str(), nullptr);
        ASSERT_EQ(RealField(b), expected) << '"' << text << '"';
    }
}

TEST(NumberField, NeverReadsPastTheField) {
    // The digits after the field must not be taken: the field is "12", not "123456".
    const Bytes b = ToBytes("123456");
    EXPECT_EQ(IntegerField(std::span(b).first(2)), 12);
    EXPECT_DOUBLE_EQ(RealField(std::span(b).first(3)), 123.0);
}

struct CoordinateCase {
    const char* lat;
    std::uint8_t lat_sign;
    const char* lon;
    std::uint8_t lon_sign;
    double latitude, longitude;
};

class Coordinates : public ::testing::TestWithParam<CoordinateCase> {};

TEST_P(Coordinates, Decode) {
    const auto& c = GetParam();
    RawRecord r;
    r.put(6, c.lat).set(15, c.lat_sign).put(16, c.lon).set(26, c.lon_sign);
    const TelemetryBlock b = Parse(Body(1, {r}));
    ASSERT_EQ(b.positions.size(), 1u);
    EXPECT_NEAR(b.positions[0].latitude, c.latitude, 1e-6);
    EXPECT_NEAR(b.positions[0].longitude, c.longitude, 1e-6);
}

INSTANTIATE_TEST_SUITE_P(
    Records, Coordinates,
    ::testing::Values(CoordinateCase{"3539.1234", 'N', "13945.0000", 'E', 35.652057, 139.75},
                      CoordinateCase{"3539.1234", 0, "13945.0000", 0, -35.652057, -139.75},
                      CoordinateCase{"3539.1234", 'S', "00030.0000", 'W', 35.652057, 0.5},
                      CoordinateCase{"         ", 'N', "          ", 'E', 0.0, 0.0},
                      CoordinateCase{"0059.9999", 'N', "18000.0000", 'E', 0.99999833, 180.0}));

// The decoded coordinate is exactly the degrees-and-minutes reading with the remainder
// taken by fmod, bit for bit, over a sweep of fields, signs of zero and absurd exponents.
TEST(TelemetryBlockParse, CoordinatesMatchTheRemainderExactly) {
    std::vector<std::string> fields{"-000.0000", "0000.0000", "-3539.123", "1e300    ",
                                    "-1e20    ", "9999.9999", "0.0000001"};
    for (int i = 0; i < 3000; ++i) {
        char text[16];
        std::snprintf(text, sizeof text, "%09.4f", (i * 7919 % 1000000) / 100.0 * (i % 2 ? 1 : -1));
        fields.emplace_back(text, 9);
    }
    std::vector<RawRecord> records(fields.size());
    for (std::size_t i = 0; i < fields.size(); ++i)
        records[i].put(6, fields[i].c_str()).set(15, 'N');
    const TelemetryBlock b = Parse(Body(static_cast<std::uint16_t>(records.size()), records));
    ASSERT_EQ(b.positions.size(), fields.size());
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const double v = RealField(
            std::span(reinterpret_cast<const std::uint8_t*>(fields[i].data()), fields[i].size()));
        const double expected = std::trunc(std::trunc(v) / 100.0) + std::fmod(v, 100.0) / 60.0;
        EXPECT_EQ(std::memcmp(&b.positions[i].latitude, &expected, sizeof expected), 0)
            << fields[i] << ": " << b.positions[i].latitude << " against " << expected;
    }
}

struct OffsetCase {
    char rate;
    std::int32_t index;
    std::int32_t offset_ms;
};

class RecordOffsets : public ::testing::TestWithParam<OffsetCase> {};

TEST_P(RecordOffsets, SinglePrecisionProductTruncated) {
    const auto c = GetParam();
    std::vector<RawRecord> records(static_cast<std::size_t>(c.index) + 1);
    const TelemetryBlock b = Parse(Body(static_cast<std::uint16_t>(records.size()), records,
                                        std::string(25, ' ') + std::string(1, c.rate)));
    ASSERT_EQ(b.positions.size(), records.size());
    EXPECT_EQ(b.positions.back().frame, c.offset_ms);
    EXPECT_EQ(b.samples.back().frame, c.offset_ms);
    EXPECT_EQ(b.samples.back().index, c.index);
}

INSTANTIATE_TEST_SUITE_P(Rates, RecordOffsets,
                         ::testing::Values(OffsetCase{'T', 15, 999}, OffsetCase{'T', 16, 1066},
                                           OffsetCase{'T', 1, 66}, OffsetCase{'N', 10, 1000},
                                           OffsetCase{'X', 3, 300}, OffsetCase{'t', 15, 1500}));

struct TimeCase {
    const char* fields; // yymmddhhmmss at record offset 31
    const char* correction;
    CivilTime expected;
};

class RecordTimes : public ::testing::TestWithParam<std::tuple<const char*, TimeCase>> {
protected:
    void SetUp() override {
        const char* old = std::getenv("TZ");
        saved_ = old ? std::optional<std::string>(old) : std::nullopt;
        setenv("TZ", std::get<0>(GetParam()), 1);
        tzset();
    }
    void TearDown() override {
        if (saved_)
            setenv("TZ", saved_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    std::optional<std::string> saved_;
};

TEST_P(RecordTimes, SameLocalTimeInEveryZone) {
    const TimeCase& c = std::get<1>(GetParam());
    RawRecord r;
    r.put(31, c.fields).put(44, c.correction);
    const TelemetryBlock b = Parse(Body(1, {r}));
    ASSERT_EQ(b.positions.size(), 1u);
    const CivilTime& t = b.positions[0].time;
    const CivilTime& e = c.expected;
    EXPECT_EQ(std::tie(t.year, t.month, t.day, t.hour, t.minute, t.second, t.day_of_week),
              std::tie(e.year, e.month, e.day, e.hour, e.minute, e.second, e.day_of_week))
        << c.fields << " + " << c.correction;
    EXPECT_EQ(t.milliseconds, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Zones, RecordTimes,
    ::testing::Combine(
        ::testing::Values("UTC", "Asia/Tokyo", "America/New_York", "Europe/Berlin"),
        ::testing::Values(
            // 2022-08-18 was a Thursday.
            TimeCase{"220818235959", "002", {2022, 8, 5, 19, 0, 0, 1, 0}},
            TimeCase{"220818235959", "*99", {2022, 8, 4, 18, 23, 59, 59, 0}},
            TimeCase{"220818120000", "   ", {2022, 8, 4, 18, 12, 0, 0, 0}},
            TimeCase{"220818120000", "-30", {2022, 8, 4, 18, 11, 59, 30, 0}},
            TimeCase{"220018120000", "*  ", {2021, 12, 6, 18, 12, 0, 0, 0}},
            TimeCase{"221301000000", "*  ", {2023, 1, 0, 1, 0, 0, 0, 0}},
            TimeCase{"240229235960", "*  ", {2024, 3, 5, 1, 0, 0, 0, 0}},
            TimeCase{"230228240000", "*  ", {2023, 3, 3, 1, 0, 0, 0, 0}},
            // The night the clocks change in Europe and America: no hour is lost or doubled.
            TimeCase{"220327023000", "*  ", {2022, 3, 0, 27, 2, 30, 0, 0}},
            TimeCase{"221106013000", "*  ", {2022, 11, 0, 6, 1, 30, 0, 0}},
            TimeCase{"            ", "*  ", {1999, 11, 2, 30, 0, 0, 0, 0}})));

struct EventCase {
    std::vector<std::pair<std::size_t, char>> marks;
    std::int32_t event_kind, extra_flag, axis;
};

class EventMarks : public ::testing::TestWithParam<EventCase> {};

TEST_P(EventMarks, Decode) {
    const auto& c = GetParam();
    RawRecord r;
    r.put(72, "NNNNNN");
    for (auto [offset, letter] : c.marks)
        r.set(offset, static_cast<std::uint8_t>(letter));
    const TelemetryBlock b = Parse(Body(1, {r}));
    ASSERT_EQ(b.samples.size(), 1u);
    EXPECT_EQ(b.samples[0].event_kind, c.event_kind);
    EXPECT_EQ(b.samples[0].extra_flag, c.extra_flag);
    EXPECT_EQ(b.samples[0].axis, c.axis);
}

INSTANTIATE_TEST_SUITE_P(
    Records, EventMarks,
    ::testing::Values(EventCase{{}, -1, 0, 0}, EventCase{{{75, 'D'}, {72, 'D'}}, 6, 0, 0},
                      EventCase{{{74, 'A'}}, 12, 0, 0}, EventCase{{{74, 'B'}}, 13, 0, 0},
                      EventCase{{{74, 'H'}}, 11, 0, 0}, EventCase{{{72, 'D'}, {76, 'D'}}, 5, 0, 0},
                      EventCase{{{76, 'D'}, {74, 'A'}}, 7, 0, 0},
                      EventCase{{{72, 'D'}, {74, 'B'}}, 5, 0, 0},
                      EventCase{{{77, 'D'}, {73, 'X'}}, -1, 8, 1}, EventCase{{{73, 'Y'}}, -1, 0, 2},
                      EventCase{{{73, 'Z'}}, -1, 0, 3},
                      EventCase{{{73, 'x'}, {72, 'd'}}, -1, 0, 0}));

TEST(TelemetryBlockParse, GpsStatusAndStatusByte) {
    std::vector<RawRecord> r(3);
    r[0].set(5, 'A').set(122, 0xFE);
    r[1].set(5, 'V').put(6, "3539.1234").set(15, 'N');
    r[2].set(5, 'a');
    const TelemetryBlock b = Parse(Body(3, r));
    ASSERT_EQ(b.positions.size(), 3u);
    EXPECT_EQ(b.positions[0].gps_valid, 1);
    EXPECT_EQ(b.samples[0].status, 0xFE);
    EXPECT_EQ(b.positions[1].gps_valid, 0);
    EXPECT_NEAR(b.positions[1].latitude, 35.652057, 1e-6) << "invalid fixes keep coordinates";
    EXPECT_EQ(b.positions[2].gps_valid, 0);
    EXPECT_EQ(b.positions[2].heading, 0.0);
}

TEST(TelemetryBlockParse, GValuesAreSinglePrecisionOverAThousand) {
    RawRecord r;
    r.put(57, "-1234").put(62, "  500").put(67, "12.34");
    const TelemetryBlock b = Parse(Body(1, {r}));
    ASSERT_EQ(b.samples.size(), 1u);
    EXPECT_DOUBLE_EQ(b.samples[0].x, -1.234);
    EXPECT_DOUBLE_EQ(b.samples[0].y, 0.5);
    EXPECT_DOUBLE_EQ(b.samples[0].z, static_cast<double>(12.34f) / 1000.0);
}

struct HeaderCase {
    std::string header;
    std::array<float, 4> values;
    char kind;
    const char* version;
    char rate;
    float interval;
};

class Headers : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(Headers, Decode) {
    const auto& c = GetParam();
    Bytes body = ToBytes(c.header);
    body.resize(std::max<std::size_t>(body.size(), 28 + kTelemetryRecordSize), ' ');
    TelemetryHeader h;
    float interval = 0;
    ASSERT_TRUE(DecodeTelemetryHeader(ByteRange(body.data(), body.size()), h, interval));
    EXPECT_EQ(h.values, c.values);
    EXPECT_EQ(h.kind, c.kind);
    EXPECT_EQ(std::string(h.version.begin(), h.version.end()), c.version);
    EXPECT_EQ(h.rate, c.rate);
    EXPECT_FLOAT_EQ(interval, c.interval);
}

// A chained header sits 34 bytes on, announced by "@CS" and a capital letter at 30 to 33.
std::string Chained(const std::vector<std::string>& headers, const char* mark) {
    std::string out;
    for (std::size_t i = 0; i < headers.size(); ++i) {
        out += headers[i];
        if (i + 1 < headers.size())
            out += std::string("  ") + "  " + mark; // count (2), two bytes, mark (4)
    }
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, Headers,
    ::testing::Values(
        HeaderCase{
            "1000025000005000M010203HNN", {1.0f, 0.25f, 0.0f, 5.0f}, 'M', "010203", 'N', 100.0f},
        HeaderCase{"1000025000005000D010203HNT",
                   {1.0f, 0.25f, 0.0f, 5.0f},
                   'D',
                   "010203",
                   'T',
                   66.666664f},
        HeaderCase{"1000025000005000X010203HNT",
                   {-1.0f, -1.0f, -1.0f, -1.0f},
                   'X',
                   "010203",
                   'T',
                   66.666664f},
        HeaderCase{Chained({"1000100010001000M010000HNN", "2000200020002000D020000HNT"}, "@CSB"),
                   {2.0f, 2.0f, 2.0f, 2.0f},
                   'D',
                   "020000",
                   'T',
                   66.666664f},
        HeaderCase{Chained({"1000100010001000M010000HNT", "2000200020002000D020000HNN",
                            "3000300030003000M030000HNN"},
                           "@CSZ"),
                   {3.0f, 3.0f, 3.0f, 3.0f},
                   'M',
                   "030000",
                   'N',
                   100.0f},
        HeaderCase{Chained({"1000100010001000M010000HNT", "2000200020002000D020000HNN"}, "@CSa"),
                   {1.0f, 1.0f, 1.0f, 1.0f},
                   'M',
                   "010000",
                   'T',
                   66.666664f},
        HeaderCase{Chained({"1000100010001000M010000HNT", "2000200020002000D020000HNN"}, "@CX1"),
                   {1.0f, 1.0f, 1.0f, 1.0f},
                   'M',
                   "010000",
                   'T',
                   66.666664f}));

// One table of blocks read both ways: tolerantly as the viewer decodes them, and strictly
// as the join takes their raw records. An end marker is never a record in either; a
// strict reading refuses a counted block that is cut off before its count or marker.
struct ReadCase {
    const char* name;
    std::uint16_t count;
    std::size_t whole_records;
    std::size_t extra_bytes; // a partial record, or what follows the end marker
    std::string tail;
    std::size_t tolerant;
    int strict; // records the join takes, -1 refused
    bool chained = false;
};

class BlockReadings : public ::testing::TestWithParam<ReadCase> {};

TEST_P(BlockReadings, EndWhereTheRecordsEnd) {
    const auto& c = GetParam();
    std::vector<RawRecord> records(c.whole_records);
    for (std::size_t i = 0; i < records.size(); ++i)
        records[i].put(57, std::to_string(10000 + i)).set(5, 'A');
    std::string header;
    if (c.chained) {
        // A second header over record 0, announced by "@CS" + letter in its bytes 2 to 5.
        const std::string h =
            Chained({"1000100010001000M010000HNN", "2000200020002000D020000HNT"}, "@CSB");
        header = h.substr(0, 26);
        records.at(0).put(0, h.substr(28));
    }
    Bytes body = Body(c.count, records, header, c.tail);
    body.resize(body.size() + c.extra_bytes, 'x');

    TelemetryBlock b;
    EXPECT_TRUE(ParseTelemetryBlock(ByteRange(body.data(), body.size()), b));
    ASSERT_EQ(b.samples.size(), c.tolerant);
    EXPECT_EQ(b.positions.size(), c.tolerant);
    for (std::size_t i = 0; i < c.tolerant; ++i)
        EXPECT_DOUBLE_EQ(b.samples[i].x, static_cast<double>(10000 + i) / 1000.0);
    EXPECT_EQ(b.header.kind, c.chained ? 'D' : ' ');
    EXPECT_EQ(b.record_interval_ms, c.chained ? kFastRecordIntervalMs : kNormalRecordIntervalMs);

    Bytes block(6 + body.size());
    std::memcpy(block.data(), "CSMDAT", 6);
    std::copy(body.begin(), body.end(), block.begin() + 6);
    auto taken = TakeTelemetryRecords(ByteRange(block.data(), block.size()));
    ASSERT_EQ(static_cast<bool>(taken), c.strict >= 0) << (taken ? "" : taken.error());
    if (!taken)
        return;
    EXPECT_EQ(taken->count, static_cast<std::uint32_t>(c.strict));
    EXPECT_TRUE(std::equal(taken->header.begin(), taken->header.end(), body.begin()));
    ASSERT_EQ(taken->records.size(), c.strict * kTelemetryRecordSize);
    EXPECT_TRUE(std::equal(taken->records.begin(), taken->records.end(), block.begin() + 34));
    const auto span =
        LocateTelemetryRecords(ByteRange(body.data(), body.size()), BlockReading::Strict);
    ASSERT_TRUE(span);
    EXPECT_EQ(span->header.kind, b.header.kind);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, BlockReadings,
    ::testing::Values(ReadCase{"count zero", 0, 3, 0, "CSMEND", 0, 0},
                      ReadCase{"exact", 3, 3, 0, "CSMEND", 3, 3},
                      ReadCase{"count below records", 2, 3, 0, "CSMEND", 2, 2},
                      ReadCase{"counted, no end marker", 3, 3, 0, "", 3, 3},
                      ReadCase{"count past the end of the bytes", 500, 3, 0, "", 3, -1},
                      ReadCase{"cut off mid-record", 5, 3, 60, "", 3, -1},
                      ReadCase{"end marker inside the counted range", 9, 3, 400, "CSMEND", 3, 3},
                      ReadCase{"end marker as the last counted record", 4, 3, 118, "CSMEND", 3, 3},
                      ReadCase{"open count", 0xFFFF, 4, 0, std::string("CSMEND\0\0\0\4", 10), 4, 4},
                      ReadCase{"open count without end marker", 0xFFFF, 4, 100, "", 4, 4},
                      ReadCase{"open count, no records", 0xFFFF, 0, 0, "CSMEND", 0, 0},
                      ReadCase{"chained headers", 3, 3, 0, "CSMEND", 3, 3, true},
                      ReadCase{"chained headers, cut off", 4, 3, 0, "", 3, -1, true}),
    [](const auto& info) {
        std::string name = info.param.name;
        std::replace_if(
            name.begin(), name.end(),
            [](char ch) { return !std::isalnum(static_cast<unsigned char>(ch)); }, '_');
        return name;
    });

TEST(TelemetryBlockParse, TooShortForHeaderAndCountFails) {
    for (std::size_t size : {0, 1, 25, 26, 27}) {
        Bytes body(size, ' ');
        TelemetryBlock b;
        b.samples.resize(3);
        EXPECT_FALSE(ParseTelemetryBlock(ByteRange(body.data(), body.size()), b)) << size;
        EXPECT_TRUE(b.samples.empty());
    }
    Bytes body(28, ' ');
    body[26] = 0;
    body[27] = 9;
    TelemetryBlock b;
    EXPECT_TRUE(ParseTelemetryBlock(ByteRange(body.data(), body.size()), b));
    EXPECT_TRUE(b.samples.empty());
}

TEST(TelemetryBlockParse, AbortLeavesNothing) {
    const Bytes body = Body(3, std::vector<RawRecord>(3));
    TelemetryBlock b;
    EXPECT_FALSE(ParseTelemetryBlock(ByteRange(body.data(), body.size()), b, [] { return true; }));
    EXPECT_TRUE(b.samples.empty());
    EXPECT_TRUE(b.positions.empty());
}

} // namespace
} // namespace kirvano
