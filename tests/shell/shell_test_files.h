// What the shell's tests share: a scratch folder, whole files, a parsed command line
// described by what it changed, and what a call says on stderr.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "shell/options.h"

// A fresh folder under /tmp, removed with all it holds.
struct Scratch {
    std::string root;
    Scratch()
    {
        char pattern[] = "/tmp/shell_test_XXXXXX";
        root = mkdtemp(pattern);
    }
    ~Scratch() { std::system(("rm -rf '" + root + "'").c_str()); }
};

inline void write_file(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

inline std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "<missing>";
}

template <class Call>
std::string stderr_of(Call call)
{
    testing::internal::CaptureStderr();
    call();
    return testing::internal::GetCapturedStderr();
}

// maze's command line (after the program name); false with the reason when refused.
inline bool parse(const std::vector<std::string>& args, std::string* reason = nullptr)
{
    std::vector<const char*> argv = {"maze"};
    for (const std::string& a : args) argv.push_back(a.c_str());
    char message[OPTIONS_MAX_PATH + 64] = "";
    bool taken = parse_options(static_cast<int>(argv.size()), argv.data(), message, sizeof message);
    if (reason) *reason = message;
    return taken;
}

// The settings that differ from the defaults, as "name=value" in the order of GameOptions.
inline std::string changed_options()
{
    const GameOptions& o = game_options;
    std::ostringstream out;
    auto put = [&out](const char* name, auto value, decltype(value) usual) {
        if (value != usual) out << (out.tellp() > 0 ? " " : "") << name << '=' << value;
    };
    put("level", o.first_level, 1);
    put("levels", o.levels_dir, nullptr);
    put("play", o.play_file, nullptr);
    put("window", o.windowed, false);
    put("solid", o.solid, false);
    put("fps", o.fps, 60);
    put("mouse_speed", o.mouse_speed, 1.0);
    put("record", o.record_path, nullptr);
    put("trace", o.trace_path, nullptr);
    put("help", o.help, false);
    put("version", o.version, false);
    put("config", o.config_path, nullptr);
    put("screenshot_dir", o.screenshot_dir, nullptr);
    put("brightness", o.brightness, 0);
    put("dead_zone", o.gamepad_dead_zone, 0.2);
    put("stick_speed", o.gamepad_stick_speed, 1.0);
    put("invert_tilt", o.gamepad_invert_tilt, false);
    return out.str();
}
