#pragma once
// Little-endian integers and ASCII helpers shared by the dBASE file formats.
#include <cstdint>
#include <string>
#include <string_view>

namespace tv::dbase {

inline uint16_t u16At(std::string_view b, size_t off)
{
    return uint16_t(uint8_t(b[off]) | (uint8_t(b[off + 1]) << 8));
}

inline uint32_t u32At(std::string_view b, size_t off)
{
    return uint32_t(uint8_t(b[off])) | (uint32_t(uint8_t(b[off + 1])) << 8) |
           (uint32_t(uint8_t(b[off + 2])) << 16) | (uint32_t(uint8_t(b[off + 3])) << 24);
}

inline void putU16(char* p, uint16_t v)
{
    p[0] = char(v & 0xFF);
    p[1] = char(v >> 8);
}

inline void putU32(char* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = char((v >> (8 * i)) & 0xFF);
}

} // namespace tv::dbase
