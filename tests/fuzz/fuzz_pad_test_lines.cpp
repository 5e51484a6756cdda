// The lines of a MAZE_TEST_GAMEPAD file: any bytes parse or are refused, and what parses
// is in range.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/sdl/input_carry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string line(reinterpret_cast<const char*>(data), size);
    PadTestState state;
    if (parse_pad_test_line(line.c_str(), &state)) {
        for (int axis = 0; axis < PAD_AXES; axis++)
            if (state.axes[axis] < -32768 || state.axes[axis] > 32767) std::abort();
        if (state.read < 0) std::abort();
    }
    return 0;
}
