// levelgen as a library: the map reader and the four texts it makes, for the program
// and the fuzz harness.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// Where the messages go (stderr unless changed).
extern std::FILE* levelgen_errors;

// Reads a map held in memory; `name` names it in messages. False after a message.
bool parse_map(const char* name, const char* text, size_t size);

// The four files of the map read last: layer1.txt, layer2.txt, colors.txt, entity.txt.
void level_texts(std::string texts[4]);

// The program: levelgen MAP OUTDIR. Returns the exit code.
int levelgen_main(int argc, char** argv);
