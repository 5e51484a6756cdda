// The command line of maze, read into game_options before anything opens.
#include "shell/options.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr GameOptions default_options = {OPTIONS_FIRST_LEVEL, nullptr, nullptr, false, false, OPTIONS_DEFAULT_FPS,
                                         1.0, nullptr, nullptr, false, false, nullptr, nullptr,
                                         0, OPTIONS_DEFAULT_DEAD_ZONE, 1.0, false};

}  // namespace

GameOptions game_options = default_options;

const char* const options_usage =
    "usage: maze [OPTIONS]\n"
    "  --level N          start at level N (1 to 4), then go on as usual\n"
    "  --levels DIR       read the level files from DIR instead of the working directory\n"
    "  --play FILE        play that level file as the only level: winning it ends the game,\n"
    "                     losing restarts it\n"
    "  --window           start in a window (Alt+Enter still switches)\n"
    "  --solid            start in solid drawing (F4 still switches)\n"
    "  --fps N            frames a second, 20 to 1000 (default 60); 0 runs unpaced\n"
    "  --mouse-speed F    scale mouse motion by F, 0.1 to 10 (default 1)\n"
    "  --record FILE      write a script of the run to FILE, for mazereplay\n"
    "  --trace FILE       write the run's trace to FILE (JSON Lines, as mazereplay --trace)\n"
    "  --config FILE      read and save the settings in FILE instead of the usual one\n"
    "  --screenshot-dir DIR  save Print Screen pictures in DIR (made if missing)\n"
    "  --brightness N     brightness 0 to 4 (default 0; F11 cycles it)\n"
    "  --gamepad-dead-zone F   part of a stick's travel ignored, 0 to 0.9 (default 0.2)\n"
    "  --gamepad-stick-speed F scale the gamepad sticks' motion by F, 0.1 to 10 (default 1)\n"
    "  --gamepad-invert-tilt   the right stick tilts the camera the other way\n"
    "  --help             print this and exit\n"
    "  --version          print the version and exit\n";

namespace {

enum OptionKind {
    OPTION_LEVEL,
    OPTION_LEVELS,
    OPTION_PLAY,
    OPTION_WINDOW,
    OPTION_SOLID,
    OPTION_FPS,
    OPTION_MOUSE_SPEED,
    OPTION_RECORD,
    OPTION_TRACE,
    OPTION_HELP,
    OPTION_VERSION,
    OPTION_CONFIG,
    OPTION_SCREENSHOT_DIR,
    OPTION_BRIGHTNESS,
    OPTION_DEAD_ZONE,
    OPTION_STICK_SPEED,
    OPTION_INVERT_TILT,
    OPTION_KINDS
};

struct OptionName {
    const char* name;
    bool takes_value;
};

constexpr OptionName option_names[OPTION_KINDS] = {
    {"--level", true},        {"--levels", true}, {"--play", true},  {"--window", false}, {"--solid", false},
    {"--fps", true},          {"--mouse-speed", true}, {"--record", true}, {"--trace", true}, {"--help", false},
    {"--version", false},     {"--config", true}, {"--screenshot-dir", true},
    {"--brightness", true},   {"--gamepad-dead-zone", true}, {"--gamepad-stick-speed", true},
    {"--gamepad-invert-tilt", false},
};

// Which options were given, so that one given twice is refused rather than half-used.
bool given[OPTION_KINDS];

int option_kind(const char* arg)
{
    for (int kind = 0; kind < OPTION_KINDS; kind++)
        if (std::strcmp(arg, option_names[kind].name) == 0) return kind;
    if (std::strcmp(arg, "-h") == 0) return OPTION_HELP;
    return -1;
}

// The reason is `what` followed by `detail` (an option or the value refused).
bool refuse(char* message, size_t size, const char* what, const char* detail)
{
    if (message && size > 0) std::snprintf(message, size, "%s%s", what, detail);
    return false;
}

// A whole decimal integer with nothing after it; false for anything else or overflow.
bool parse_int(const char* text, long* value)
{
    const char* digits = text[0] == '-' ? text + 1 : text;
    if (*digits < '0' || *digits > '9') return false;
    char* end = nullptr;
    errno = 0;
    *value = std::strtol(text, &end, 10);
    return errno == 0 && *end == '\0';
}

// A finite decimal number with nothing after it (no hex, no inf or nan).
bool parse_number(const char* text, double* value)
{
    for (const char* p = text; *p; p++)
        if (!((*p >= '0' && *p <= '9') || *p == '.' || *p == '-' || *p == '+' || *p == 'e' || *p == 'E'))
            return false;
    char* end = nullptr;
    errno = 0;
    *value = std::strtod(text, &end);
    return end != text && *end == '\0' && errno == 0 && std::isfinite(*value);
}

// The value after option argv[*index]: missing at the end or when the next argument is
// itself an option (a file named like one can be given as ./--name).
const char* take_value(int argc, const char* const* argv, int* index)
{
    if (*index + 1 >= argc) return nullptr;
    const char* value = argv[*index + 1];
    if (value[0] == '\0' || std::strncmp(value, "--", 2) == 0) return nullptr;
    ++*index;
    return value;
}

bool take_path(const char* value, const char** out, char* message, size_t size)
{
    if (std::strlen(value) >= OPTIONS_MAX_PATH) return refuse(message, size, "path too long: ", value);
    *out = value;
    return true;
}

// Takes option `kind` at argv[*index] with its value, if it has one.
bool take_option(int kind, int argc, const char* const* argv, int* index, char* message, size_t size)
{
    const OptionName& option = option_names[kind];
    if (given[kind]) return refuse(message, size, "given twice: ", option.name);
    given[kind] = true;
    const char* value = option.takes_value ? take_value(argc, argv, index) : nullptr;
    if (option.takes_value && !value) return refuse(message, size, "missing value after ", option.name);
    long number = 0;
    double speed = 0;
    switch (kind) {
    case OPTION_LEVEL:
        if (!parse_int(value, &number) || number < OPTIONS_FIRST_LEVEL || number > OPTIONS_LAST_LEVEL)
            return refuse(message, size, "--level must be 1 to 4, not ", value);
        game_options.first_level = static_cast<int>(number);
        return true;
    case OPTION_LEVELS: return take_path(value, &game_options.levels_dir, message, size);
    case OPTION_PLAY: return take_path(value, &game_options.play_file, message, size);
    case OPTION_WINDOW: game_options.windowed = true; return true;
    case OPTION_SOLID: game_options.solid = true; return true;
    case OPTION_FPS:
        // "-0" is no number of frames either, not a way to say unpaced.
        if (!parse_int(value, &number) || value[0] == '-' ||
            (number != 0 && (number < OPTIONS_MIN_FPS || number > OPTIONS_MAX_FPS)))
            return refuse(message, size, "--fps must be 0 or 20 to 1000, not ", value);
        game_options.fps = static_cast<int>(number);
        return true;
    case OPTION_MOUSE_SPEED:
        if (!parse_number(value, &speed) || speed < OPTIONS_MIN_MOUSE_SPEED || speed > OPTIONS_MAX_MOUSE_SPEED)
            return refuse(message, size, "--mouse-speed must be a number from 0.1 to 10, not ", value);
        game_options.mouse_speed = speed;
        return true;
    case OPTION_RECORD: game_options.record_path = value; return true;
    case OPTION_TRACE: game_options.trace_path = value; return true;
    case OPTION_VERSION: game_options.version = true; return true;
    case OPTION_CONFIG: return take_path(value, &game_options.config_path, message, size);
    case OPTION_SCREENSHOT_DIR: return take_path(value, &game_options.screenshot_dir, message, size);
    case OPTION_BRIGHTNESS:
        if (!parse_int(value, &number) || number < 0 || number > OPTIONS_MAX_BRIGHTNESS)
            return refuse(message, size, "--brightness must be 0 to 4, not ", value);
        game_options.brightness = static_cast<int>(number);
        return true;
    case OPTION_DEAD_ZONE:
        if (!parse_number(value, &speed) || speed < 0 || speed > OPTIONS_MAX_DEAD_ZONE)
            return refuse(message, size, "--gamepad-dead-zone must be a number from 0 to 0.9, not ", value);
        game_options.gamepad_dead_zone = speed;
        return true;
    case OPTION_STICK_SPEED:
        if (!parse_number(value, &speed) || speed < OPTIONS_MIN_STICK_SPEED || speed > OPTIONS_MAX_STICK_SPEED)
            return refuse(message, size, "--gamepad-stick-speed must be a number from 0.1 to 10, not ", value);
        game_options.gamepad_stick_speed = speed;
        return true;
    case OPTION_INVERT_TILT: game_options.gamepad_invert_tilt = true; return true;
    default: game_options.help = true; return true;
    }
}

}  // namespace

