// Gamepads over SDL's game controller API. Buttons come from events (taps kept, as keys
// are); sticks and triggers are read as they stand at each mouse read. Up to four pads
// at once: each axis follows the pad deflecting it most.
#include "platform/sdl/sdl_gamepad.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

constexpr int max_pads = 4;
SDL_GameController* pads[max_pads];
SDL_JoystickID pad_ids[max_pads];
GamepadFeel feel;
double pad_carry[2];

// The buttons the game hears of: Start pauses and plays on (P), A plays on while paused
// (P then), Back switches solid and outline drawing (F4).
enum PadButton { BUTTON_START, BUTTON_A, BUTTON_BACK, PAD_BUTTONS };
KeyQueue buttons[PAD_BUTTONS];

int button_of(uint8_t sdl_button)
{
    switch (sdl_button) {
    case SDL_CONTROLLER_BUTTON_START: return BUTTON_START;
    case SDL_CONTROLLER_BUTTON_A: return BUTTON_A;
    case SDL_CONTROLLER_BUTTON_BACK: return BUTTON_BACK;
    default: return -1;
    }
}

void open_pad(int device_index)
{
    SDL_GameController* pad = SDL_GameControllerOpen(device_index);
    if (!pad) return;
    SDL_JoystickID id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad));
    for (int slot = 0; slot < max_pads; slot++)
        if (pads[slot] && pad_ids[slot] == id) return;  // already open (SDL counts it twice)
    for (int slot = 0; slot < max_pads; slot++) {
        if (!pads[slot]) {
            pads[slot] = pad;
            pad_ids[slot] = id;
            return;
        }
    }
    SDL_GameControllerClose(pad);
}

void close_pad(SDL_JoystickID id)
{
    for (int slot = 0; slot < max_pads; slot++) {
        if (pads[slot] && pad_ids[slot] == id) {
            SDL_GameControllerClose(pads[slot]);
            pads[slot] = nullptr;
            // A button held as the pad went away is let go.
            for (KeyQueue& button : buttons) key_queue_change(&button, false);
        }
    }
}

// The folder of the settings file: $XDG_CONFIG_HOME/maze/, or ~/.config/maze/ when that
// is unset or empty. Empty when neither is known.
std::string settings_folder()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && *config) return std::string(config) + "/maze/";
    const char* home = std::getenv("HOME");
    if (home && *home) return std::string(home) + "/.config/maze/";
    return {};
}

// ---- The virtual gamepad of the tests ---------------------------------------------------
std::vector<PadTestState> test_states;
size_t next_test_state;
long keyboard_reads;
SDL_Joystick* test_stick;
bool test_file_found;

// False while the file does not exist yet.
bool load_test_states(const char* path)
{
    std::FILE* file = std::fopen(path, "r");
    if (!file) return false;
    char line[256];
    PadTestState state;
    while (std::fgets(line, sizeof line, file))
        if (parse_pad_test_line(line, &state)) test_states.push_back(state);
    std::fclose(file);
    return true;
}

void attach_test_pad()
{
    const char* path = std::getenv("MAZE_TEST_GAMEPAD");
    if (!path || !*path) return;
    int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, PAD_AXES, SDL_CONTROLLER_BUTTON_MAX, 0);
    if (index >= 0) test_stick = SDL_JoystickOpen(index);
    if (!test_stick) std::fprintf(stderr, "maze: MAZE_TEST_GAMEPAD: no virtual gamepad: %s\n", SDL_GetError());
}

int16_t clamp_axis(int value) { return static_cast<int16_t>(value < -32768 ? -32768 : value > 32767 ? 32767 : value); }

}  // namespace

