#include "common/level/level_text.h"

#include "common/level/level_file.h"

namespace {

constexpr char ramp_letters[4] = {'N', 'S', 'E', 'W'};
constexpr uint16_t ramp_words[4] = {RAMP_NORTH, RAMP_SOUTH, RAMP_EAST, RAMP_WEST};

}  // namespace

uint16_t cell_word_from_text(const char text[CELL_TEXT_LENGTH])
{
    uint16_t word = 0;
    for (int i = 0; i < 6; i++) {
        if (text[i] == '1') word |= static_cast<uint16_t>(1u << i);
    }
    for (int r = 0; r < 4; r++) {
        if (text[6] == ramp_letters[r]) word |= ramp_words[r];
    }
    if (text[7] >= '1' && text[7] <= '9') {
        word |= static_cast<uint16_t>((text[7] - '0') << CELL_HEIGHT_SHIFT);
    }
    return word;
}

void cell_text_from_word(uint16_t word, char text[CELL_TEXT_LENGTH + 1])
{
    for (int i = 0; i < 6; i++) text[i] = (word & (1u << i)) ? '1' : '0';
    text[6] = 'F';
    for (int r = 0; r < 4; r++) {
        if ((word & CELL_RAMP_MASK) == ramp_words[r]) text[6] = ramp_letters[r];
    }
    int height = (word & CELL_HEIGHT_MASK) >> CELL_HEIGHT_SHIFT;
    text[7] = static_cast<char>('0' + (height > 9 ? 9 : height));
    text[8] = '\0';
}

bool cell_text_says_all(uint16_t word)
{
    char text[CELL_TEXT_LENGTH + 1];
    cell_text_from_word(word, text);
    return cell_word_from_text(text) == word;
}
