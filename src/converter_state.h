// State that lives for the whole run of the converter.
//
// The loader fills the record buffer with the body of the track-tail file and
// leaves the number of bytes it stored in the loaded byte count; the exporter
// walks the buffer afterwards. Nothing is allocated: the buffer is one fixed
// area, zero at program start.

#ifndef TRB2CSV_CONVERTER_STATE_H_
#define TRB2CSV_CONVERTER_STATE_H_

#include <cstdint>

constexpr std::int32_t kRecordBufferSize = 65536;

// Loading stops when this many body bytes are stored: one less than the
// buffer size.
constexpr std::int32_t kLoadLimit = 65535;

extern unsigned char g_record_buffer[kRecordBufferSize];

// 0 before loading, -1 when the input could not be opened or read, otherwise
// the number of body bytes stored in g_record_buffer.
extern std::int32_t g_loaded_byte_count;

// Set by the -quiet option: no banner, no summary, no closing key wait.
extern bool g_quiet_mode;

#endif  // TRB2CSV_CONVERTER_STATE_H_
