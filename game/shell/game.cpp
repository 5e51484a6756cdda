// The game program: start-up, the level loop, the frame loop and the closing messages.
#include "shell/game.h"

#include <cstdio>

#include "platform/platform.h"
#include "render/frame.h"
#include "render/scene.h"
#include "shell/display.h"
#include "shell/input.h"
#include "shell/options.h"
#include "shell/screenshot.h"
#include "sim/collisions.h"
#include "sim/motion.h"
#include "sim/steering.h"
#include "sim/wanderers.h"
#include "world/camera.h"
#include "world/trig.h"
#include "world/world.h"

int32_t level_number;
char level_banner[64];
uint8_t key_state[256];
bool closing_message_active;
bool game_options_in_force;

namespace {

constexpr uint32_t banner_milliseconds = 3000;
constexpr uint32_t closing_milliseconds = 3000;
const char* const fatal_caption = "Fatal Error";

uint32_t fps_previous_tick;
// The level after which the game ends with the congratulation: 4, or 1 when --play
// names the only level.
int32_t last_level;

// Pause. What it does follows only from what the frames read (the keyboard's success,
// P, the mouse buttons), so a recording of those reads replays it exactly.
bool paused;
bool resume_next_frame;    // P or a button pressed while paused: play on next frame
bool clocks_need_shift;    // the first frame after a pause moves the clocks on
uint32_t pause_tick;       // the tick read by the first paused frame
bool buttons_held_before;  // a button was held at the last successful mouse read

bool key_held(int scan_code) { return (key_state[scan_code] & KEY_HELD) != 0; }
bool escape_held() { return key_held(SCAN_ESCAPE); }

void fatal_message(const char* text) { platform_message_box(text, fatal_caption, PLATFORM_ICON_ERROR); }

void set_welcome_banner()
{
    std::snprintf(level_banner, sizeof level_banner, "WELCOME TO LEVEL %d!", static_cast<int>(level_number));
}

void reset_camera()
{
    camera_focus_x = 5.0;
    camera_focus_y = 5.0;
    camera_distance = 7.0;
    camera_pitch = 0.1;
    camera_yaw = 0.0;
}

// The mouse is read once per frame and handed to the steering; an unreadable mouse
// counts as a mouse at rest with no button held.
void steer_frame_mouse()
{
    int32_t dx = 0, dy = 0, left = 0, right = 0;
    if (read_mouse(&dx, &dy, &left, &right))
        buttons_held_before = left != 0 || right != 0;
    else
        dx = dy = left = right = 0;
    steer_player(dx, dy, left != 0, right != 0);
}

void draw_frame_rate()
{
    char fps_text[32];
    std::snprintf(fps_text, sizeof fps_text, "%5.2f fps", frames_per_second());
    draw_text(fps_text, 5, 5, 0, 255, 255);
}

// A paused frame: the world as it stands, the pause's texts, and the mouse read only to
// see a button pressed (its motion is dropped, so nothing jumps on resume).
void run_paused_frame()
{
    int32_t dx = 0, dy = 0, left = 0, right = 0;
    if (read_mouse(&dx, &dy, &left, &right)) {
        bool held = left != 0 || right != 0;
        if (held && !buttons_held_before) resume_next_frame = true;
        buttons_held_before = held;
    }
    clear_frame(0);
    render_scene();
    if (debug_flags & DEBUG_FPS) draw_frame_rate();
    draw_text("PAUSED", 296, 220, 255, 255, 0);
    draw_text("PRESS P OR A MOUSE BUTTON TO PLAY ON", 176, 245, 255, 255, 0);
}

// Decides from this frame's keyboard read whether the frame is paused. A failed read is
// a window without the focus (or a device gone): the game pauses until the player is
// back and says so. P acts when pressed.
void update_pause(bool keyboard_read, bool p_was_held)
{
    bool p_pressed = keyboard_read && key_held(SCAN_P) && !p_was_held;
    if (paused && resume_next_frame) {
        paused = false;
        resume_next_frame = false;
        clocks_need_shift = true;
        platform_set_paused(false);
    }
    if (!paused && (!keyboard_read || p_pressed)) {
        paused = true;
        platform_set_paused(true);
        // Paused again before a frame has played: the pause goes on from its first tick.
        if (!clocks_need_shift) pause_tick = platform_ticks();
    } else if (paused && p_pressed) {
        resume_next_frame = true;
    }
}

// The first frame after a pause: the simulation's clocks and the banner's start move on
// by the time spent paused, so this frame's step is as long as the one before the pause.
// A clock still at 0 means "no step yet" and stays so.
void shift_clocks(uint32_t* level_start_tick)
{
    clocks_need_shift = false;
    uint32_t paused_for = platform_ticks() - pause_tick;
    if (motion_tick != 0) motion_tick += paused_for;
    if (force_tick != 0) force_tick += paused_for;
    *level_start_tick += paused_for;
}

void run_frame_loop(uint32_t level_start_tick)
{
    for (;;) {
        // A failed read keeps the previous state, so Escape and the switches see it.
        bool p_was_held = key_held(SCAN_P);
        bool keyboard_read = read_keyboard(key_state);
        poll_function_keys(key_state);
        poll_screenshot_key(key_state);
        update_pause(keyboard_read, p_was_held);
        if (paused) {
            run_paused_frame();
            save_pending_screenshot();
            present_frame();
            if (escape_held()) return;
            continue;
        }
        if (clocks_need_shift) shift_clocks(&level_start_tick);
        update_wanderers(platform_calendar_seconds);
        steer_frame_mouse();
        integrate_motion(platform_ticks());
        update_player(platform_ticks());
        align_player_heading();
        follow_camera();
        clear_frame(0);
        render_scene();
        if (debug_flags & DEBUG_FPS) draw_frame_rate();
        // Unsigned difference: a tick counter that wraps during the level still works.
        if (static_cast<uint32_t>(platform_ticks() - level_start_tick) <= banner_milliseconds)
            draw_text(level_banner, 210, 235, 255, 255, 0);
        save_pending_screenshot();
        present_frame();
        if (level_done != 0 || escape_held()) return;
    }
}

void decide_outcome()
{
    if (level_failed != 0) {
        std::snprintf(level_banner, sizeof level_banner, "%s", "OOPS! TRY AGAIN, KIP!");
        return;
    }
    level_number++;
    if (escape_held()) {
        show_timed_message("LIVE LONG AND PROSPER!", 210);
        if (level_number <= last_level) set_welcome_banner();
    } else if (level_number <= last_level) {
        set_welcome_banner();
    } else {
        show_timed_message("CONGRATULATIONS! YOU DID IT!", 180);
    }
}

}  // namespace