void reset_options()
{
    game_options = default_options;
    for (bool& g : given) g = false;
}

bool parse_level_option(int argc, const char* const* argv, int* index, bool* taken, char* message,
                        size_t message_size)
{
    int kind = option_kind(argv[*index]);
    *taken = kind == OPTION_LEVEL || kind == OPTION_LEVELS || kind == OPTION_PLAY;
    if (!*taken) return true;
    return take_option(kind, argc, argv, index, message, message_size);
}

bool level_option_given(const char* name)
{
    int kind = option_kind(name);
    return kind >= 0 && given[kind];
}

bool check_level_options(char* message, size_t message_size)
{
    if (game_options.play_file && (given[OPTION_LEVEL] || given[OPTION_LEVELS]))
        return refuse(message, message_size, "--play names the only level; it does not go with ",
                      given[OPTION_LEVEL] ? "--level" : "--levels");
    return true;
}

bool parse_options(int argc, const char* const* argv, char* message, size_t message_size)
{
    reset_options();
    for (int i = 1; i < argc; i++) {
        int kind = option_kind(argv[i]);
        if (kind < 0) {
            const char* arg = argv[i];
            if (arg[0] == '-') return refuse(message, message_size, "unknown option ", arg);
            return refuse(message, message_size, "unexpected argument ", arg);
        }
        if (!take_option(kind, argc, argv, &i, message, message_size)) return false;
    }
    return check_level_options(message, message_size);
}

bool option_given(const char* name)
{
    int kind = option_kind(name);
    return kind >= 0 && given[kind];
}

bool level_file_name(int number, char* name, size_t size)
{
    int length = 0;
    if (game_options.play_file)
        length = std::snprintf(name, size, "%s", game_options.play_file);
    else if (game_options.levels_dir)
        length = std::snprintf(name, size, "%s/level%d.lvx", game_options.levels_dir, number);
    else
        length = std::snprintf(name, size, "level%d.lvx", number);
    return length >= 0 && static_cast<size_t>(length) < size;
}

bool level_file_is_open_as(int fd, char* name, size_t size)
{
    struct stat open_file;
    if (fd < 0 || fstat(fd, &open_file) != 0) return false;
    int last = game_options.play_file ? game_options.first_level : OPTIONS_LAST_LEVEL;
    for (int number = game_options.first_level; number <= last; number++) {
        struct stat level;
        if (level_file_name(number, name, size) && stat(name, &level) == 0 && level.st_dev == open_file.st_dev &&
            level.st_ino == open_file.st_ino)
            return true;
    }
    return false;
}
