// ReportStore against the plain model it replaces: seven lists of whole
// reports. Lengths around the one-byte length limit and records that straddle
// chunk boundaries are where a compact store goes wrong.
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <vector>

#include "bluetooth/report_store.h"

namespace lightdeck {
namespace {

constexpr std::array<ReportList, 7> kLists{ReportList::ALL, ReportList::CCT, ReportList::HSI, ReportList::EFF,
                                           ReportList::SET, ReportList::SOS, ReportList::GPM};

// The reference: every report copied into ALL and into its mode's list.
struct ModelStore {
    std::array<std::vector<Bytes>, 7> lists;
    void append(const Bytes& report)
    {
        lists[0].push_back(report);
        if (report.size() >= 2 && report[1] >= 1 && report[1] <= 6)
            lists[report[1]].push_back(report);
    }
    std::vector<std::uint8_t> markers(ReportList list, std::size_t position) const
    {
        std::vector<std::uint8_t> out;
        for (const Bytes& r : lists[static_cast<std::size_t>(list)])
            if (position < r.size() && r[position] > 0xF0)
                out.push_back(r[position]);
        return out;
    }
};

void expectSame(const ReportStore& store, const ModelStore& model, const char* what)
{
    for (ReportList list : kLists) {
        const auto& expected = model.lists[static_cast<std::size_t>(list)];
        EXPECT_EQ(store.size(list), expected.size()) << what << " list " << static_cast<int>(list);
        EXPECT_EQ(store.reports(list), expected) << what << " list " << static_cast<int>(list);
        for (std::size_t position : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 254u, 255u, 300u}) {
            std::vector<std::uint8_t> markers;
            store.collectMarkers(list, position, markers);
            EXPECT_EQ(markers, model.markers(list, position))
                << what << " list " << static_cast<int>(list) << " position " << position;
        }
    }
}

Bytes filled(std::size_t length, std::uint8_t mode, std::uint8_t fill)
{
    Bytes r(length, fill);
    if (length > 0)
        r[0] = 0xAA;
    if (length > 1)
        r[1] = mode;
    return r;
}

TEST(ReportStoreTest, EdgeReportsLandWhereThePlainListsPutThem)
{
    const std::vector<Bytes> reports{
        {},                                          // empty: ALL only
        {0xAA},                                      // no mode byte: ALL only
        {0xAA, 0x02},                                // shortest HSI report
        {0xAA, 0x01, 0xFF, 0x32, 0x00, 0x00, 0xBB},  // CCT with a marker
        {0xAA, 0x00, 0xF5, 0xF5, 0xF5, 0xF5, 0xBB},  // mode 0: ALL only
        {0xAA, 0x07, 0xF5, 0xF5, 0xF5, 0xF5, 0xBB},  // mode 7: ALL only
        {0xAA, 0x03, 0x00, 0xF0, 0xF1, 0x00, 0xBB},  // F0 is no marker, F1 is
        filled(254, 4, 0xF9),                        // longest one-byte length
        filled(255, 5, 0xFA),                        // first four-byte length
        filled(256, 6, 0xFB),
        filled(5000, 1, 0xFC),                       // longer than a chunk
        {0xAA, 0x06, 0xFF, 0xFF, 0xFF, 0xFF, 0xBB},
    };
    ReportStore store;
    ModelStore model;
    expectSame(store, model, "empty store");
    for (const Bytes& r : reports) {
        store.append(r);
        model.append(r);
    }
    expectSame(store, model, "edge reports");
}

// Many reports of every length 0..300 in random modes, so records start and
// end at every offset of a chunk, in every stream.
TEST(ReportStoreTest, RandomReportsAcrossChunkBoundariesReadBackExactly)
{
    std::mt19937 random(7);
    ReportStore store;
    ModelStore model;
    for (int i = 0; i < 6000; ++i) {
        const std::size_t length = i % 3 == 0 ? 7 : random() % 301;
        Bytes r(length);
        for (auto& b : r)
            b = static_cast<std::uint8_t>(random() % 2 ? 0xE8 + random() % 24 : random());
        if (length > 1)
            r[1] = static_cast<std::uint8_t>(random() % 8);
        store.append(r);
        model.append(r);
    }
    expectSame(store, model, "random reports");
}

// A list whose reports all have one length is scanned by stride: lengths
// that put records across chunk edges, and a list that stops being uniform
// half way, must read back as the plain lists do.
struct LengthCase {
    const char* what;
    std::vector<std::size_t> lengths;  // cycled through, one report each
    std::size_t reports;
};

class ReportStoreLengthTest : public ::testing::TestWithParam<LengthCase> {};

// `count` lengths of 7, then one other.
std::vector<std::size_t> sevensThen(std::size_t count, std::size_t other)
{
    std::vector<std::size_t> lengths(count, 7);
    lengths.push_back(other);
    return lengths;
}

TEST_P(ReportStoreLengthTest, ScansMatchThePlainLists)
{
    const auto& param = GetParam();
    std::mt19937 random(11);
    ReportStore store;
    ModelStore model;
    for (std::size_t i = 0; i < param.reports; ++i) {
        const std::size_t length = param.lengths[i % param.lengths.size()];
        Bytes r(length);
        for (auto& b : r)
            b = static_cast<std::uint8_t>(random() % 5 == 0 ? 0xF0 + random() % 16 : random() % 0xF0);
        if (length > 1)
            r[1] = static_cast<std::uint8_t>(1 + random() % 6);
        store.append(r);
        model.append(r);
    }
    expectSame(store, model, param.what);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, ReportStoreLengthTest,
    ::testing::Values(LengthCase{"sevenBytes", {7}, 5000},           // 8-byte records: never across an edge
                      LengthCase{"tenBytes", {10}, 5000},            // 11-byte records: many across an edge
                      LengthCase{"twoBytes", {2}, 9000},
                      LengthCase{"longestShort", {254}, 400},
                      LengthCase{"sevenThenMixed", sevensThen(999, 3), 2500},
                      LengthCase{"mixed", {7, 3, 7, 7, 12}, 5000}),
    [](const auto& info) { return std::string(info.param.what); });

TEST(ReportStoreTest, ForEachVisitsInArrivalOrderWithTheWholeReport)
{
    ReportStore store;
    store.append(Bytes{0xAA, 0x01, 1, 0, 0, 0, 0xBB});
    store.append(Bytes{0xAA, 0x02, 2, 0, 0, 0, 0xBB});
    store.append(Bytes{0xAA, 0x01, 3, 0, 0, 0, 0xBB});
    std::vector<int> all;
    store.forEach(ReportList::ALL, [&](std::span<const std::uint8_t> r) { all.push_back(r[2]); });
    EXPECT_EQ(all, (std::vector<int>{1, 2, 3}));
    std::vector<int> cct;
    store.forEach(ReportList::CCT, [&](std::span<const std::uint8_t> r) { cct.push_back(r[2]); });
    EXPECT_EQ(cct, (std::vector<int>{1, 3}));
}

// Reports are kept for the whole run: a 7-byte report in ALL and its mode
// list must cost well under the two vectors (2 x 24 bytes plus their heap
// blocks) it would otherwise take. Counted by capacity, chunk tables included.
TEST(ReportStoreTest, SevenByteReportsTakeAtMostSixteenBytesEach)
{
    for (std::size_t count : {10'000u, 200'000u}) {
        ReportStore store;
        for (std::size_t i = 0; i < count; ++i)
            store.append(Bytes{0xAA, static_cast<std::uint8_t>(1 + i % 6), 0x32, 0x32, 0, 0, 0xBB});
        EXPECT_EQ(store.size(ReportList::ALL), count);
        EXPECT_LE(store.memoryBytes(), 16 * count) << count << " reports";
        // Fixed chunks: nothing beyond the last chunk of each stream.
        EXPECT_LE(store.memoryBytes(), 9 * count + 8 * ReportStore::kChunkBytes + 8 * (count / 256 + 64))
            << count << " reports";
    }
}

}  // namespace
}  // namespace lightdeck
