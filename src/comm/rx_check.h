// The receive check: compares the bytes that arrive with the stream the data
// job sends (its pattern repeated back to back, or a pseudo-random sequence)
// and counts what went wrong. Pure code, no allocation; not thread-safe by
// itself (its Win32 owner serialises the feed and the reads).
//
// Pseudo-random sequences follow ITU-T O.150: x^7+x^6+1, x^15+x^14+1 and
// x^23+x^18+1, the last two sent inverted; the first bit of the sequence is
// the least significant bit of the first byte, as a UART puts it on the line.
#ifndef ZEVRIK_RX_CHECK_H
#define ZEVRIK_RX_CHECK_H

#include <cstddef>
#include <cstdint>

enum RxStreamKind { kStreamPattern, kStreamPrbs7, kStreamPrbs15, kStreamPrbs23 };

// The longest pattern the checker takes (the Data Transfer packet).
const std::uint32_t kRxPatternMax = 512;
// Matching bytes that confirm a lock or a guess about a fault.
const std::uint32_t kRxConfirm = 8;
// The largest slip (bytes lost or inserted at one place) told from an error.
const std::uint32_t kRxMaxSlip = 16;
// Bytes held while a fault is being told; beyond them the checker re-locks.
const std::uint32_t kRxDoubtBytes = 64;
// After a re-lock the slip is the distance in the sequence from the fault to
// the new lock, found by stepping the generator: a whole period for PRBS-7 and
// PRBS-15, at most this many bytes for PRBS-23 (0.3 ms at worst).
const std::uint32_t kRxSlipReach = 65536;

struct PrbsGen {
    std::uint32_t m_dwState; // the last n bits of the sequence, newest in bit 0
    std::uint32_t m_dwMask;
    std::uint8_t m_byOrder; // n
    std::uint8_t m_byTap;   // the other tap
    std::uint8_t m_byInvert;
};

// The generator at the start of its sequence (all stages one).
PrbsGen fnPrbsStart(RxStreamKind nKind);
std::uint8_t fnPrbsNextByte(PrbsGen &stGen);
void fnPrbsFill(PrbsGen &stGen, std::uint8_t *pbyOut, std::size_t cbCount);
// The data job's packets: the next bytes of stGen's sequence, from the start
// of nKind's sequence when stGen holds another one.
void fnPrbsPacket(PrbsGen &stGen, RxStreamKind nKind, std::uint8_t *pbyOut, std::size_t cbCount);

// Where the checker stands in the expected stream.
struct RxStreamPos {
    PrbsGen m_stGen;
    std::uint32_t m_dwPhase; // pattern index
};

struct RxCheckCounts {
    std::uint64_t m_qwReceived;
    std::uint64_t m_qwChecked;
    std::uint64_t m_qwBytesInError;
    std::uint64_t m_qwBitsInError;
    std::uint64_t m_qwLost;
    std::uint64_t m_qwInserted;
    std::uint64_t m_qwRelocks;
    // Received but never followed: let go by the search (before the first
    // lock; after a fault, less those the slip tells as inserted), or held by
    // it when the run ended.
    std::uint64_t m_qwUnchecked;
};

enum RxCheckState { kRxSearching, kRxLocked, kRxDoubt };

struct RxChecker {
    RxStreamKind m_nKind;
    std::uint8_t m_abyPattern[kRxPatternMax];
    std::uint32_t m_dwPatternLen;
    RxCheckState m_nState;
    bool m_bEverLocked;
    RxStreamPos m_stPos; // the position of the next byte while locked
    // Searching: the last bytes seen; doubt: the bytes since the fault.
    std::uint8_t m_abyHeld[kRxDoubtBytes];
    std::uint32_t m_dwHeld;
    // Doubt: the expected stream from the fault on, and the run of matches
    // that each slip (index kRxMaxSlip + s) has reached.
    std::uint8_t m_abyAhead[kRxDoubtBytes + kRxMaxSlip];
    std::uint32_t m_adwRun[2 * kRxMaxSlip + 1];
    // Searching after a fault: where the stream was at the fault, and the
    // bytes let go unchecked since, for the slip told at the re-lock.
    bool m_bResync;
    RxStreamPos m_stFault;
    std::uint64_t m_qwSinceFault;
    RxCheckCounts m_stCounts;
};

// A pattern stream needs 1 to kRxPatternMax bytes; false leaves the checker
// without a stream (every byte then counts as received only).
bool fnRxCheckInit(RxChecker &stCk, RxStreamKind nKind, const std::uint8_t *pbyPattern, std::uint32_t dwLen);
// Zero counts, search the lock again; the stream stays.
void fnRxCheckReset(RxChecker &stCk);
void fnRxCheckFeed(RxChecker &stCk, const std::uint8_t *pby, std::size_t cbCount);
// The end of a run: settles bytes held over a fault as the best guess so far;
// bytes held by the search count as not checked.
void fnRxCheckSettle(RxChecker &stCk);

// "2.4e-7", "< 1/80000" with no error, "-" before any bit was checked.
void fnFormatBer(char *pchOut, std::size_t cchOut, std::uint64_t qwBitErrors, std::uint64_t qwBitsChecked);

// The figures as lines of text (Copy, the window): counts, elapsed time,
// rate and the bit error ratio, ">= " before it when it is a lower bound
// (">= 0" with no error seen). pszStream names the expected stream.
void fnFormatRxCheckReport(char *pchOut, std::size_t cchOut, const char *pszStream, const RxCheckCounts &st,
                           std::uint32_t dwElapsedMs);

#endif
