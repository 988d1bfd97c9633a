// The hand-over between the threads that see the port's bytes (receive,
// transmit, the windows) and the log's own thread: a ring of records, each
// a head and its bytes, kept in a buffer the caller gives. Pure code; the
// Win32 side holds a lock around every call.
#ifndef ZEVRIK_LOG_RING_H
#define ZEVRIK_LOG_RING_H

#include <cstdint>

enum LogRecordKind : std::uint8_t {
    kLogRecReceived, // m_nArg: 1 when the console view was on
    kLogRecSent,
    kLogRecMark // m_nArg: a LogMark; the bytes are its detail
};

struct LogRecord {
    std::uint32_t m_dwLen; // bytes after the head
    std::uint8_t m_nKind;  // LogRecordKind
    std::uint8_t m_nArg;
    std::uint16_t m_wUnused;
    std::uint64_t m_qwMs; // log clock (log_time.h)
};

struct LogRing {
    std::uint8_t *m_pby;
    std::uint32_t m_dwSize;
    std::uint32_t m_dwTake; // where the oldest record starts
    std::uint32_t m_dwUsed;
};

void fnRingInit(LogRing &st, std::uint8_t *pbyBuffer, std::uint32_t dwSize);

// Puts the record and its m_dwLen bytes; false (nothing put) when they do
// not fit in the room left.
bool fnRingPut(LogRing &st, const LogRecord &stRec, const std::uint8_t *pby);

// Takes the oldest record; its bytes go to pbyOut when they fit cbOut, and
// are passed over otherwise (m_dwLen tells how many there were). False when
// the ring is empty.
bool fnRingTake(LogRing &st, LogRecord &stRec, std::uint8_t *pbyOut, std::uint32_t cbOut);

#endif
