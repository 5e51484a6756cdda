#include "render/frame.h"

uint8_t* frame_buffer = nullptr;
alignas(64) double depth_buffer[SCREEN_PIXELS];
bool depth_buffer_cleared = false;
uint16_t debug_flags = 0;
