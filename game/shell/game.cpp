// The game program: start-up, the level loop, the frame loop and the closing messages.
#include "shell/game.h"

#include <cstdio>

#include "platform/platform.h"
#include "render/frame.h"
#include "render/scene.h"
#include "shell/display.h"
#include "shell/input.h"
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

namespace {

constexpr int last_level = 4;
constexpr uint32_t banner_milliseconds = 3000;
constexpr uint32_t closing_milliseconds = 3000;
const char* const fatal_caption = "Fatal Error";

uint32_t fps_previous_tick;

bool escape_held() { return (key_state[SCAN_ESCAPE] & KEY_HELD) != 0; }

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
    if (!read_mouse(&dx, &dy, &left, &right)) dx = dy = left = right = 0;
    steer_player(dx, dy, left != 0, right != 0);
}

void run_frame_loop(uint32_t level_start_tick)
{
    char fps_text[32];
    for (;;) {
        // A failed read keeps the previous state, so Escape and the switches see it.
        read_keyboard(key_state);
        poll_function_keys(key_state);
        poll_screenshot_key(key_state);
        update_wanderers(platform_calendar_seconds);
        steer_frame_mouse();
        integrate_motion(platform_ticks());
        update_player(platform_ticks());
        align_player_heading();
        follow_camera();
        clear_frame(0);
        render_scene();
        if (debug_flags & DEBUG_FPS) {
            std::snprintf(fps_text, sizeof fps_text, "%5.2f fps", frames_per_second());
            draw_text(fps_text, 5, 5, 0, 255, 255);
        }
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
    level_number = 1;
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

    do {
        char file_name[32];
        std::snprintf(file_name, sizeof file_name, "level%d.lvx", static_cast<int>(level_number));
        if (!load_level(file_name)) {
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
    draw_text(text, x, 235, 255, 255, 0);
    closing_message_active = true;
    present_frame();
    closing_message_active = false;
    // Hold the message on screen; nothing else runs and no input is read meanwhile.
    uint32_t start = platform_ticks();
    while (static_cast<uint32_t>(platform_ticks() - start) <= closing_milliseconds) platform_idle();
}
