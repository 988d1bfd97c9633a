// The checks of the file-transfer protocols: CRC-16/XMODEM (poly 0x1021,
// start 0, no reflection; XMODEM-CRC, YMODEM, ZMODEM's 16-bit frames) and
// CRC-32 (ISO-HDLC, the one of zip and Ethernet; ZMODEM's 32-bit frames).
// Both are fed in pieces: pass the previous result back in.
#ifndef ZEVRIK_XFER_CRC_H
#define ZEVRIK_XFER_CRC_H

#include <cstddef>
#include <cstdint>

// Start with 0; "123456789" gives 0x31C3.
std::uint16_t fnCrc16(std::uint16_t wCrc, const std::uint8_t *pby, std::size_t cb);
std::uint16_t fnCrc16Byte(std::uint16_t wCrc, std::uint8_t by);

// Start with 0; the value is final after every call ("123456789" gives
// 0xCBF43926), so a running CRC-32 is the previous result passed back in.
std::uint32_t fnCrc32(std::uint32_t dwCrc, const std::uint8_t *pby, std::size_t cb);

#endif
