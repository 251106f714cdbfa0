#pragma once

#include <cstdint>
#include <cstring>

// Little-endian field reads and writes in byte buffers whose bounds the caller has
// checked. Works on any host byte order and any alignment.
namespace ByteFields {

inline uint16_t u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline int16_t i16(const uint8_t* p) { return static_cast<int16_t>(u16(p)); }
inline uint32_t u32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
inline int32_t i32(const uint8_t* p) { return static_cast<int32_t>(u32(p)); }
inline bool idIs(const uint8_t* p, const char (&id)[5]) { return std::memcmp(p, id, 4) == 0; }

inline void putU16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void putU32(uint8_t* p, uint32_t v)
{
    for (int k = 0; k < 4; ++k)
        p[k] = static_cast<uint8_t>(v >> (8 * k));
}

} // namespace ByteFields