bool sdl_gamepad_start(const GamepadFeel* chosen)
{
    feel = *chosen;
    // The game reads the pad only while its window has the focus anyway; without this SDL
    // would also drop the pad's events wherever it cannot tell the focus (headless runs).
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) return false;
    std::string folder = settings_folder();
    // Optional: missing is the usual case, and SDL's own mappings remain.
    if (!folder.empty()) SDL_GameControllerAddMappingsFromFile((folder + "gamecontrollerdb.txt").c_str());
    attach_test_pad();
    // Pads already plugged in arrive as device-added events, as later ones do.
    return true;
}

void sdl_gamepad_event(const SDL_Event& event)
{
    switch (event.type) {
    case SDL_CONTROLLERDEVICEADDED: open_pad(event.cdevice.which); break;
    case SDL_CONTROLLERDEVICEREMOVED: close_pad(event.cdevice.which); break;
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP: {
        int button = button_of(event.cbutton.button);
        if (button >= 0) key_queue_change(&buttons[button], event.type == SDL_CONTROLLERBUTTONDOWN);
        break;
    }
    default: break;
    }
}

void sdl_gamepad_read_keys(uint8_t state[256], bool paused)
{
    bool start = key_queue_read(&buttons[BUTTON_START]);
    bool a = key_queue_read(&buttons[BUTTON_A]);
    bool back = key_queue_read(&buttons[BUTTON_BACK]);
    if (start || (a && paused)) state[SCAN_P] |= KEY_HELD;
    if (back) state[SCAN_F4] |= KEY_HELD;
}

PadMotion sdl_gamepad_read_motion()
{
    static constexpr SDL_GameControllerAxis sdl_axes[PAD_AXES] = {
        SDL_CONTROLLER_AXIS_LEFTX,  SDL_CONTROLLER_AXIS_LEFTY,        SDL_CONTROLLER_AXIS_RIGHTX,
        SDL_CONTROLLER_AXIS_RIGHTY, SDL_CONTROLLER_AXIS_TRIGGERLEFT, SDL_CONTROLLER_AXIS_TRIGGERRIGHT,
    };
    int16_t axes[PAD_AXES] = {};
    for (SDL_GameController* pad : pads) {
        if (!pad) continue;
        for (int axis = 0; axis < PAD_AXES; axis++) {
            int16_t value = SDL_GameControllerGetAxis(pad, sdl_axes[axis]);
            if (std::abs(value) > std::abs(axes[axis])) axes[axis] = value;
        }
    }
    return pad_motion(axes, &feel, pad_carry);
}

void sdl_gamepad_reset()
{
    for (KeyQueue& button : buttons) key_queue_reset(&button);
    pad_carry[0] = pad_carry[1] = 0;
}

void sdl_gamepad_test_step()
{
    if (!test_stick) return;
    // The test writes the file once the game plays: reads count from the first that finds it.
    if (!test_file_found) test_file_found = load_test_states(std::getenv("MAZE_TEST_GAMEPAD"));
    if (!test_file_found) return;
    long read = keyboard_reads++;
    while (next_test_state < test_states.size() && test_states[next_test_state].read <= read) {
        const PadTestState& state = test_states[next_test_state++];
        for (int axis = 0; axis < PAD_AXES; axis++) {
            // A trigger's 0..32767 is the whole -32768..32767 of the joystick axis beneath.
            int value = axis >= PAD_TRIGGER_LEFT ? static_cast<int>(int64_t{state.axes[axis]} * 65535 / 32767 - 32768)
                                                 : state.axes[axis];
            SDL_JoystickSetVirtualAxis(test_stick, axis, clamp_axis(value));
        }
        SDL_JoystickSetVirtualButton(test_stick, SDL_CONTROLLER_BUTTON_A, state.a);
        SDL_JoystickSetVirtualButton(test_stick, SDL_CONTROLLER_BUTTON_B, state.b);
        SDL_JoystickSetVirtualButton(test_stick, SDL_CONTROLLER_BUTTON_START, state.start);
        SDL_JoystickSetVirtualButton(test_stick, SDL_CONTROLLER_BUTTON_BACK, state.back);
    }
}
