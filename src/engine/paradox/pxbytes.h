#pragma once
// Little helpers for the byte layouts of Paradox files: little-endian control integers and
// the big-endian, sign-flipped encoding of field data.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace tv::px {

inline uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t le32(const uint8_t* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24); }
inline void put16(uint8_t* p, uint32_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
inline void put32(uint8_t* p, uint32_t v) { put16(p, v & 0xFFFF); put16(p + 2, v >> 16); }
inline void put16(std::string& s, size_t at, uint32_t v) { put16(reinterpret_cast<uint8_t*>(s.data()) + at, v); }
inline void put32(std::string& s, size_t at, uint32_t v) { put32(reinterpret_cast<uint8_t*>(s.data()) + at, v); }

inline bool allZero(const uint8_t* p, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        if (p[i])
            return false;
    return true;
}

// Field data: big-endian with the top bit of the first byte inverted; zero bytes mean NULL.
inline int64_t decodeInt(const uint8_t* p, int n)
{
    uint64_t v = uint64_t(p[0] ^ 0x80);
    for (int i = 1; i < n; ++i)
        v = (v << 8) | p[i];
    // Sign-extend from n bytes.
    const int shift = 64 - 8 * n;
    return int64_t(v << shift) >> shift;
}

inline void encodeInt(uint8_t* p, int n, int64_t v)
{
    for (int i = n - 1; i >= 0; --i) {
        p[i] = uint8_t(v & 0xFF);
        v >>= 8;
    }
    p[0] ^= 0x80;
}

// Doubles: positive values have the sign bit set, negative values are stored with every bit
// inverted, so that the bytes sort like the numbers.
inline double decodeDouble(const uint8_t* p)
{
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i)
        bits = (bits << 8) | p[i];
    if (bits & 0x8000000000000000ull)
        bits &= 0x7FFFFFFFFFFFFFFFull;
    else
        bits = ~bits;
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
}

inline void encodeDouble(uint8_t* p, double d)
{
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    if (bits & 0x8000000000000000ull)
        bits = ~bits;
    else
        bits |= 0x8000000000000000ull;
    for (int i = 7; i >= 0; --i) {
        p[i] = uint8_t(bits & 0xFF);
        bits >>= 8;
    }
}

} // namespace tv::px
