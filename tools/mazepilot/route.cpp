#include "route.h"

#include <cstdio>
#include <cstring>

namespace {

bool fail_route(const Route& route, int line, const char* what)
{
    std::fprintf(stderr, "mazepilot: %s:%d: %s\n", route.path.c_str(), line, what);
    return false;
}

}  // namespace

bool read_route(const char* path, Route* route)
{
    route->path = path;
    route->expect_failure = false;
    route->expect_end = true;
    route->limit = 600;
    std::FILE* file = std::fopen(path, "r");
    if (!file) {
        std::fprintf(stderr, "mazepilot: cannot open %s\n", path);
        return false;
    }
    char text[512];
    int line = 0;
    bool ok = true;
    while (ok && std::fgets(text, sizeof text, file)) {
        line++;
        char* hash = std::strchr(text, '#');
        if (hash) *hash = '\0';
        char word[32] = "";
        if (std::sscanf(text, "%31s", word) != 1) continue;
        Command c = {};
        c.line = line;
        c.speed = 0.3;
        c.reach = 0.2;
        int n = 0;
        if (std::strcmp(word, "goto") == 0) {
            c.kind = command_goto;
            n = std::sscanf(text, "%*s %lf %lf %lf %lf", &c.row, &c.column, &c.speed, &c.reach);
            if (n < 2 || c.speed <= 0 || c.speed > 0.5 || c.reach <= 0)
                ok = fail_route(*route, line, "goto ROW COLUMN [SPEED 0..0.5] [REACH]");
        } else if (std::strcmp(word, "climb") == 0) {
            c.kind = command_climb;
            n = std::sscanf(text, "%*s %lf %lf", &c.row, &c.column);
            if (n != 2) ok = fail_route(*route, line, "climb ROW COLUMN");
        } else if (std::strcmp(word, "hold") == 0) {
            c.kind = command_hold;
            n = std::sscanf(text, "%*s %d", &c.frames);
            if (n != 1 || c.frames < 1) ok = fail_route(*route, line, "hold FRAMES");
        } else if (std::strcmp(word, "push") == 0) {
            c.kind = command_push;
            n = std::sscanf(text, "%*s %d %d %d", &c.dx, &c.dy, &c.frames);
            if (n != 3 || c.frames < 1) ok = fail_route(*route, line, "push DX DY FRAMES");
        } else if (std::strcmp(word, "tap") == 0) {
            c.kind = command_tap;
            c.frames = 1;
            n = std::sscanf(text, "%*s %x", &c.key);
            if (n != 1 || c.key < 1 || c.key > 0xFF) ok = fail_route(*route, line, "tap SCANCODE (hex)");
        } else if (std::strcmp(word, "safe") == 0) {
            c.kind = command_safe;
            n = std::sscanf(text, "%*s %lf", &c.radius);
            if (n != 1 || c.radius < 0) ok = fail_route(*route, line, "safe RADIUS (0 turns it off)");
        } else if (std::strcmp(word, "pushblock") == 0) {
            c.kind = command_push_block;
        } else if (std::strcmp(word, "chase") == 0) {
            c.kind = command_chase;
        } else if (std::strcmp(word, "pitch") == 0) {
            c.kind = command_pitch;
            n = std::sscanf(text, "%*s %lf", &c.pitch);
            if (n != 1 || c.pitch <= -1.5 || c.pitch >= 1.5) ok = fail_route(*route, line, "pitch RADIANS (-1.5 .. 1.5)");
        } else if (std::strcmp(word, "yaw") == 0) {
            c.kind = command_yaw;
            n = std::sscanf(text, "%*s %lf", &c.pitch);
            if (n != 1 || c.pitch <= -6.28 || c.pitch >= 6.28) ok = fail_route(*route, line, "yaw RADIANS (-6.28 .. 6.28)");
        } else if (std::strcmp(word, "distance") == 0) {
            c.kind = command_distance;
            n = std::sscanf(text, "%*s %lf", &c.pitch);
            if (n != 1 || c.pitch < 2.5 || c.pitch > 50) ok = fail_route(*route, line, "distance UNITS (2.5 .. 50)");
        } else if (std::strcmp(word, "expect") == 0) {
            char outcome[16] = "";
            if (std::sscanf(text, "%*s %15s", outcome) != 1 ||
                (std::strcmp(outcome, "win") != 0 && std::strcmp(outcome, "lose") != 0 &&
                 std::strcmp(outcome, "none") != 0))
                ok = fail_route(*route, line, "expect win|lose|none");
            route->expect_failure = std::strcmp(outcome, "lose") == 0;
            route->expect_end = std::strcmp(outcome, "none") != 0;
            continue;
        } else if (std::strcmp(word, "limit") == 0) {
            if (std::sscanf(text, "%*s %d", &route->limit) != 1 || route->limit < 0)
                ok = fail_route(*route, line, "limit FRAMES");
            continue;
        } else {
            ok = fail_route(*route, line, "unknown command (goto, climb, hold, push, tap, pitch, yaw, distance, safe, pushblock, chase, expect, limit)");
        }
        if (ok) route->commands.push_back(c);
    }
    std::fclose(file);
    return ok;
}
