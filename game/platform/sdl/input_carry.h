// What the SDL platform keeps between two reads so that nothing the player does is lost:
// key taps shorter than a frame, mouse motion beyond the game's per-read clamp, and the
// gamepad's sticks turned into mouse motion. Plain arithmetic, kept apart from SDL so
// that it can be checked on its own.
#pragma once

#include <cstdint>

// ---- Key taps -------------------------------------------------------------------------

// One key (or button) between reads: its state now, and the changes no read has seen
// yet. Each read hands out the oldest change not yet seen, so a tap between two reads
// reads held once and released the next; a key that changes faster than reads come is
// at most key_queue_depth reads behind.
constexpr int key_queue_depth = 4;
struct KeyQueue {
    bool down;
    uint8_t count;
    bool pending[key_queue_depth];
};
// A press (true) or release (false) from the event queue; repeats change nothing.
void key_queue_change(KeyQueue* key, bool down);
// The state this read sees.
bool key_queue_read(KeyQueue* key);
// Up, with nothing pending (the focus went away: its presses are not the game's).
void key_queue_reset(KeyQueue* key);

// ---- Mouse motion -----------------------------------------------------------------------

// The game uses at most motion_per_read counts per axis a read; the rest of a fast flick
// is handed out in the following reads. What waits is bounded, so a runaway device
// cannot queue minutes of motion.
constexpr int32_t motion_per_read = 100;
struct MotionCarry {
    int64_t x, y;
};
// Adds motion; what waits on each axis is then clamped to +-limit.
void motion_carry_add(MotionCarry* carry, int64_t dx, int64_t dy, int64_t limit);
// Takes at most motion_per_read counts per axis.
void motion_carry_take(MotionCarry* carry, int32_t* dx, int32_t* dy);
// The bound for a pace: one second of reads at motion_per_read (unpaced: as at 60).
int64_t motion_carry_limit(int frames_per_second);

// ---- Gamepad ----------------------------------------------------------------------------

// A gamepad's axes as SDL's game controller reports them.
enum GamepadAxis { PAD_LEFT_X, PAD_LEFT_Y, PAD_RIGHT_X, PAD_RIGHT_Y, PAD_TRIGGER_LEFT, PAD_TRIGGER_RIGHT, PAD_AXES };
struct GamepadFeel {
    double dead_zone;    // the part of the travel that gives nothing, 0..0.9
    double stick_speed;  // factor on the counts a full deflection gives
    bool invert_tilt;    // the right stick's forward tilts the camera the other way
};
// Counts a read at full deflection and stick speed 1: a brisk but steerable mouse.
constexpr double pad_counts_at_full = 20.0;
// A deflection from -1 to 1 after the dead zone: 0 inside it, the rest of the travel
// stretched to the whole range. raw is an axis value, -32768..32767.
double pad_deflection(int raw, double dead_zone);
// What the gamepad says in one read, as the mouse would: the right stick turns and
// tilts the camera (motion with the right button), else the triggers move it nearer
// and farther (motion with the left button), else the left stick pushes the ball.
struct PadMotion {
    bool active;  // a stick or trigger is out of its dead zone
    int32_t dx, dy;
    bool left, right;
};
// carry holds each axis's fraction of a count for the next read (the slow end of a
// stick's travel still moves).
PadMotion pad_motion(const int16_t axes[PAD_AXES], const GamepadFeel* feel, double carry[2]);

// ---- One mouse read ---------------------------------------------------------------------

// What a mouse read hands the game: the gamepad's motion joins the carry when it speaks,
// the pointer is not free (paused, a dialog up) and the mouse's buttons (left, right as
// read from their queues) are up, taking over the buttons; then at most motion_per_read
// counts an axis are taken from the carry.
void mouse_read_finish(MotionCarry* carry, const PadMotion& pad, bool pointer_free, int64_t limit, bool left,
                       bool right, int32_t* dx, int32_t* dy, uint8_t buttons[2]);

// ---- The virtual gamepad of the tests ---------------------------------------------------

// A line of a MAZE_TEST_GAMEPAD file, `READ LX LY RX RY LT RT BUTTONS`: from keyboard read
// READ on, the sticks (-32768..32767), the triggers (0..32767) and the buttons held (`-` or
// a comma list of a, b, start, back).
struct PadTestState {
    long read;
    int axes[PAD_AXES];
    bool a, b, start, back;
};
// False for a line that is not one (a comment, a blank, a value out of range).
bool parse_pad_test_line(const char* line, PadTestState* state);
