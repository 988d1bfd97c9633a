// Arbitrary text and limits for the hex scanner: no read beyond the limit or
// the terminator, no write beyond the promised output room, and the checking
// and converting scans always agree.
#include "hex_text.h"
#include "fuzz_require.h"

#include <cstring>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *pbyData, std::size_t cbData)
{
    if (cbData < 2 || cbData > 4096) {
        return 0;
    }
    // Two bytes of limit, then the text with a terminator after the input;
    // the limit never reaches past the buffer, so any read outside it is a fault.
    std::vector<char> vecText(pbyData + 2, pbyData + cbData);
    vecText.push_back('\0');
    std::uint32_t dwLimit = pbyData[0] | (pbyData[1] << 8);
    if (dwLimit > vecText.size()) {
        dwLimit = static_cast<std::uint32_t>(vecText.size());
    }
    std::unique_ptr<std::uint8_t[]> pbyOut(new std::uint8_t[dwLimit / 2]);
    std::uint32_t dwCount = 0xFFFFFFFFu;
    const int nCheck = fnCheckHexStr(vecText.data(), dwLimit);
    const int nCode = fnHexStrToBuf(vecText.data(), pbyOut.get(), &dwCount, dwLimit);
    Require(nCheck == nCode && nCode >= kHexOk && nCode <= kHexNothing);
    Require(dwCount <= (dwLimit + 1) / 2);
    Require(nCode == kHexOk ? dwCount >= 1 : dwCount == 0);
    if (nCode != kHexOk) {
        return 0;
    }

    // Accepted bytes format and scan back to themselves.
    std::vector<char> vecHex(3 * dwCount + 1);
    Require(fnBufToHexStr(pbyOut.get(), vecHex.data(), dwCount) == dwCount);
    Require(std::strlen(vecHex.data()) == 3 * dwCount);
    std::unique_ptr<std::uint8_t[]> pbyBack(new std::uint8_t[dwCount]);
    std::uint32_t dwBack = 0;
    Require(fnHexStrToBuf(vecHex.data(), pbyBack.get(), &dwBack, static_cast<std::uint32_t>(vecHex.size())) ==
            kHexOk);
    Require(dwBack == dwCount && std::memcmp(pbyOut.get(), pbyBack.get(), dwCount) == 0);
    return 0;
}
