// Cost of the receive check per MiB, beside the plain read loop it sits in
// (built and run by bench/rx_check; native, optimised, no sanitisers).
//
// The plain loop reads a 16 MiB stream from a pipe in 512-byte reads, as the
// receive worker reads the port, and touches every byte; the checked loop is
// the same with the checker fed each read. The checker alone is also timed
// from memory for a clean PRBS-15 stream, one with a bit flipped every 10,000
// bytes, one with a slip every 10,000 bytes, a 27-byte pattern, and PRBS-23
// with a gap of 1,000 bytes every 100,000 (a re-lock that finds the gap by
// stepping the sequence).
#include "rx_check.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const std::size_t kMiB = 1u << 20;
const std::size_t kStreamMiB = 16;
const std::size_t kRead = 512;
const char kPattern[] = "ZEVRIK loop test 0123456789";

double fnMsPerMiB(std::chrono::steady_clock::time_point tStart, std::size_t cb)
{
    const double dMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - tStart).count();
    return dMs / (static_cast<double>(cb) / kMiB);
}

std::vector<std::uint8_t> fnPrbsStream(std::size_t cb, RxStreamKind nKind)
{
    std::vector<std::uint8_t> vec(cb);
    PrbsGen stGen = fnPrbsStart(nKind);
    fnPrbsFill(stGen, vec.data(), cb);
    return vec;
}

// Reads the stream through a pipe; with a checker, feeds it every read.
double fnReadLoop(const std::vector<std::uint8_t> &vec, RxChecker *pstCk, unsigned *puSum)
{
    int aiPipe[2];
    if (pipe(aiPipe) != 0) {
        return -1;
    }
    std::thread stWriter([&] {
        for (std::size_t i = 0; i < vec.size();) {
            const ssize_t n = write(aiPipe[1], vec.data() + i, vec.size() - i);
            i += n > 0 ? static_cast<std::size_t>(n) : 0;
        }
        close(aiPipe[1]);
    });
    std::uint8_t aby[kRead];
    unsigned uSum = 0;
    const auto tStart = std::chrono::steady_clock::now();
    for (ssize_t n; (n = read(aiPipe[0], aby, sizeof aby)) > 0;) {
        for (ssize_t i = 0; i < n; ++i) {
            uSum += aby[i];
        }
        if (pstCk != nullptr) {
            fnRxCheckFeed(*pstCk, aby, static_cast<std::size_t>(n));
        }
    }
    const double dMs = fnMsPerMiB(tStart, vec.size());
    stWriter.join();
    close(aiPipe[0]);
    *puSum += uSum;
    return dMs;
}

double fnCheckerAlone(const std::vector<std::uint8_t> &vec, RxStreamKind nKind, RxCheckCounts &stOut)
{
    static RxChecker stCk;
    fnRxCheckInit(stCk, nKind, reinterpret_cast<const std::uint8_t *>(kPattern), sizeof kPattern - 1);
    const auto tStart = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < vec.size(); i += kRead) {
        fnRxCheckFeed(stCk, vec.data() + i, std::min(kRead, vec.size() - i));
    }
    fnRxCheckSettle(stCk);
    stOut = stCk.m_stCounts;
    return fnMsPerMiB(tStart, vec.size());
}

void fnRow(const char *pszWhat, double dMsPerMiB, const RxCheckCounts *pst)
{
    std::printf("%-44s %8.2f ms/MiB %7.2f ns/byte", pszWhat, dMsPerMiB, dMsPerMiB * 1e6 / kMiB);
    if (pst != nullptr) {
        std::printf("  (checked %llu, bit errors %llu, lost %llu, re-locks %llu)",
                    static_cast<unsigned long long>(pst->m_qwChecked),
                    static_cast<unsigned long long>(pst->m_qwBitsInError),
                    static_cast<unsigned long long>(pst->m_qwLost),
                    static_cast<unsigned long long>(pst->m_qwRelocks));
    }
    std::printf("\n");
}

} // namespace

int main()
{
    const std::vector<std::uint8_t> vecClean = fnPrbsStream(kStreamMiB * kMiB, kStreamPrbs15);
    std::vector<std::uint8_t> vecFlips = vecClean;
    for (std::size_t i = 5000; i < vecFlips.size(); i += 10000) {
        vecFlips[i] ^= 0x10;
    }
    std::vector<std::uint8_t> vecSlips;
    for (std::size_t i = 0; i < vecClean.size(); i += 10000) {
        vecSlips.insert(vecSlips.end(), vecClean.begin() + i,
                        vecClean.begin() + std::min(i + 9999, vecClean.size()));
    }
    const std::vector<std::uint8_t> vec23 = fnPrbsStream(kStreamMiB * kMiB, kStreamPrbs23);
    std::vector<std::uint8_t> vecGaps;
    for (std::size_t i = 0; i < vec23.size(); i += 100000) {
        vecGaps.insert(vecGaps.end(), vec23.begin() + i, vec23.begin() + std::min(i + 99000, vec23.size()));
    }
    std::vector<std::uint8_t> vecPattern(kStreamMiB * kMiB);
    for (std::size_t i = 0; i < vecPattern.size(); ++i) {
        vecPattern[i] = static_cast<std::uint8_t>(kPattern[i % (sizeof kPattern - 1)]);
    }

    unsigned uSum = 0;
    static RxChecker stCk;
    fnRxCheckInit(stCk, kStreamPrbs15, nullptr, 0);
    // Best of three of each loop, interleaved, so a busy machine hurts both alike.
    double dPlain = 1e30;
    double dChecked = 1e30;
    for (int i = 0; i < 3; ++i) {
        dPlain = std::min(dPlain, fnReadLoop(vecClean, nullptr, &uSum));
        dChecked = std::min(dChecked, fnReadLoop(vecClean, &stCk, &uSum));
    }
    std::printf("receive check, %zu MiB streams, %zu-byte reads (checksum %u)\n", kStreamMiB, kRead, uSum);
    fnRow("plain read loop (pipe), the floor", dPlain, nullptr);
    fnRow("the same loop feeding the checker (PRBS-15)", dChecked, nullptr);
    RxCheckCounts st = {};
    fnRow("checker alone: PRBS-15 clean", fnCheckerAlone(vecClean, kStreamPrbs15, st), &st);
    fnRow("checker alone: PRBS-15, 1 bit in 10,000 bytes", fnCheckerAlone(vecFlips, kStreamPrbs15, st), &st);
    fnRow("checker alone: PRBS-15, 1 byte lost in 10,000", fnCheckerAlone(vecSlips, kStreamPrbs15, st), &st);
    fnRow("checker alone: 27-byte pattern clean", fnCheckerAlone(vecPattern, kStreamPattern, st), &st);
    fnRow("checker alone: PRBS-23, 1,000 lost in 100,000", fnCheckerAlone(vecGaps, kStreamPrbs23, st), &st);
    return 0;
}