int game_main()
{
    level_number = game_options.first_level;
    last_level = game_options.play_file ? level_number : OPTIONS_LAST_LEVEL;
    paused = resume_next_frame = clocks_need_shift = buttons_held_before = false;
    platform_message_box("Press ok to start the program", "hold 'yer hourses!", PLATFORM_ICON_NONE);
    if (!init_display()) {
        shutdown_display();
        fatal_message("Failed to initialize DirectDraw. Quitting");
        return 1;
    }
    if (!init_input()) {
        fatal_message("Failed to initialize DirectInput. Quitting");
        // Give the screen back once the message has been read.
        shutdown_display();
        return 1;
    }
    build_trig_tables();
    set_welcome_banner();
    if (game_options.solid) debug_flags |= DEBUG_SOLID;
    game_options_in_force = true;

    do {
        char file_name[OPTIONS_MAX_PATH + 16];
        if (!level_file_name(level_number, file_name, sizeof file_name) || !load_level(file_name)) {
            shutdown_display();
            release_input();
            fatal_message("Failed to load leveldata");
            return 1;
        }
        reset_camera();
        uint32_t level_start_tick = platform_ticks();
        run_frame_loop(level_start_tick);
        decide_outcome();
        level_failed = 0;
        level_done = 0;
    } while (!escape_held() && level_number <= last_level);

    shutdown_display();
    release_input();
    return 0;
}

double frames_per_second()
{
    uint32_t now = platform_ticks();
    uint32_t interval = now - fps_previous_tick;
    fps_previous_tick = now;
    return 1000.0 / static_cast<double>(interval);
}

void align_player_heading()
{
    if (player_index < 0 || player_index >= ENTITY_SLOTS) return;
    Entity& player = entities[player_index];
    player.orient_a = 0.0;
    player.orient_b = 0.0;
    player.heading = camera_yaw;
}

void show_timed_message(const char* text, int x)
{
    // The back buffer still holds the last frame with its texts (the banner, the pause
    // lines, the frame rate), which would lie under the message and garble both: the
    // world, unchanged since, is drawn again without them, and the message alone on it.
    clear_frame(0);
    render_scene();
    draw_text(text, x, 235, 255, 255, 0);
    closing_message_active = true;
    present_frame();
    closing_message_active = false;
    // Hold the message on screen; nothing else runs and no input is read meanwhile.
    uint32_t start = platform_ticks();
    while (static_cast<uint32_t>(platform_ticks() - start) <= closing_milliseconds) platform_idle();
}
