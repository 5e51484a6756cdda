// The compile routine on arbitrary contents of its four inputs, compiled in memory.
//
// Input: one flag byte, then layer1, layer2 and colors each as a 2-byte little-endian
// length and that many bytes, then entity.txt as the rest. A flag bit per grid file
// repeats its (short) text 4096 times, so that one fuzzed line makes a full grid and the
// entity and writing phases are reached; two more bits add or drop one copy of layer1.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "compiler/compiler.h"

namespace {

constexpr size_t max_repeated_text = 24;

void check(bool ok)
{
    if (!ok) std::abort();
}

std::string next_part(const uint8_t** data, size_t* size)
{
    if (*size < 2) {
        *size = 0;
        return std::string();
    }
    size_t len = (*data)[0] | (*data)[1] << 8;
    *data += 2;
    *size -= 2;
    if (len > *size) len = *size;
    std::string part(reinterpret_cast<const char*>(*data), len);
    *data += len;
    *size -= len;
    return part;
}

void repeat(std::string* text, int copies)
{
    if (text->size() > max_repeated_text) text->resize(max_repeated_text);
    std::string one = *text;
    text->clear();
    for (int i = 0; i < copies; i++) *text += one;
}

std::FILE* input(std::string& text)
{
    return fmemopen(text.data(), text.size(), "r");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    uint8_t flags = data[0];
    data++;
    size--;
    std::string layer1 = next_part(&data, &size);
    std::string layer2 = next_part(&data, &size);
    std::string colors = next_part(&data, &size);
    std::string entity(reinterpret_cast<const char*>(data), size);
    int extra = (flags & 8) ? 1 : (flags & 16) ? -1 : 0;
    if (flags & 1) repeat(&layer1, 4096 + extra);
    if (flags & 2) repeat(&layer2, 4096);
    if (flags & 4) repeat(&colors, 4096);

    char *level_buf = nullptr, *out_buf = nullptr;
    size_t level_len = 0, out_len = 0;
    std::FILE* out = open_memstream(&out_buf, &out_len);
    std::FILE* level = open_memstream(&level_buf, &level_len);
    CompileFiles files = {input(layer1), input(layer2), input(entity), input(colors), level,
                          nullptr, nullptr};
    check(out && level && files.layer1 && files.layer2 && files.entity && files.colors);
    int code = compile_level(files, out);
    std::fclose(out);

    std::string text(out_buf, out_len);
    check(code == 0 || code == 1);
    check(text.rfind("compiling levels ?", 0) == 0);
    if (code == 0) {
        check(level_len >= 28673);
        int count = static_cast<uint8_t>(level_buf[28672]);
        check(count <= 32 && level_len == 28673u + 10u * count);
        char done[64];
        std::snprintf(done, sizeof done, "\bdone. %d entities processed.\n", count);
        check(text.find(done) != std::string::npos);
        check(text.size() >= 7 && text.compare(text.size() - 7, 7, "\bdone.\n") == 0);
        if (layer1.size() >= 8) {
            uint16_t word = encode_cell_line(layer1.data());
            check(static_cast<uint8_t>(level_buf[0]) == word >> 8);
            check(static_cast<uint8_t>(level_buf[1]) == (word & 0xFF));
        }
    } else {
        check(level_len == 0);  // nothing is written before the grid is complete
    }
    std::free(out_buf);
    std::free(level_buf);
    return 0;
}
