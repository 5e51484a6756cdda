// The routes mazepilot steers along: one file per attempt at a level, one command a line.
#pragma once

#include <string>
#include <vector>

enum CommandKind {
    command_goto, command_climb, command_hold, command_push, command_tap, command_pitch, command_safe,
    command_push_block, command_chase, command_yaw, command_distance
};

struct Command {
    CommandKind kind;
    double row, column;  // goto, climb: the target of the ball's centre
    double speed;        // goto: cruising speed, cells per 100 ms
    double reach;        // goto: how near counts as arrived
    int frames;          // hold, push
    int dx, dy;          // push: mouse counts per frame
    int key;             // tap: scan code held for one frame
    double pitch;        // pitch, yaw: the camera angle to turn to; distance: its distance
    double radius;       // safe: keep wanderers this far from the way ahead
    int line;
};

struct Route {
    std::string path;
    std::vector<Command> commands;
    bool expect_failure;
    bool expect_end;  // false: the run ends with the route, the level still going
    int limit;        // frames after the last command before giving up
};

// Reads one route file; false (with a message on stderr naming the line) when it cannot.
bool read_route(const char* path, Route* route);
