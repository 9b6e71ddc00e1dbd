#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumavo {

// Deflate (RFC 1951) with Huffman coding alone: every byte is a literal, coded
// with a code made for its stretch of data, and a stretch that would not get
// smaller is stored as it is. For filtered photo rows, where repeats worth
// finding are rare, this gives the files zlib's fastest settings give in a
// fraction of the time.
//
// Appends `data` to `out` as deflate blocks. With `last` the stream ends
// there; otherwise the output ends on a byte boundary with an empty stored
// block, as a full flush does, so that the output for the data that follows
// (made separately, on another core) can be appended to it. The caller
// writes the zlib header and checksum around the stream.
void DeflateLiterals(const uint8_t* data, size_t size, bool last, std::vector<uint8_t>& out);

// The largest output DeflateLiterals can append for `size` bytes.
size_t DeflateLiteralsBound(size_t size);

} // namespace lumavo
