#include "converter_state.h"

unsigned char g_record_buffer[kRecordBufferSize];
std::int32_t g_loaded_byte_count = 0;
bool g_quiet_mode = false;
