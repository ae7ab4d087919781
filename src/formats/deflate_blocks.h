#pragma once
// Where a raw deflate stream's last block starts, found by reading its blocks' codes
// without making the bytes they stand for: libdeflate compresses each piece of a long
// stream apart, and only that block's header bit must change for the next piece to follow.
#include <cstddef>
#include <cstdint>
#include <optional>

struct DeflateEnd {
    // The bit, counted from the first byte's lowest, where the last block's header starts.
    size_t lastBlockBit = 0;
    // Bits of the last byte after the stream's end (0 to 7).
    int spareBits = 0;
};

// Nothing when the bytes are not exactly one whole deflate stream.
std::optional<DeflateEnd> FindDeflateEnd(const std::uint8_t* data, size_t size);
