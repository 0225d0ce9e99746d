#include "bluetooth/report_store.h"

#include <algorithm>
#include <cstring>

namespace lightdeck {

// ---- Chunks ----------------------------------------------------------------

void ReportStore::Chunks::append(const std::uint8_t* data, std::size_t count)
{
    while (count > 0) {
        const std::size_t within = m_size % kChunkBytes;
        if (within == 0 && m_size / kChunkBytes == m_chunks.size())
            m_chunks.push_back(std::make_unique_for_overwrite<std::uint8_t[]>(kChunkBytes));
        const std::size_t n = std::min(count, kChunkBytes - within);
        std::memcpy(m_chunks[m_size / kChunkBytes].get() + within, data, n);
        m_size += n;
        data += n;
        count -= n;
    }
}

void ReportStore::Chunks::push(std::uint8_t byte) { append(&byte, 1); }

void ReportStore::Chunks::copy(std::size_t offset, std::size_t count, std::uint8_t* out) const
{
    while (count > 0) {
        const std::size_t within = offset % kChunkBytes;
        const std::size_t n = std::min(count, kChunkBytes - within);
        std::memcpy(out, m_chunks[offset / kChunkBytes].get() + within, n);
        out += n;
        offset += n;
        count -= n;
    }
}

std::span<const std::uint8_t> ReportStore::Chunks::contiguous(std::size_t offset, std::size_t count) const
{
    const std::size_t within = offset % kChunkBytes;
    if (count == 0 || within + count > kChunkBytes)
        return {};
    return {m_chunks[offset / kChunkBytes].get() + within, count};
}

std::size_t ReportStore::Chunks::memoryBytes() const
{
    return m_chunks.size() * kChunkBytes + m_chunks.capacity() * sizeof(m_chunks[0]);
}

// ---- ReportStore -----------------------------------------------------------

std::size_t ReportStore::streamOf(std::span<const std::uint8_t> report)
{
    // Byte 1 is the mode; a report too short to carry it has none.
    if (report.size() < 2 || report[1] < 1 || report[1] > 6)
        return 0;
    return report[1];
}

void ReportStore::append(std::span<const std::uint8_t> report)
{
    const std::size_t s = streamOf(report);
    Chunks& stream = m_streams[s];
    if (report.size() < kLongLength) {
        // The common case, a 7-byte report: one small copy.
        std::uint8_t record[kLongLength];
        record[0] = static_cast<std::uint8_t>(report.size());
        std::copy(report.begin(), report.end(), record + 1);
        stream.append(record, report.size() + 1);
    } else {
        const auto length = static_cast<std::uint32_t>(report.size());
        const std::uint8_t header[5] = {kLongLength, static_cast<std::uint8_t>(length),
                                        static_cast<std::uint8_t>(length >> 8),
                                        static_cast<std::uint8_t>(length >> 16),
                                        static_cast<std::uint8_t>(length >> 24)};
        stream.append(header, sizeof header);
        stream.append(report.data(), report.size());
    }
    ++m_counts[s];
    m_order.push(static_cast<std::uint8_t>(s));
    int& uniform = m_uniformLength[s];
    const int length = report.size() < kLongLength ? static_cast<int>(report.size()) : kMixedLengths;
    if (uniform == kNoRecord)
        uniform = length;
    else if (uniform != length)
        uniform = kMixedLengths;
}

ReportStore::Record ReportStore::readRecord(const Chunks& stream, std::size_t offset)
{
    const std::uint8_t first = stream.at(offset);
    if (first != kLongLength)
        return {first, offset + 1};
    std::size_t length = 0;
    for (std::size_t i = 0; i < 4; ++i)
        length |= static_cast<std::size_t>(stream.at(offset + 1 + i)) << (8 * i);
    return {length, offset + 5};
}

std::size_t ReportStore::size(ReportList list) const
{
    return list == ReportList::ALL ? m_order.size() : m_counts[static_cast<std::size_t>(list)];
}

std::vector<Bytes> ReportStore::reports(ReportList list) const
{
    std::vector<Bytes> copies;
    copies.reserve(size(list));
    forEach(list, [&](std::span<const std::uint8_t> report) { copies.emplace_back(report.begin(), report.end()); });
    return copies;
}

void ReportStore::collectMarkers(ReportList list, std::size_t position, std::vector<std::uint8_t>& out) const
{
    auto scanStream = [&](const Chunks& stream, std::size_t offset) {
        const Record record = readRecord(stream, offset);
        if (position < record.length) {
            const std::uint8_t byte = stream.at(record.data + position);
            if (byte > 0xF0)
                out.push_back(byte);
        }
        return record.data + record.length;
    };
    if (list != ReportList::ALL) {
        const auto s = static_cast<std::size_t>(list);
        collectFromStream(m_streams[s], m_uniformLength[s], position, out);
        return;
    }
    std::array<std::size_t, kStreams> cursor{};
    for (std::size_t i = 0; i < m_order.size(); ++i) {
        const std::size_t s = m_order.at(i);
        cursor[s] = scanStream(m_streams[s], cursor[s]);
    }
}

void ReportStore::collectFromStream(const Chunks& stream, int uniformLength, std::size_t position,
                                    std::vector<std::uint8_t>& out)
{
    if (uniformLength >= 0) {
        // Every record is a length byte and uniformLength bytes: the byte
        // wanted sits at a fixed stride, and the reads do not wait on each
        // other.
        const auto length = static_cast<std::size_t>(uniformLength);
        if (position >= length)
            return;
        for (std::size_t offset = 1 + position; offset < stream.size(); offset += length + 1) {
            const std::uint8_t byte = stream.at(offset);
            if (byte > 0xF0)
                out.push_back(byte);
        }
        return;
    }
    // The hot loop of every panel build: most records (a length byte and a
    // short report) lie inside one chunk and are read straight from it.
    for (std::size_t offset = 0; offset < stream.size();) {
        const std::size_t within = offset % kChunkBytes;
        const std::uint8_t* chunk = stream.chunkAt(offset);
        const std::uint8_t length = chunk[within];
        if (length != kLongLength && within + 1 + length <= kChunkBytes) {
            if (position < length && chunk[within + 1 + position] > 0xF0)
                out.push_back(chunk[within + 1 + position]);
            offset += 1 + std::size_t{length};
            continue;
        }
        const Record record = readRecord(stream, offset);
        if (position < record.length) {
            const std::uint8_t byte = stream.at(record.data + position);
            if (byte > 0xF0)
                out.push_back(byte);
        }
        offset = record.data + record.length;
    }
}

std::size_t ReportStore::memoryBytes() const
{
    std::size_t total = m_order.memoryBytes();
    for (const Chunks& stream : m_streams)
        total += stream.memoryBytes();
    return total;
}

}  // namespace lightdeck
