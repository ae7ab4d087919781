#include "formats/deflate_blocks.h"

#include <QtEndian>
#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr int kMaxBits = 15;
// Codes up to this long are looked up at once; longer ones, rare, a bit at a time.
constexpr int kFastBits = 10;

// The stream's bits, lowest first. Past its end it reads zeros, and Over() tells.
class BitReader {
  public:
    BitReader(const std::uint8_t* data, size_t size) : data_(data), size_(size) {}

    std::uint32_t Peek(int n) {
        if (have_ < n) Refill();
        return static_cast<std::uint32_t>(bits_ & ((std::uint64_t{1} << n) - 1));
    }
    std::uint32_t Take(int n) {
        const std::uint32_t value = Peek(n);
        Drop(n);
        return value;
    }
    // After a Peek of at least `n` bits.
    void Drop(int n) {
        bits_ >>= n;
        have_ -= n;
        used_ += static_cast<size_t>(n);
    }
    size_t Used() const { return used_; }
    bool Over() const { return used_ > 8 * size_; }
    // Reading goes on at byte `at`.
    void SkipTo(size_t at) {
        next_ = at;
        bits_ = 0;
        have_ = 0;
        used_ = 8 * at;
    }

  private:
    void Refill() {
        if (next_ + 8 <= size_) {
            std::uint64_t word;
            std::memcpy(&word, data_ + next_, 8);
            bits_ |= qFromLittleEndian(word) << have_;
            next_ += static_cast<size_t>((63 - have_) >> 3);
            have_ |= 56;
            return;
        }
        for (; have_ <= 56; have_ += 8, ++next_)
            bits_ |= std::uint64_t{next_ < size_ ? data_[next_] : 0u} << have_;
    }

    const std::uint8_t* data_;
    size_t size_;
    size_t next_ = 0;  // the next byte to put into bits_
    std::uint64_t bits_ = 0;
    int have_ = 0;
    size_t used_ = 0;
};

std::uint32_t Reversed(std::uint32_t code, int length) {
    std::uint32_t out = 0;
    for (int i = 0; i < length; ++i, code >>= 1) out = (out << 1) | (code & 1);
    return out;
}

// A canonical Huffman code as deflate gives it, by each symbol's code length.
class Huffman {
  public:
    // False when the lengths make no prefix code.
    bool Build(const std::uint8_t* lengths, int n) {
        counts_.fill(0);
        for (int i = 0; i < n; ++i) ++counts_[lengths[i]];
        counts_[0] = 0;
        int left = 1;
        for (int len = 1; len <= kMaxBits; ++len) {
            left = 2 * left - counts_[len];
            if (left < 0) return false;
        }
        std::array<int, kMaxBits + 1> at{};
        for (int len = 1; len < kMaxBits; ++len) at[len + 1] = at[len] + counts_[len];
        for (int i = 0; i < n; ++i)
            if (lengths[i] != 0) symbols_[at[lengths[i]]++] = static_cast<std::uint16_t>(i);
        fast_.fill(0);
        std::uint32_t code = 0;
        for (int len = 1, index = 0; len <= kFastBits; ++len, code <<= 1) {
            for (int k = 0; k < counts_[len]; ++k, ++code, ++index)
                for (std::uint32_t bits = Reversed(code, len); bits < fast_.size();
                     bits += 1u << len)
                    fast_[bits] = static_cast<std::uint16_t>(symbols_[index] << 4 | len);
        }
        return true;
    }

    // The next symbol, or -1 for a code the lengths did not give.
    int Decode(BitReader& in) const {
        const std::uint16_t entry = fast_[in.Peek(kFastBits)];
        if (entry != 0) {
            in.Drop(entry & 15);
            return entry >> 4;
        }
        const std::uint32_t bits = in.Peek(kMaxBits);
        int code = 0, first = 0, index = 0;
        for (int len = 1; len <= kMaxBits; ++len) {
            code |= static_cast<int>((bits >> (len - 1)) & 1);
            if (code - first < counts_[len]) {
                in.Drop(len);
                return symbols_[static_cast<size_t>(index + code - first)];
            }
            index += counts_[len];
            first = (first + counts_[len]) << 1;
            code <<= 1;
        }
        return -1;
    }

  private:
    std::array<int, kMaxBits + 1> counts_{};
    std::array<std::uint16_t, 288> symbols_{};           // in code order
    std::array<std::uint16_t, 1u << kFastBits> fast_{};  // symbol << 4 | length; 0: longer
};

