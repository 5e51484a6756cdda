// levelgen's map reader on arbitrary maps, in memory. Whatever it accepts must make four
// files mazec reads as meant: 4096 cell lines that say all their words, 4096 colours of
// 0..255, and 1 to 32 entity lines starting with the ball.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/levelgen/levelgen.h"
#include "common/level/level_text.h"

static int lines_in(const std::string& text)
{
    int lines = 0;
    for (char c : text) lines += c == '\n';
    return lines;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static std::FILE* quiet = std::fopen("/dev/null", "w");
    levelgen_errors = quiet ? quiet : stderr;
    if (!parse_map("fuzz.map", reinterpret_cast<const char*>(data), size)) return 0;
    std::string texts[4];
    level_texts(texts);
    for (int layer = 0; layer < 2; layer++) {
        if (texts[layer].size() != 4096u * (CELL_TEXT_LENGTH + 1)) std::abort();
        for (size_t at = 0; at < texts[layer].size(); at += CELL_TEXT_LENGTH + 1) {
            if (texts[layer][at + CELL_TEXT_LENGTH] != '\n') std::abort();
            char text[CELL_TEXT_LENGTH + 1];
            uint16_t word = cell_word_from_text(texts[layer].data() + at);
            cell_text_from_word(word, text);
            if (texts[layer].compare(at, CELL_TEXT_LENGTH, text) != 0) std::abort();
        }
    }
    int red, green, blue, used = 0;
    const char* colours = texts[2].c_str();
    for (int k = 0; k < 4096; k++, colours += used) {
        if (std::sscanf(colours, "%d %d %d\n%n", &red, &green, &blue, &used) != 3) std::abort();
        if (red < 0 || red > 255 || green < 0 || green > 255 || blue < 0 || blue > 255) std::abort();
    }
    const int entities = lines_in(texts[3]);
    if (*colours != '\0' || entities < 1 || entities > 32 || texts[3].rfind("0 ", 0) != 0) std::abort();
    return 0;
}
