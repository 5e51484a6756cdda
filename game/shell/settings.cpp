// The settings file: read at start, the lines kept as they are, rewritten where the
// game changed a setting.
#include "shell/settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "shell/options.h"
#include "common/level/file_replace.h"

char settings_path[OPTIONS_MAX_PATH + 32];

namespace {

enum SettingKind { SETTING_FLAG, SETTING_WHOLE, SETTING_NUMBER, SETTING_FOLDER };

// One key of the file. `option` is the command-line option that wins for a run;
// `field` points into game_options (bool, int, double or const char* by kind); whole
// numbers and numbers lie in min..max, or are 0 where `zero_too` says so.
struct SettingRow {
    const char* key;
    const char* option;
    SettingKind kind;
    void* field;
    double min, max;
    bool zero_too;
};

// A new key is a field of GameOptions and one row here. When the game can change it
// (as F4 changes solid), main.cpp copies the game's state into the field before
// settings_save_changes, which then writes it if it differs from the start.
const SettingRow setting_rows[] = {
    {"solid", "--solid", SETTING_FLAG, &game_options.solid, 0, 1, false},
    {"window", "--window", SETTING_FLAG, &game_options.windowed, 0, 1, false},
    {"fps", "--fps", SETTING_WHOLE, &game_options.fps, OPTIONS_MIN_FPS, OPTIONS_MAX_FPS, true},
    {"mouse_speed", "--mouse-speed", SETTING_NUMBER, &game_options.mouse_speed, OPTIONS_MIN_MOUSE_SPEED,
     OPTIONS_MAX_MOUSE_SPEED, false},
    {"screenshot_dir", "--screenshot-dir", SETTING_FOLDER, &game_options.screenshot_dir, 0, 0, false},
    {"brightness", "--brightness", SETTING_WHOLE, &game_options.brightness, 0, OPTIONS_MAX_BRIGHTNESS, false},
    {"gamepad_dead_zone", "--gamepad-dead-zone", SETTING_NUMBER, &game_options.gamepad_dead_zone, 0,
     OPTIONS_MAX_DEAD_ZONE, false},
    {"gamepad_stick_speed", "--gamepad-stick-speed", SETTING_NUMBER, &game_options.gamepad_stick_speed,
     OPTIONS_MIN_STICK_SPEED, OPTIONS_MAX_STICK_SPEED, false},
    {"gamepad_invert_tilt", "--gamepad-invert-tilt", SETTING_FLAG, &game_options.gamepad_invert_tilt, 0, 1, false},
};
constexpr int setting_count = sizeof setting_rows / sizeof setting_rows[0];

// A line of the file as written, the row of its key (-1 for none) and whether its value
// was refused.
struct FileLine {
    std::string text;
    int key;
    bool bad;
};
std::vector<FileLine> file_lines;
bool file_ended_with_newline = true;
bool file_readable = true;
bool written_this_run;  // saved since the file was read
// Values held as text, which compares and writes the same for every kind.
std::string defaults[setting_count];
std::string at_start[setting_count];
// Folder values live here; the fields point into it.
std::string folder_values[setting_count];

std::string value_text(const SettingRow& row)
{
    char text[64];
    switch (row.kind) {
    case SETTING_FLAG: return *static_cast<bool*>(row.field) ? "1" : "0";
    case SETTING_WHOLE: std::snprintf(text, sizeof text, "%d", *static_cast<int*>(row.field)); return text;
    case SETTING_NUMBER: {
        // The shortest text that reads back to the same number.
        double value = *static_cast<double*>(row.field);
        for (int digits = 1; digits <= 17; digits++) {
            std::snprintf(text, sizeof text, "%.*g", digits, value);
            if (std::strtod(text, nullptr) == value) break;
        }
        return text;
    }
    default: {
        const char* folder = *static_cast<const char**>(row.field);
        return folder ? folder : "";
    }
    }
}

// Sets the row's field from `text`; false when the text is no value of that kind.
bool take_value(int index, const std::string& text)
{
    const SettingRow& row = setting_rows[index];
    const char* start = text.c_str();
    char* end = nullptr;
    errno = 0;
    if (row.kind == SETTING_FOLDER) {
        if (text.empty() || text.size() >= OPTIONS_MAX_PATH) return false;
        folder_values[index] = text;
        *static_cast<const char**>(row.field) = folder_values[index].c_str();
        return true;
    }
    if (row.kind == SETTING_NUMBER) {
        if (text.find_first_not_of("0123456789.+-eE") != std::string::npos) return false;
        double value = std::strtod(start, &end);
        if (end == start || *end || errno || !std::isfinite(value) || value < row.min || value > row.max) return false;
        *static_cast<double*>(row.field) = value;
        return true;
    }
    if (text.find_first_not_of("0123456789-") != std::string::npos) return false;
    long value = std::strtol(start, &end, 10);
    if (end == start || *end || errno) return false;
    if (!(row.zero_too && value == 0) && (value < row.min || value > row.max)) return false;
    if (row.kind == SETTING_FLAG)
        *static_cast<bool*>(row.field) = value != 0;
    else
        *static_cast<int*>(row.field) = static_cast<int>(value);
    return true;
}

void restore_default(int index)
{
    const SettingRow& row = setting_rows[index];
    if (row.kind == SETTING_FOLDER)
        *static_cast<const char**>(row.field) = nullptr;
    else
        take_value(index, defaults[index]);
}

std::string describe_range(const SettingRow& row)
{
    char text[96];
    switch (row.kind) {
    case SETTING_FLAG: return "0 or 1";
    case SETTING_FOLDER: return "a folder";
    default:
        std::snprintf(text, sizeof text, "%s%g to %g", row.zero_too ? "0 or " : "", row.min, row.max);
        return text;
    }
}

int row_of(const std::string& key)
{
    for (int i = 0; i < setting_count; i++)
        if (key == setting_rows[i].key) return i;
    return -1;
}

// Splits a line into its key and value (spaces and tabs around both dropped); false
// for blank lines and comments.
bool split_line(const std::string& line, std::string* key, std::string* value)
{
    const char* blanks = " \t\r";
    size_t start = line.find_first_not_of(blanks);
    if (start == std::string::npos || line[start] == '#') return false;
    size_t key_end = line.find_first_of(blanks, start);
    *key = line.substr(start, key_end == std::string::npos ? std::string::npos : key_end - start);
    value->clear();
    if (key_end == std::string::npos) return true;
    size_t value_start = line.find_first_not_of(blanks, key_end);
    if (value_start == std::string::npos) return true;
    size_t value_end = line.find_last_not_of(blanks);
    *value = line.substr(value_start, value_end + 1 - value_start);
    return true;
}

bool make_folders_for(const std::string& path)
{
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        std::string folder = path.substr(0, slash);
        if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    return true;
}

}  // namespace

