#include "xfer_crc.h"

namespace {

// One table each, made by the compiler: a byte per step instead of a bit.
struct CrcTables {
    std::uint16_t m_aw16[256];
    std::uint32_t m_adw32[256];
    constexpr CrcTables() : m_aw16(), m_adw32()
    {
        for (std::uint32_t u = 0; u < 256; ++u) {
            std::uint32_t dw16 = u << 8;
            std::uint32_t dw32 = u;
            for (int nBit = 0; nBit < 8; ++nBit) {
                dw16 = (dw16 & 0x8000u) != 0 ? (dw16 << 1) ^ 0x1021u : dw16 << 1;
                dw32 = (dw32 & 1u) != 0 ? (dw32 >> 1) ^ 0xEDB88320u : dw32 >> 1;
            }
            m_aw16[u] = static_cast<std::uint16_t>(dw16);
            m_adw32[u] = dw32;
        }
    }
};

constexpr CrcTables kTables;

} // namespace

std::uint16_t fnCrc16Byte(std::uint16_t wCrc, std::uint8_t by)
{
    return static_cast<std::uint16_t>((wCrc << 8) ^ kTables.m_aw16[((wCrc >> 8) ^ by) & 0xFFu]);
}

std::uint16_t fnCrc16(std::uint16_t wCrc, const std::uint8_t *pby, std::size_t cb)
{
    for (std::size_t i = 0; i < cb; ++i) {
        wCrc = fnCrc16Byte(wCrc, pby[i]);
    }
    return wCrc;
}

std::uint32_t fnCrc32(std::uint32_t dwCrc, const std::uint8_t *pby, std::size_t cb)
{
    dwCrc = ~dwCrc;
    for (std::size_t i = 0; i < cb; ++i) {
        dwCrc = (dwCrc >> 8) ^ kTables.m_adw32[(dwCrc ^ pby[i]) & 0xFFu];
    }
    return ~dwCrc;
}
