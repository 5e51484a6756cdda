// mazec: turns layer1.txt, layer2.txt, colors.txt and entity.txt into level.lvx.
#pragma once

#include <cstdint>
#include <cstdio>

// The streams of one compile. `compile_level` closes all five, whatever the outcome.
struct CompileFiles {
    std::FILE* layer1;
    std::FILE* layer2;
    std::FILE* entity;
    std::FILE* colors;
    std::FILE* level;             // the output, written in binary
    const char* level_temp_path;  // the file behind `level`, or nullptr for a caller's stream
    const char* level_path;       // the temporary file is renamed to this once complete
};

// Encodes the eight characters of one layer line into a cell word.
uint16_t encode_cell_line(const char line[8]);

// Compiles the open inputs into `files.level`, printing progress and errors to `out`.
// With a temporary path, the file is renamed over `level_path` only after it was written
// and closed in full, and removed on any error. Returns the exit code: 0 or 1.
int compile_level(const CompileFiles& files, std::FILE* out);

// The whole program run in `directory`: banner, opening the inputs and a temporary
// output beside level.lvx, then `compile_level`. Returns the exit code.
int mazec_main(const char* directory, std::FILE* out);
