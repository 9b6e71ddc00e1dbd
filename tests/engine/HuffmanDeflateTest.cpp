#include "imaging/HuffmanDeflate.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>
#include <zlib.h>

namespace lumavo {
namespace {

using Bytes = std::vector<uint8_t>;

// Inflates a raw deflate stream with zlib; false unless it ends exactly at
// the end of the input.
bool Inflate(const Bytes& stream, Bytes& out, size_t expected)
{
    out.assign(expected + 16, 0);
    z_stream z {};
    if (inflateInit2(&z, -15) != Z_OK)
        return false;
    z.next_in = const_cast<Bytef*>(stream.data());
    z.avail_in = uInt(stream.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    const int result = inflate(&z, Z_FINISH);
    out.resize(z.total_out);
    const bool whole = result == Z_STREAM_END && z.avail_in == 0;
    inflateEnd(&z);
    return whole;
}

// What zlib's own Huffman-only coding makes of the data.
size_t ZlibHuffmanSize(const Bytes& data)
{
    z_stream z {};
    EXPECT_EQ(deflateInit2(&z, 1, Z_DEFLATED, -15, 8, Z_HUFFMAN_ONLY), Z_OK);
    Bytes out(deflateBound(&z, uLong(data.size())));
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = uInt(data.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    const size_t size = z.total_out;
    deflateEnd(&z);
    return size;
}

Bytes Deflated(const Bytes& data, bool last)
{
    Bytes out;
    DeflateLiterals(data.data(), data.size(), last, out);
    EXPECT_LE(out.size(), DeflateLiteralsBound(data.size()));
    return out;
}

// Filtered photo rows: small differences around zero, as grain leaves them.
Bytes GrainyDifferences(size_t size, uint32_t seed)
{
    std::mt19937 random(seed);
    std::normal_distribution<double> grain(0.0, 4.0);
    Bytes data(size);
    for (uint8_t& byte : data)
        byte = uint8_t(int(std::lround(grain(random))));
    return data;
}

TEST(HuffmanDeflateTest, ZlibInflatesEveryKindOfDataToTheSameBytes)
{
    std::mt19937 random(7);
    Bytes uniform(2'500'000);
    for (uint8_t& byte : uniform)
        byte = uint8_t(random());
    // Halving frequencies: the best code would be longer than deflate allows.
    Bytes skewed;
    for (int value = 0; value < 24; ++value)
        skewed.insert(skewed.end(), size_t(1) << (24 - value) >> 4, uint8_t(value));
    std::shuffle(skewed.begin(), skewed.end(), random);

    const struct {
        const char* name;
        Bytes data;
    } cases[] = {
        { "nothing", {} },
        { "one byte", { 42 } },
        { "one value, 3 MB", Bytes(3'000'000, 0) },
        { "two values", { 1, 2, 1, 1, 2, 1 } },
        { "uniform noise", uniform },
        { "halving frequencies", skewed },
        { "grainy rows, 5 MB", GrainyDifferences(5'000'000, 3) },
    };
    for (const auto& [name, data] : cases) {
        SCOPED_TRACE(name);
        const Bytes stream = Deflated(data, true);
        Bytes back;
        ASSERT_TRUE(Inflate(stream, back, data.size()));
        EXPECT_EQ(back, data);
    }
    // What the coding gains where there is something to gain, and what it
    // costs where there is none.
    EXPECT_LT(Deflated(Bytes(3'000'000, 0), true).size(), 3'000'000u / 7);
    const Bytes grain = GrainyDifferences(5'000'000, 3);
    EXPECT_LE(Deflated(grain, true).size(), ZlibHuffmanSize(grain) * 101 / 100);
    EXPECT_LE(Deflated(uniform, true).size(), uniform.size() + uniform.size() / 1000);
    EXPECT_LT(Deflated(skewed, true).size(), skewed.size() / 3);
}

TEST(HuffmanDeflateTest, PartsMadeApartJoinIntoOneStream)
{
    // As the PNG writer's bands: each part on its own, all but the last
    // ending on a byte boundary with an empty stored block.
    const Bytes parts[] = { GrainyDifferences(1'500'000, 1), Bytes(70'000, 9), GrainyDifferences(300'001, 2) };
    Bytes stream;
    Bytes whole;
    for (size_t i = 0; i < std::size(parts); ++i) {
        const bool last = i + 1 == std::size(parts);
        const Bytes part = Deflated(parts[i], last);
        if (!last) {
            ASSERT_GE(part.size(), 4u);
            EXPECT_EQ(Bytes(part.end() - 4, part.end()), (Bytes { 0x00, 0x00, 0xFF, 0xFF }));
        }
        stream.insert(stream.end(), part.begin(), part.end());
        whole.insert(whole.end(), parts[i].begin(), parts[i].end());
    }
    Bytes back;
    ASSERT_TRUE(Inflate(stream, back, whole.size()));
    EXPECT_EQ(back, whole);
    // A stream whose parts were all made as not last never ends.
    Bytes open = Deflated(parts[0], false);
    EXPECT_FALSE(Inflate(open, back, parts[0].size()));
}

} // namespace
} // namespace lumavo
