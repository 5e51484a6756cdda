// The mouse and the keyboard over SDL: keys and buttons from the event queue, so a tap
// between two reads is still read once; motion from SDL's relative state, handed out at
// most 100 counts a read with the rest carried; the gamepad mixed into both. The game
// holds the pointer (grabbed, cursor hidden) only while it is played.
#include "platform/sdl/sdl_input.h"

#include <cstring>

#include "platform/sdl/frame_pace.h"
#include "platform/sdl/input_carry.h"
#include "platform/sdl/sdl_gamepad.h"
#include "platform/sdl/sdl_keymap.h"
#include "platform/sdl/sdl_platform.h"
#include "platform/sdl/sdl_record.h"

namespace {

double mouse_speed = 1.0;
int64_t motion_limit = motion_carry_limit(60);
GamepadFeel gamepad_feel = {0.2, 1.0, false};

bool input_ready;
bool gamepad_ready;
bool mouse_created, keyboard_created;
bool mouse_wanted, keyboard_wanted;      // acquired by the game and not unacquired since
bool mouse_acquired, keyboard_acquired;  // as above, and not lost to a focus change
bool has_focus;
bool game_paused;
bool pointer_forced_free;  // a message box is up, or the window is going
bool pointer_grabbed;
uint32_t discard_motion_until;
double speed_carry_x, speed_carry_y;  // what mouse-speed scaling has not yet passed on
MotionCarry flick;                    // motion beyond one read's 100 counts

// Keys by set-1 code, and the two mouse buttons, as the reads are to see them.
KeyQueue keys[256];
KeyQueue buttons_seen[2];

constexpr uint32_t motion_settle_milliseconds = 100;

// Grabbed: relative motion, the cursor hidden. Released: the desktop's pointer.
void grab_pointer(bool grab)
{
    if (grab == pointer_grabbed) return;
    pointer_grabbed = grab;
    SDL_SetRelativeMouseMode(grab ? SDL_TRUE : SDL_FALSE);
    SDL_ShowCursor(grab ? SDL_DISABLE : SDL_ENABLE);
    if (grab) {
        // Switching the mode makes the pointer jump; that motion is not the player's.
        SDL_PumpEvents();
        SDL_GetRelativeMouseState(nullptr, nullptr);
        discard_motion_until = SDL_GetTicks() + motion_settle_milliseconds;
    }
}

bool pointer_is_free() { return game_paused || pointer_forced_free; }

// Nothing pressed while the window was away is the game's, nor motion waiting.
void forget_pending_input()
{
    for (KeyQueue& key : keys) key_queue_reset(&key);
    for (KeyQueue& button : buttons_seen) key_queue_reset(&button);
    flick = {0, 0};
    if (gamepad_ready) sdl_gamepad_reset();
}

void handle_window_event(const SDL_WindowEvent& event)
{
    if (event.event == SDL_WINDOWEVENT_FOCUS_LOST) {
        has_focus = false;
        mouse_acquired = false;
        keyboard_acquired = false;
        grab_pointer(false);
        forget_pending_input();
    } else if (event.event == SDL_WINDOWEVENT_FOCUS_GAINED) {
        // Back in the foreground: the devices the game holds are acquired again.
        has_focus = true;
        mouse_acquired = mouse_wanted;
        keyboard_acquired = keyboard_wanted;
    }
}

// The keys held, by set-1 code; false (the state untouched) without the focus.
bool read_key_state(uint8_t state[256])
{
    // Closing the window ends the game as Escape does, focus or not.
    bool quit = sdl_quit_requested();
    if (!quit && (!keyboard_acquired || !has_focus)) return false;
    std::memset(state, 0, 256);
    if (keyboard_acquired && has_focus) {
        for (int code = 0; code < 256; code++)
            if (key_queue_read(&keys[code])) state[code] = KEY_HELD;
        if (gamepad_ready) sdl_gamepad_read_keys(state, game_paused);
    }
    if (quit) state[SCAN_ESCAPE] = KEY_HELD;
    return true;
}

}  // namespace

void sdl_input_configure(const PlatformSettings* settings)
{
    mouse_speed = settings->mouse_speed;
    motion_limit = motion_carry_limit(settings->frames_per_second);
    gamepad_feel = {settings->gamepad_dead_zone, settings->gamepad_stick_speed, settings->gamepad_invert_tilt};
}

