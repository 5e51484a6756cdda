// The compile routine on arbitrary contents of its four inputs, compiled in memory. A flag bit
// per grid file repeats the first 24 bytes of its text 4096 times, so that one fuzzed line makes
// a full grid and the entity and writing phases are reached; two more bits add or drop one copy
// of layer1. The author warnings run first over the same streams.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "compiler/compiler.h"

static std::string repeated(const std::string& text, bool on, int copies)
{
    std::string all = on ? "" : text;
    while (on && copies-- > 0) all += text.substr(0, 24);
    return all;
}

static std::FILE* input(std::string& text) { return fmemopen(text.data(), text.size(), "r"); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider fuzz(data, size);
    const int flags = fuzz.ConsumeIntegral<uint8_t>(), extra = (flags & 8) ? 1 : (flags & 16) ? -1 : 0;
    std::string layer1 = repeated(fuzz.ConsumeRandomLengthString(), flags & 1, 4096 + extra);
    std::string layer2 = repeated(fuzz.ConsumeRandomLengthString(), flags & 2, 4096);
    std::string colors = repeated(fuzz.ConsumeRandomLengthString(), flags & 4, 4096);
    std::string entity = fuzz.ConsumeRemainingBytesAsString();
    char *level_buf = nullptr, *out_buf = nullptr;
    size_t level_len = 0, out_len = 0;
    std::FILE* out = open_memstream(&out_buf, &out_len);
    std::FILE* level = open_memstream(&level_buf, &level_len);
    // The author warnings read the inputs first and must put them back where they were.
    static std::FILE* quiet = std::fopen("/dev/null", "w");
    const CompileFiles files = {input(layer1), input(layer2), input(entity), input(colors), level, nullptr, nullptr};
    if (quiet) warn_about_inputs(files, quiet);
    const int code = compile_level(files, out);
    std::fclose(out);

    // A failed compile writes nothing; a good one the grid, the count it reports and that many records.
    const int count = level_len > 28672 ? static_cast<uint8_t>(level_buf[28672]) : -1;
    const std::string text(out_buf, out_len);
    const bool good = count >= 0 && count <= 32 && level_len == 28673u + 10u * count && text.ends_with("\bdone.\n") &&
                      text.find("\bdone. " + std::to_string(count) + " entities processed.\n") != std::string::npos;
    if (code == 0 ? !good : code != 1 || level_len != 0) std::abort();
    std::free(out_buf);
    std::free(level_buf);
    return 0;
}
