// Arbitrary name patterns, port names, times, counters and output sizes: no
// read past the pattern's bound or the port's terminator, no write past the
// output, and a name given as good holds nothing Windows forbids. The next
// try for a good name, numbered, stays inside its output too.
#include "fuzz_require.h"
#include "log_name.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

bool fnNameIsClean(const char *psz)
{
    for (std::size_t i = 0; psz[i] != '\0'; ++i) {
        const unsigned char ch = static_cast<unsigned char>(psz[i]);
        if (ch < 0x20 || std::strchr("<>\"|?*", ch) != nullptr ||
            (ch == ':' && (i != 1 || std::isalpha(static_cast<unsigned char>(psz[0])) == 0))) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *pbyData, std::size_t cbData)
{
    // Output size, counter (4), time (8), port length, then port and pattern.
    if (cbData < 14 || cbData > 1024) {
        return 0;
    }
    const std::uint32_t cchOut = pbyData[0] + (pbyData[0] & 1) * 64u;
    std::uint32_t nCounter;
    std::uint64_t qwMs;
    std::memcpy(&nCounter, pbyData + 1, sizeof nCounter);
    std::memcpy(&qwMs, pbyData + 5, sizeof qwMs);
    const std::size_t cchPort = pbyData[13] % 16 < cbData - 14 ? pbyData[13] % 16 : cbData - 14;
    std::vector<char> vecPort(pbyData + 14, pbyData + 14 + cchPort);
    vecPort.push_back('\0');
    // The pattern without a terminator: its bound is all there is.
    std::vector<char> vecPattern(pbyData + 14 + cchPort, pbyData + cbData);
    std::vector<char> vecOut(cchOut + 1, '\x7f');
    const LogNameResult nResult =
        fnLogExpandName(vecPattern.data(), static_cast<std::uint32_t>(vecPattern.size()), vecPort.data(),
                        qwMs, nCounter, vecOut.data(), cchOut);
    Require(nResult >= kLogNameOk && nResult <= kLogNameDevice);
    Require(vecOut[cchOut] == '\x7f');
    if (cchOut == 0) {
        return 0;
    }
    const std::size_t cchName = strnlen(vecOut.data(), cchOut);
    Require(cchName < cchOut && cchName < kLogPathChars);
    Require((nResult == kLogNameOk) == (cchName > 0));
    Require(nResult != kLogNameOk || fnNameIsClean(vecOut.data()));
    if (nResult == kLogNameOk) {
        std::vector<char> vecNext(cchOut + 1, '\x7f');
        const bool bFits = fnLogNumberedName(vecOut.data(), nCounter, vecNext.data(), cchOut);
        char achNumber[16];
        const int cchNumber =
            std::snprintf(achNumber, sizeof achNumber, "-%lu", static_cast<unsigned long>(nCounter));
        Require(vecNext[cchOut] == '\x7f');
        Require(bFits == (cchName + cchNumber < cchOut));
        Require(strnlen(vecNext.data(), cchOut) == (bFits ? cchName + cchNumber : 0));
    }
    // Without a % the name is the pattern up to its first terminator.
    if (nResult == kLogNameOk && std::memchr(vecPattern.data(), '%', vecPattern.size()) == nullptr) {
        Require(std::strncmp(vecOut.data(), vecPattern.data(), cchName) == 0);
    }
    return 0;
}