void sdl_input_event(const SDL_Event& event)
{
    switch (event.type) {
    case SDL_WINDOWEVENT:
        handle_window_event(event.window);
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        if (!event.key.repeat) {
            uint8_t code = set1_scan_code(event.key.keysym.scancode);
            if (code != 0) key_queue_change(&keys[code], event.type == SDL_KEYDOWN);
        }
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        if (event.button.button == SDL_BUTTON_LEFT || event.button.button == SDL_BUTTON_RIGHT)
            key_queue_change(&buttons_seen[event.button.button == SDL_BUTTON_LEFT ? 0 : 1],
                             event.type == SDL_MOUSEBUTTONDOWN);
        break;
    default:
        if (gamepad_ready) sdl_gamepad_event(event);
        break;
    }
}

void sdl_input_window_created() { has_focus = true; }

void sdl_input_free_pointer(bool free)
{
    pointer_forced_free = free;
    if (free) grab_pointer(false);
}

// ---- Input ----------------------------------------------------------------------------

bool platform_create_input()
{
    if (SDL_InitSubSystem(SDL_INIT_EVENTS) != 0) return false;
    input_ready = true;
    // Without a game controller subsystem the game still has its mouse and keyboard.
    gamepad_ready = sdl_gamepad_start(&gamepad_feel);
    return true;
}

bool platform_create_mouse()
{
    mouse_created = input_ready && sdl_window() != nullptr;
    return mouse_created;
}

bool platform_create_keyboard()
{
    keyboard_created = input_ready && sdl_window() != nullptr;
    return keyboard_created;
}

// Acquiring marks the device as the game's; it is read only while the window has the
// focus, and taken back on every focus gain. Start-up does not fail because the window
// manager has not yet handed the new window the focus.
bool platform_acquire_mouse()
{
    if (!mouse_created) return false;
    mouse_wanted = true;
    sdl_pump_events();
    mouse_acquired = has_focus;
    return true;
}

bool platform_acquire_keyboard()
{
    if (!keyboard_created) return false;
    keyboard_wanted = true;
    sdl_pump_events();
    keyboard_acquired = has_focus;
    return true;
}

bool platform_unacquire_mouse()
{
    mouse_wanted = false;
    mouse_acquired = false;
    grab_pointer(false);
    return true;
}

bool platform_unacquire_keyboard()
{
    keyboard_wanted = false;
    keyboard_acquired = false;
    return true;
}

void platform_set_paused(bool paused)
{
    game_paused = paused;
    if (!paused) return;
    // At once, not at the next read: the player may want the pointer before then.
    grab_pointer(false);
    flick = {0, 0};
}

bool platform_read_mouse(int32_t* dx, int32_t* dy, uint8_t buttons[2])
{
    sdl_pump_events();
    if (!mouse_acquired || !has_focus) return record_mouse_read(false, 0, 0, buttons);
    bool free = pointer_is_free();
    grab_pointer(!free);
    int x = 0;
    int y = 0;
    SDL_GetRelativeMouseState(&x, &y);
    // The free pointer's travels over the desktop are not the game's motion.
    if (free || static_cast<int32_t>(SDL_GetTicks() - discard_motion_until) < 0) x = y = 0;
    // The game reads the motion after the player's speed factor; the scripted platform,
    // whose motion is already the game's, does not scale.
    motion_carry_add(&flick, scale_mouse_motion(x, mouse_speed, &speed_carry_x),
                     scale_mouse_motion(y, mouse_speed, &speed_carry_y), motion_limit);
    bool left = key_queue_read(&buttons_seen[0]);
    bool right = key_queue_read(&buttons_seen[1]);
    // The gamepad is quiet while paused (its sticks would press a button and play on).
    PadMotion pad = gamepad_ready ? sdl_gamepad_read_motion() : PadMotion{false, 0, 0, false, false};
    mouse_read_finish(&flick, pad, free, motion_limit, left, right, dx, dy, buttons);
    return record_mouse_read(true, *dx, *dy, buttons);
}

bool platform_read_keyboard(uint8_t state[256])
{
    // A keyboard read begins the frame: its tick is taken here.
    if (gamepad_ready && keyboard_acquired && has_focus) sdl_gamepad_test_step();
    sdl_pump_events();
    uint32_t tick = sdl_begin_frame();
    bool ok = read_key_state(state);
    record_keyboard_read(ok, state, tick);
    return ok;
}