bool settings_locate(const char* config_option, const char* config_home, const char* home)
{
    settings_path[0] = '\0';
    int length = 0;
    if (config_option)
        length = std::snprintf(settings_path, OPTIONS_MAX_PATH + 32, "%s", config_option);
    else if (config_home && *config_home)
        length = std::snprintf(settings_path, OPTIONS_MAX_PATH + 32, "%s/maze/maze.cfg", config_home);
    else if (home && *home)
        length = std::snprintf(settings_path, OPTIONS_MAX_PATH + 32, "%s/.config/maze/maze.cfg", home);
    if (length <= 0 || length >= static_cast<int>(OPTIONS_MAX_PATH + 32)) {
        settings_path[0] = '\0';
        return false;
    }
    return true;
}

bool settings_load(const char* program)
{
    file_lines.clear();
    file_ended_with_newline = true;
    for (int i = 0; i < setting_count; i++) {
        defaults[i] = value_text(setting_rows[i]);
        folder_values[i].clear();
    }
    file_readable = true;
    written_this_run = false;
    if (!settings_path[0]) return true;
    // Opened without waiting, so a FIFO or device named here cannot hold up the game.
    int fd = open(settings_path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) return true;
    struct stat info;
    if (fd >= 0 && fstat(fd, &info) == 0 && !S_ISREG(info.st_mode)) {
        close(fd);
        fd = -1;
        errno = EINVAL;
    }
    std::FILE* file = fd >= 0 ? fdopen(fd, "rb") : nullptr;
    if (!file) {
        if (fd >= 0) close(fd);
        std::fprintf(stderr, "%s: cannot read the settings %s: %s\n", program, settings_path,
                     errno == EINVAL ? "not a regular file" : std::strerror(errno));
        file_readable = false;
        return false;
    }
    std::string text;
    char buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, got);
    bool read_error = std::ferror(file);
    std::fclose(file);
    if (read_error) {
        std::fprintf(stderr, "%s: cannot read the settings %s\n", program, settings_path);
        file_readable = false;
        return false;
    }
    file_ended_with_newline = text.empty() || text.back() == '\n';
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        file_lines.push_back({text.substr(start, end - start), -1, false});
        start = end + 1;
    }
    for (size_t n = 0; n < file_lines.size(); n++) {
        std::string key, value;
        int index = split_line(file_lines[n].text, &key, &value) ? row_of(key) : -1;
        // Unknown keys belong to someone else (another version of the game): kept, unread.
        if (index < 0) continue;
        const SettingRow& row = setting_rows[index];
        std::string before = value_text(row);
        file_lines[n].key = index;
        file_lines[n].bad = !take_value(index, value);
        // The command line's value stands, unwarned; the line is only looked at.
        if (option_given(row.option)) {
            take_value(index, before);
            continue;
        }
        if (!file_lines[n].bad) continue;
        restore_default(index);
        std::fprintf(stderr, "%s: %s:%zu: %s must be %s, not \"%s\"; using the default, %s\n", program,
                     settings_path, n + 1, row.key, describe_range(row).c_str(), value.c_str(),
                     defaults[index].empty() ? "none" : defaults[index].c_str());
    }
    return true;
}

