// ReportStore against the plain model it replaces: ALL and six mode lists of
// whole reports. Lengths around the one-byte length limit, records across
// chunk edges and lists that stop being of one length are where a compact
// store goes wrong.
#include "bluetooth/report_store.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <tuple>
#include <vector>

namespace lightdeck {
namespace {

void expectSameAsPlainLists(const std::vector<Bytes>& reports)
{
    ReportStore store;
    std::array<std::vector<Bytes>, 7> model;  // indexed by ReportList
    for (const Bytes& r : reports) {
        store.append(r);
        model[0].push_back(r);
        if (r.size() >= 2 && r[1] >= 1 && r[1] <= 6)
            model[r[1]].push_back(r);
    }
    for (std::size_t list = 0; list < model.size(); ++list) {
        const auto which = static_cast<ReportList>(list);
        EXPECT_EQ(store.size(which), model[list].size()) << "list " << list;
        EXPECT_EQ(store.reports(which), model[list]) << "list " << list;
        for (std::size_t position : {0u, 1u, 2u, 3u, 6u, 7u, 254u, 255u, 300u}) {
            std::vector<std::uint8_t> markers, expected;
            store.collectMarkers(which, position, markers);
            for (const Bytes& r : model[list])
                if (position < r.size() && r[position] > 0xF0)
                    expected.push_back(r[position]);
            EXPECT_EQ(markers, expected) << "list " << list << " position " << position;
        }
    }
}

TEST(ReportStoreTest, EdgeReportsLandWhereThePlainListsPutThem)
{
    auto filled = [](std::size_t length, std::uint8_t mode, std::uint8_t fill) { Bytes r(length, fill); r[1] = mode; return r; };
    expectSameAsPlainLists({});
    expectSameAsPlainLists({{}, {0xAA}, {0xAA, 0x02},                        // ALL only, ALL only, shortest HSI
                            {0xAA, 0x00, 0xF5, 0xBB}, {0xAA, 0x07, 0xF5, 0xBB},  // modes 0 and 7: ALL only
                            {0xAA, 0x03, 0xF0, 0xF1, 0xBB},                   // F0 is no marker, F1 is
                            filled(254, 4, 0xF9), filled(255, 5, 0xFA),       // length byte limit
                            filled(256, 6, 0xFB), filled(5000, 1, 0xFC)});    // longer than a chunk
}

// Records start and end at every offset of a chunk; a list of one length is
// scanned by stride, so lists that stop being uniform matter.
TEST(ReportStoreTest, ManyReportsReadBackAsThePlainListsWould)
{
    // {what, lengths cycled through (0: 0 to 300 at random), reports}
    const std::tuple<const char*, std::vector<std::size_t>, std::size_t> cases[] = {{"random lengths", {7, 0, 0}, 6000},
        {"7: never across an edge", {7}, 5000}, {"10: often across one", {10}, 5000}, {"2", {2}, 9000},
        {"longest short", {254}, 400}, {"mixed", {7, 3, 7, 7, 12}, 5000},
        {"uniform, then not", [] { std::vector<std::size_t> l(999, 7); l.push_back(3); return l; }(), 2500}};
    std::mt19937 random(11);
    for (const auto& [what, lengths, count] : cases) {
        SCOPED_TRACE(what);
        std::vector<Bytes> reports;
        for (std::size_t i = 0; i < count; ++i) {
            Bytes r(lengths[i % lengths.size()] ? lengths[i % lengths.size()] : random() % 301);
            for (auto& b : r)
                b = static_cast<std::uint8_t>(random() % 5 == 0 ? 0xF0 + random() % 16 : random() % 0xF0);
            if (r.size() > 1)
                r[1] = static_cast<std::uint8_t>(random() % 8);
            reports.push_back(std::move(r));
        }
        expectSameAsPlainLists(reports);
    }
}

// Kept for the whole run: a 7-byte report in ALL and its mode list costs well
// under two vectors (2 x 24 bytes and heap blocks), with no doubling slack.
TEST(ReportStoreTest, SevenByteReportsTakeAtMostSixteenBytesEach)
{
    ReportStore store;
    for (std::size_t i = 0; i < 200'000; ++i)
        store.append(Bytes{0xAA, static_cast<std::uint8_t>(1 + i % 6), 0x32, 0x32, 0, 0, 0xBB});
    EXPECT_LE(store.memoryBytes(), 9 * 200'000 + 8 * ReportStore::kChunkBytes + 8 * (200'000 / 256 + 64));
}

}  // namespace
}  // namespace lightdeck