bool Stored(BitReader& in, size_t size) {
    in.Take(static_cast<int>((8 - in.Used() % 8) % 8));
    const std::uint32_t length = in.Take(16);
    if ((length ^ 0xFFFF) != in.Take(16)) return false;
    const size_t end = in.Used() / 8 + length;
    if (end > size) return false;
    in.SkipTo(end);
    return true;
}

bool Fixed(Huffman& literals, Huffman& distances) {
    std::array<std::uint8_t, 288> lengths{};
    std::fill(lengths.begin(), lengths.begin() + 144, 8);
    std::fill(lengths.begin() + 144, lengths.begin() + 256, 9);
    std::fill(lengths.begin() + 256, lengths.begin() + 280, 7);
    std::fill(lengths.begin() + 280, lengths.end(), 8);
    const std::array<std::uint8_t, 30> five = [] {
        std::array<std::uint8_t, 30> all{};
        all.fill(5);
        return all;
    }();
    return literals.Build(lengths.data(), 288) && distances.Build(five.data(), 30);
}

bool Dynamic(BitReader& in, Huffman& literals, Huffman& distances) {
    static constexpr std::uint8_t kOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                11, 4,  12, 3, 13, 2, 14, 1, 15};
    const int nLiterals = static_cast<int>(in.Take(5)) + 257;
    const int nDistances = static_cast<int>(in.Take(5)) + 1;
    const int nCodes = static_cast<int>(in.Take(4)) + 4;
    if (nLiterals > 286 || nDistances > 30) return false;
    std::array<std::uint8_t, 286 + 30> lengths{};
    for (int i = 0; i < nCodes; ++i) lengths[kOrder[i]] = static_cast<std::uint8_t>(in.Take(3));
    Huffman lengthCode;
    if (!lengthCode.Build(lengths.data(), 19)) return false;
    lengths.fill(0);
    const int n = nLiterals + nDistances;
    for (int i = 0; i < n;) {
        const int symbol = lengthCode.Decode(in);
        if (symbol < 0 || in.Over()) return false;
        if (symbol < 16) {
            lengths[static_cast<size_t>(i++)] = static_cast<std::uint8_t>(symbol);
            continue;
        }
        std::uint8_t value = 0;
        int repeat = 0;
        if (symbol == 16) {
            if (i == 0) return false;
            value = lengths[static_cast<size_t>(i - 1)];
            repeat = 3 + static_cast<int>(in.Take(2));
        } else {
            repeat =
                symbol == 17 ? 3 + static_cast<int>(in.Take(3)) : 11 + static_cast<int>(in.Take(7));
        }
        if (i + repeat > n) return false;
        for (; repeat > 0; --repeat) lengths[static_cast<size_t>(i++)] = value;
    }
    return lengths[256] != 0 && literals.Build(lengths.data(), nLiterals) &&
           distances.Build(lengths.data() + nLiterals, nDistances);
}

// A block's codes up to its end: each match's length and distance read, nothing made.
bool Codes(BitReader& in, const Huffman& literals, const Huffman& distances) {
    static constexpr std::uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    for (;;) {
        if (in.Over()) return false;
        const int symbol = literals.Decode(in);
        if (symbol < 256) {
            if (symbol < 0) return false;
            continue;
        }
        if (symbol == 256) return true;
        if (symbol > 285) return false;
        in.Take(kLengthExtra[symbol - 257]);
        const int distance = distances.Decode(in);
        if (distance < 0 || distance >= 30) return false;
        in.Take(distance < 4 ? 0 : distance / 2 - 1);
    }
}

}  // namespace

std::optional<DeflateEnd> FindDeflateEnd(const std::uint8_t* data, size_t size) {
    BitReader in(data, size);
    Huffman literals, distances;
    for (;;) {
        const size_t start = in.Used();
        const bool last = in.Take(1) != 0;
        const std::uint32_t type = in.Take(2);
        const bool read = type == 0   ? Stored(in, size)
                          : type == 1 ? Fixed(literals, distances) && Codes(in, literals, distances)
                          : type == 2
                              ? Dynamic(in, literals, distances) && Codes(in, literals, distances)
                              : false;
        if (!read || in.Over()) return std::nullopt;
        if (last) {
            const size_t end = in.Used();
            if ((end + 7) / 8 != size) return std::nullopt;
            return DeflateEnd{start, static_cast<int>((8 - end % 8) % 8)};
        }
    }
}
