// Where a log file ends and the next begins. Before writing a block (a raw
// read, or the text or hex log's lines) the Win32 side asks how much of it
// goes into the current file; the rest goes into a new one, asked about
// again. The parts together are exactly the block: nothing lost or doubled.
//
// By size, no file grows past the limit: a raw block is split at it, text
// and hex are cut after the last whole line that fits (a file that is still
// empty takes at least one line). At midnight, the first block of a new
// local day starts a new file.
#ifndef ZEVRIK_LOG_ROTATE_H
#define ZEVRIK_LOG_ROTATE_H

#include <cstdint>

#include "log_settings.h"

// How many bytes of the block still go into the current file: dwCount when
// no cut is due, 0 for a new file before the block. qwFileMs is the time the
// file began, qwNowMs the block's (log clock, log_time.h). A size limit
// below kLogRotateBytesMin counts as that.
std::uint32_t fnLogCut(const LogSettings &st, std::uint64_t qwFileBytes, std::uint64_t qwFileMs,
                       std::uint64_t qwNowMs, const char *pch, std::uint32_t dwCount);

#endif
