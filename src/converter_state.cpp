#include "converter_state.h"

// Page-aligned, so that its pages can be made ready for the read at once.
alignas(4096) unsigned char g_record_buffer[kRecordBufferSize];
std::int32_t g_loaded_byte_count = 0;
bool g_quiet_mode = false;
