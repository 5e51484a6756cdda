// Brightness as a gamma curve on each palette channel: black stays black and white stays
// white, so the light still falls off from the ball, but the dim colours that make most
// of a solid frame come up the most.
#include "shell/brightness.h"

#include <cmath>

#include "platform/platform.h"
#include "render/palette.h"

namespace {

// The curve's exponent 1 / gamma per level; level 0 is exactly the identity.
constexpr double gammas[BRIGHTNESS_LEVELS] = {1.0, 1.3, 1.6, 2.0, 2.5};

int level_in_force;
uint8_t shown[256][3];

int clamp_level(int level) { return level < 0 ? 0 : level >= BRIGHTNESS_LEVELS ? BRIGHTNESS_LEVELS - 1 : level; }

void build_shown_palette()
{
    for (int entry = 0; entry < 256; entry++)
        for (int channel = 0; channel < 3; channel++)
            shown[entry][channel] = brighten_channel(palette[entry][channel], level_in_force);
}

}  // namespace

uint8_t brighten_channel(uint8_t value, int level)
{
    level = clamp_level(level);
    if (level == 0) return value;
    double scaled = 255.0 * std::pow(value / 255.0, 1.0 / gammas[level]);
    // pow of a value in 0..1 stays in 0..1; rounding keeps 255 at 255.
    long rounded = std::lround(scaled);
    return static_cast<uint8_t>(rounded < 0 ? 0 : rounded > 255 ? 255 : rounded);
}

int brightness_level() { return level_in_force; }

void set_brightness_level(int level) { level_in_force = clamp_level(level); }

void cycle_brightness_level()
{
    set_brightness_level((level_in_force + 1) % BRIGHTNESS_LEVELS);
    // A palette that cannot be attached leaves the picture as it was; the level still counts.
    platform_set_palette(shown_palette());
}

const uint8_t (*shown_palette())[3]
{
    build_shown_palette();
    return shown;
}
