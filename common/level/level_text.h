// The text form of a cell word: the eight characters of one line of layer1.txt or
// layer2.txt. mazec reads it, mazedump and levelgen write it.
#pragma once

#include <cstdint>

constexpr int CELL_TEXT_LENGTH = 8;

// Six face characters ('1' sets the face; anything else nothing), the ramp letter
// N S E W (anything else: no ramp) and the height digit '1'..'9' (anything else: 0).
uint16_t cell_word_from_text(const char text[CELL_TEXT_LENGTH]);

// The eight characters (and a terminating NUL) that read back as `word` as far as the
// text can say it: height codes above 9 are written as 9, the unused ramp values
// 0x40, 0x80, 0xC0 as no ramp, and bits 9, 10 and 15 not at all.
void cell_text_from_word(uint16_t word, char text[CELL_TEXT_LENGTH + 1]);

// True when `word` is exactly what its text reads back as.
bool cell_text_says_all(uint16_t word);
