#include "imaging/HuffmanDeflate.h"

#include <queue>
#include <algorithm>
#include <array>
#include <cstring>

namespace lumavo {

namespace {

// Each block gets a code of its own for this much data, as zlib's blocks
// do: smooth photos change their statistics along a row, and short blocks
// follow that (a block's header is about 150 bytes).
constexpr size_t kBlockBytes = size_t(1) << 14;
// A stored block holds at most this many bytes.
constexpr size_t kStoredMax = 65535;
constexpr int kEndOfBlock = 256;
constexpr int kLiteralCodes = 257; // the bytes and the end of the block
constexpr int kMaxCodeLength = 15;
constexpr int kMaxLengthCodeLength = 7;
// The order in which the lengths of the code-length code are sent.
constexpr std::array<int, 19> kLengthCodeOrder = { 16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15 };

// Writes bits from the least significant end, as deflate packs them, into
// memory the caller has made room for.
class BitSink {
public:
    explicit BitSink(uint8_t* at)
        : m_at(at)
    {
    }
    // At most 32 bits at a time.
    void Put(uint32_t bits, int count)
    {
        m_bits |= uint64_t(bits) << m_count;
        m_count += count;
        if (m_count >= 32)
            Spill();
    }
    // Two codes of at most 15 bits each.
    void PutTwo(uint32_t a, int aCount, uint32_t b, int bCount)
    {
        m_bits |= uint64_t(a) << m_count;
        m_count += aCount;
        m_bits |= uint64_t(b) << m_count;
        m_count += bCount;
        if (m_count >= 32)
            Spill();
    }
    // Pads with zero bits to the next byte.
    void Align()
    {
        while (m_count > 0) {
            *m_at++ = uint8_t(m_bits);
            m_bits >>= 8;
            m_count -= 8;
        }
        m_bits = 0;
        m_count = 0;
    }
    // Bytes as they are; the sink must be aligned.
    void Copy(const uint8_t* data, size_t size)
    {
        if (size == 0)
            return;
        std::memcpy(m_at, data, size);
        m_at += size;
    }
    uint8_t* End()
    {
        Align();
        return m_at;
    }

private:
    void Spill()
    {
        const auto low = uint32_t(m_bits);
        m_at[0] = uint8_t(low);
        m_at[1] = uint8_t(low >> 8);
        m_at[2] = uint8_t(low >> 16);
        m_at[3] = uint8_t(low >> 24);
        m_at += 4;
        m_bits >>= 32;
        m_count -= 32;
    }

