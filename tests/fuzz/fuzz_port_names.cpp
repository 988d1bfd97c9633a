// Arbitrary device lists for the port-name scan: no read beyond the given
// length, and a port is marked only if its plain name is in the list.
#include "fuzz_require.h"
#include "port_names.h"

#include <cstdio>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *pbyData, std::size_t cbData)
{
    // A copy of exactly the input's size, so any read past it is caught.
    std::unique_ptr<char[]> pchList(new char[cbData]);
    std::memcpy(pchList.get(), pbyData, cbData);
    PortPresence st = {};
    fnMarkNamedPorts(pchList.get(), cbData, st);
    for (int i = 0; i < kPortCount; ++i) {
        if (!st.m_abPresent[i]) {
            continue;
        }
        char achName[8];
        const int cch = std::snprintf(achName, sizeof achName, "COM%d", i + 1);
        bool bFound = false;
        for (std::size_t n = 0; n + cch <= cbData && !bFound; ++n) {
            bFound = fnPortIndexOfName(pchList.get() + n, cbData - n) == i;
        }
        Require(bFound);
    }
    return 0;
}
