#pragma once
// ReportStore: every report the lights sent, kept for the whole run in the
// seven lists the panels read (ALL and one per mode), compactly.
//
// A report of mode 1..6 (byte 1) is in ALL and in its mode's list, but its
// bytes are stored once: each mode has its own byte stream, reports with no
// mode (byte 1 outside 1..6, or too short to have one) a seventh, and ALL is
// the arrival order, one byte per report naming the stream that holds it.
// A record in a stream is a length byte (255: four more length bytes follow,
// little-endian) and the report's bytes. A 7-byte report thus costs 9 bytes.
//
// Streams grow in fixed chunks of kChunkBytes that never move or double, so
// there is no spare capacity beyond the last chunk of each stream. A stream
// whose reports all have one length (the usual 7 bytes) is scanned by
// stride, without reading each length.
//
// Not thread-safe: the owner (OxBlueTooth) serialises access.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "protocol/bytes.h"

namespace lightdeck {

// The per-mode report lists; a report's byte 1 is its mode (1..6).
enum class ReportList { ALL, CCT, HSI, EFF, SET, SOS, GPM };

class ReportStore {
public:
    // Bytes a stream takes from the heap at a time.
    static constexpr std::size_t kChunkBytes = 4096;

    // Stores the report: in ALL and, when its byte 1 is 1..6, in that mode's
    // list. Empty and 1-byte reports are in ALL only.
    void append(std::span<const std::uint8_t> report);

    // Number of reports in the list.
    std::size_t size(ReportList list) const;

    // Calls visit(std::span<const std::uint8_t>) with each report of the list
    // in order of arrival. The span is valid during the call only.
    template <typename Visit>
    void forEach(ReportList list, Visit&& visit) const;

    // Copies of the list's reports, in order of arrival.
    std::vector<Bytes> reports(ReportList list) const;

    // Appends to `out` the byte at `position` (0-based) of each report of the
    // list that is a marker (above 0xF0), in order of arrival. Reports too
    // short to have that position are skipped.
    void collectMarkers(ReportList list, std::size_t position, std::vector<std::uint8_t>& out) const;

    // Heap bytes held: every chunk, and the chunk tables' capacity.
    std::size_t memoryBytes() const;

private:
    // An append-only byte sequence in fixed chunks.
    class Chunks {
    public:
        void append(const std::uint8_t* data, std::size_t count);
        void push(std::uint8_t byte);
        std::uint8_t at(std::size_t offset) const
        {
            return m_chunks[offset / kChunkBytes][offset % kChunkBytes];
        }
        // Copies count bytes from offset into out.
        void copy(std::size_t offset, std::size_t count, std::uint8_t* out) const;
        // count bytes at offset as one span when they lie in one chunk;
        // empty otherwise.
        std::span<const std::uint8_t> contiguous(std::size_t offset, std::size_t count) const;
        std::size_t size() const { return m_size; }
        std::size_t memoryBytes() const;
        // The chunk holding offset.
        const std::uint8_t* chunkAt(std::size_t offset) const { return m_chunks[offset / kChunkBytes].get(); }

    private:
        std::vector<std::unique_ptr<std::uint8_t[]>> m_chunks;
        std::size_t m_size = 0;
    };

    // Streams: 0 holds reports without a mode, 1..6 the reports of that mode.
    static constexpr std::size_t kStreams = 7;
    // Length byte value that announces a four-byte length.
    static constexpr std::uint8_t kLongLength = 0xFF;

    // Reads the record at offset of a stream: its length and the offset of
    // its first byte.
    struct Record {
        std::size_t length = 0;
        std::size_t data = 0;
    };
    static Record readRecord(const Chunks& stream, std::size_t offset);
    static void collectFromStream(const Chunks& stream, int uniformLength, std::size_t position,
                                  std::vector<std::uint8_t>& out);

    // uniform length of a stream: every record so far has this length (then
    // record k starts at k * (length + 1)); kNoRecord before the first,
    // kMixedLengths once two lengths (or a long one) were seen.
    static constexpr int kNoRecord = -2;
    static constexpr int kMixedLengths = -1;
    static std::size_t streamOf(std::span<const std::uint8_t> report);
    template <typename Visit>
    static void visitRecord(const Chunks& stream, const Record& record, std::vector<std::uint8_t>& scratch,
                            Visit& visit);

    std::array<Chunks, kStreams> m_streams;
    std::array<std::size_t, kStreams> m_counts{};
    std::array<int, kStreams> m_uniformLength{kNoRecord, kNoRecord, kNoRecord, kNoRecord,
                                              kNoRecord, kNoRecord, kNoRecord};
    // One byte a report, in order of arrival: the stream that holds it.
    Chunks m_order;
};

template <typename Visit>
void ReportStore::visitRecord(const Chunks& stream, const Record& record, std::vector<std::uint8_t>& scratch,
                              Visit& visit)
{
    if (auto whole = stream.contiguous(record.data, record.length); whole.size() == record.length) {
        visit(whole);
        return;
    }
    scratch.resize(record.length);
    stream.copy(record.data, record.length, scratch.data());
    visit(std::span<const std::uint8_t>(scratch));
}

template <typename Visit>
void ReportStore::forEach(ReportList list, Visit&& visit) const
{
    std::vector<std::uint8_t> scratch;
    if (list != ReportList::ALL) {
        const Chunks& stream = m_streams[static_cast<std::size_t>(list)];
        for (std::size_t offset = 0; offset < stream.size();) {
            const Record record = readRecord(stream, offset);
            visitRecord(stream, record, scratch, visit);
            offset = record.data + record.length;
        }
        return;
    }
    // ALL: follow the arrival order through every stream.
    std::array<std::size_t, kStreams> cursor{};
    for (std::size_t i = 0; i < m_order.size(); ++i) {
        const std::size_t s = m_order.at(i);
        const Record record = readRecord(m_streams[s], cursor[s]);
        visitRecord(m_streams[s], record, scratch, visit);
        cursor[s] = record.data + record.length;
    }
}

}  // namespace lightdeck