    uint8_t* m_at;
    uint64_t m_bits = 0;
    int m_count = 0;
};

// Huffman code lengths for the counts, none longer than `limit`; unused
// symbols get 0. A lone symbol gets a length of 1. Where the optimal code
// would be too long the counts are flattened (halved) until it fits.
template <size_t N> std::array<uint8_t, N> CodeLengths(std::array<uint32_t, N> counts, int limit)
{
    std::array<uint8_t, N> lengths {};
    for (;;) {
        struct Node {
            uint64_t weight;
            int left, right; // children, or -1 for a leaf
        };
        std::vector<Node> nodes;
        nodes.reserve(2 * N);
        using Entry = std::pair<uint64_t, int>;
        std::priority_queue<Entry, std::vector<Entry>, std::greater<>> queue;
        std::array<int, N> leafOf {};
        for (size_t s = 0; s < N; ++s) {
            leafOf[s] = -1;
            if (counts[s] == 0)
                continue;
            leafOf[s] = int(nodes.size());
            nodes.push_back({ counts[s], -1, int(s) });
            queue.push({ counts[s], leafOf[s] });
        }
        lengths.fill(0);
        if (nodes.empty())
            return lengths;
        if (nodes.size() == 1) {
            lengths[size_t(nodes.front().right)] = 1;
            return lengths;
        }
        while (queue.size() > 1) {
            const Entry a = queue.top();
            queue.pop();
            const Entry b = queue.top();
            queue.pop();
            nodes.push_back({ a.first + b.first, a.second, b.second });
            queue.push({ a.first + b.first, int(nodes.size()) - 1 });
        }
        // Depths from the root down (children always come before their parent).
        std::vector<int> depth(nodes.size(), 0);
        int deepest = 0;
        for (int i = int(nodes.size()) - 1; i >= 0; --i) {
            const Node& node = nodes[size_t(i)];
            if (node.left < 0) {
                lengths[size_t(node.right)] = uint8_t(std::min(depth[size_t(i)], 255));
                deepest = std::max(deepest, depth[size_t(i)]);
                continue;
            }
            depth[size_t(node.left)] = depth[size_t(i)] + 1;
            depth[size_t(node.right)] = depth[size_t(i)] + 1;
        }
        if (deepest <= limit)
            return lengths;
        for (uint32_t& count : counts)
            count = count == 0 ? 0 : (count + 1) / 2;
    }
}

// The canonical codes for the lengths, bit-reversed for writing from the
// least significant end.
template <size_t N> std::array<uint16_t, N> Codes(const std::array<uint8_t, N>& lengths)
{
    std::array<int, kMaxCodeLength + 2> perLength {};
    for (const uint8_t length : lengths)
        ++perLength[length];
    perLength[0] = 0;
    std::array<int, kMaxCodeLength + 2> next {};
    int code = 0;
    for (int bits = 1; bits <= kMaxCodeLength + 1; ++bits) {
        code = (code + perLength[size_t(bits - 1)]) << 1;
        next[size_t(bits)] = code;
    }
    std::array<uint16_t, N> codes {};
    for (size_t s = 0; s < N; ++s) {
        const int length = lengths[s];
        if (length == 0)
            continue;
        int value = next[size_t(length)]++;
        int reversed = 0;
        for (int b = 0; b < length; ++b, value >>= 1)
            reversed = (reversed << 1) | (value & 1);
        codes[s] = uint16_t(reversed);
    }
    return codes;
}

// Stores the data in blocks of at most kStoredMax bytes.
void PutStored(BitSink& sink, const uint8_t* data, size_t size, bool last)
{
    do {
        const size_t piece = std::min(size, kStoredMax);
        const bool final = last && piece == size;
        sink.Put(final ? 1u : 0u, 3); // BFINAL, then type 00
        sink.Align();
        const auto length = uint16_t(piece);
        const uint8_t head[4] = { uint8_t(length), uint8_t(length >> 8), uint8_t(~length), uint8_t(~length >> 8) };
        sink.Copy(head, 4);
        sink.Copy(data, piece);
        data += piece;
        size -= piece;
    } while (size > 0);
}

// Bits a stored copy of `size` bytes takes at most.
size_t StoredBits(size_t size)
{
    return (size + (size / kStoredMax + 1) * 6) * 8;
}

void PutBlock(BitSink& sink, const uint8_t* data, size_t size, bool last)
{
    std::array<uint32_t, kLiteralCodes> counts {};
    for (size_t i = 0; i < size; ++i)
        ++counts[data[i]];
    counts[kEndOfBlock] = 1;
    const std::array<uint8_t, kLiteralCodes> lengths = CodeLengths(counts, kMaxCodeLength);

    // The code lengths as the header sends them: the literals' and one
    // distance code of one bit (no distance is ever used).
    std::array<uint32_t, 19> lengthCounts {};
    for (const uint8_t length : lengths)
        ++lengthCounts[length];
    ++lengthCounts[1];
    const std::array<uint8_t, 19> lengthLengths = CodeLengths(lengthCounts, kMaxLengthCodeLength);
    int sentLengthCodes = 19;
    while (sentLengthCodes > 4 && lengthLengths[size_t(kLengthCodeOrder[size_t(sentLengthCodes - 1)])] == 0)
        --sentLengthCodes;

    size_t bits = 3 + 5 + 5 + 4 + 3 * size_t(sentLengthCodes);
    for (size_t s = 0; s < 19; ++s)
        bits += size_t(lengthCounts[s]) * lengthLengths[s];
    for (size_t s = 0; s < size_t(kLiteralCodes); ++s)
        bits += size_t(counts[s]) * lengths[s];
    if (bits >= StoredBits(size)) {
        PutStored(sink, data, size, last);
        return;
    }

    sink.Put((last ? 1u : 0u) | 2u << 1, 3); // BFINAL, type 10 (dynamic codes)
    sink.Put(uint32_t(kLiteralCodes - 257), 5);
    sink.Put(0, 5); // one distance code
    sink.Put(uint32_t(sentLengthCodes - 4), 4);
    for (int i = 0; i < sentLengthCodes; ++i)
        sink.Put(lengthLengths[size_t(kLengthCodeOrder[size_t(i)])], 3);
    const std::array<uint16_t, 19> lengthCodes = Codes(lengthLengths);
    for (const uint8_t length : lengths)
        sink.Put(lengthCodes[length], lengthLengths[length]);
    sink.Put(lengthCodes[1], lengthLengths[1]);

    const std::array<uint16_t, kLiteralCodes> codes = Codes(lengths);
    size_t i = 0;
    for (; i + 1 < size; i += 2) {
        const uint8_t a = data[i], b = data[i + 1];
        sink.PutTwo(codes[a], lengths[a], codes[b], lengths[b]);
    }
    if (i < size)
        sink.Put(codes[data[i]], lengths[data[i]]);
    sink.Put(codes[kEndOfBlock], lengths[kEndOfBlock]);
}

} // namespace

size_t DeflateLiteralsBound(size_t size)
{
    // Every block is at most its stored copy; then the closing empty block.
    return size + (size / kStoredMax + 1) * 6 + (size / kBlockBytes + 1) * 8 + 16;
}

void DeflateLiterals(const uint8_t* data, size_t size, bool last, std::vector<uint8_t>& out)
{
    const size_t start = out.size();
    out.resize(start + DeflateLiteralsBound(size));
    BitSink sink(out.data() + start);
    for (size_t done = 0; done < size;) {
        const size_t piece = std::min(kBlockBytes, size - done);
        done += piece;
        PutBlock(sink, data + done - piece, piece, last && done == size);
    }
    if (size == 0 && last)
        PutStored(sink, nullptr, 0, true);
    if (!last)
        PutStored(sink, nullptr, 0, false);
    out.resize(size_t(sink.End() - out.data()));
}

} // namespace lumavo