void settings_note_start()
{
    for (int i = 0; i < setting_count; i++) at_start[i] = value_text(setting_rows[i]);
}

bool settings_save_changes(const char* program)
{
    // A file that could not be read is not written over: its lines would be lost.
    if (!settings_path[0] || !file_readable) return true;
    std::vector<FileLine> lines = file_lines;
    bool changed = false;
    for (int i = 0; i < setting_count; i++) {
        std::string now = value_text(setting_rows[i]);
        if (now == at_start[i]) continue;
        std::string line = std::string(setting_rows[i].key) + " " + now;
        int last = -1;
        for (size_t n = 0; n < lines.size(); n++)
            if (lines[n].key == i) last = static_cast<int>(n);
        // A refused line is left as written; the value goes after it, so it is the one read.
        if (last >= 0 && !lines[last].bad)
            lines[last].text = line;
        else
            lines.push_back({line, i, false});
        changed = true;
    }
    // Once written, the file is written again even with nothing changed, so that a setting
    // switched back after an earlier save goes back too.
    if (!changed && !written_this_run) return true;
    std::string text;
    for (size_t n = 0; n < lines.size(); n++) {
        text += lines[n].text;
        // The file's own last line keeps its missing newline; added lines get one.
        if (n + 1 < lines.size() || n >= file_lines.size() || file_ended_with_newline) text += '\n';
    }
    // Written where a symbolic link points, so a link kept elsewhere stays a link.
    std::string target = settings_path;
    char resolved[PATH_MAX];
    if (realpath(settings_path, resolved)) target = resolved;
    if (!make_folders_for(target)) {
        std::fprintf(stderr, "%s: cannot make the folder of %s: %s\n", program, target.c_str(), std::strerror(errno));
        return false;
    }
    if (!replace_files(program, &target, &text, 1)) return false;
    written_this_run = true;
    return true;
}
