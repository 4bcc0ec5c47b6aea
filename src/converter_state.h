// State that lives for the whole run of the converter.
//
// The loader fills the record buffer with the body of the track-tail file and
// leaves the number of bytes it stored in the loaded byte count; the CSV
// conversion walks the buffer afterwards. Nothing is allocated: the buffer is
// one fixed area, zero at program start.

#ifndef TRB2CSV_CONVERTER_STATE_H_
#define TRB2CSV_CONVERTER_STATE_H_

#include <cstdint>

#include "track_tail_format.h"

constexpr std::int32_t kRecordBufferSize = 65536;
static_assert(kLoadLimit < kRecordBufferSize, "the loaded body fits the record buffer");

extern unsigned char g_record_buffer[kRecordBufferSize];

// 0 before loading, -1 when the input could not be opened or read, otherwise
// the number of body bytes stored in g_record_buffer, at most kLoadLimit.
extern std::int32_t g_loaded_byte_count;

// Set by the -quiet option: no banner, no summary, no closing key wait.
extern bool g_quiet_mode;

#endif  // TRB2CSV_CONVERTER_STATE_H_
