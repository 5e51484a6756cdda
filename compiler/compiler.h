// mazec: turns layer1.txt, layer2.txt, colors.txt and entity.txt into level.lvx.
#pragma once

#include <csignal>
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

// Warns on `err`, with the file and line, of what the compile reads other than it looks:
// a layer line that is not exactly eight characters, an entity line with a field that is
// not a number, entity lines beyond 32. Reads the inputs and puts them back where they
// were; a stream that cannot be put back is left unread.
void warn_about_inputs(const CompileFiles& files, std::FILE* err);

// Compiles the open inputs into `files.level`, printing progress and errors to `out`.
// With a temporary path, the file is renamed over `level_path` only after it was written
// and closed in full, and removed on any error. Returns the exit code: 0 or 1.
int compile_level(const CompileFiles& files, std::FILE* out);

// The whole program run in `directory`: banner, opening the inputs and a temporary
// output beside level.lvx, warnings on `err`, then `compile_level`. Returns the exit code.
int mazec_main(const char* directory, std::FILE* out, std::FILE* err);

// The temporary level file of the compile in progress, for a signal handler to remove:
// `level_temp_name` is valid while `level_temp_exists` is non-zero.
extern char level_temp_name[4096];
extern volatile std::sig_atomic_t level_temp_exists;
