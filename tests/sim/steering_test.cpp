#include <cmath>
#include <limits>

#include "sim/steering.h"
#include "sim_fixture.h"

namespace {

constexpr double k_angle = 0.00157079632675;

struct SteerCase {
    const char* name;
    int32_t dx, dy;
    bool left, right;
    double yaw, pitch, distance, z;  // before
    double want_yaw, want_pitch, want_distance, want_fwd, want_side;
};

// The ball starts each case with the drive (0.3, 0.4, 0.1), so an untouched drive shows.
const SteerCase steer_cases[] = {
    {"clamp 250 acts like 100", 250, -250, false, false, 0, 0.1, 7, 0.375, 0, 0.1, 7, -0.5, -0.5},
    {"clamp on angles", -250, 250, false, true, 1, 1, 7, 0.375, 1 - 100 * k_angle,
     1 + 100 * k_angle, 7, 0.3, 0.4},
    {"both buttons only turn", 10, 20, true, true, 0, 0.1, 7, 0.375, 10 * k_angle,
     0.1 + 20 * k_angle, 7, 0.3, 0.4},
    {"yaw past a turn resets", 100, 0, false, true, 6.2, 0.1, 7, 0.375, 0, 0.1, 7, 0.3, 0.4},
    {"yaw below a turn stays", 50, 0, false, true, 6.2, 0.1, 7, 0.375, 6.2 + 50 * k_angle, 0.1,
     7, 0.3, 0.4},
    {"negative pitch resets", 0, -100, false, true, 0, -6.2, 7, 0.375, 0, 0, 7, 0.3, 0.4},
    {"distance held at 2.5", 0, -100, true, false, 0, 0.1, 2.6, 0.375, 0, 0.1, 2.5, 0.3, 0.4},
    {"distance has no upper limit", 0, 100, true, false, 0, 0.1, 70, 0.375, 0, 0.1, 70.5, 0.3,
     0.4},
    {"in the air keeps its drive", 100, 100, false, false, 0, 0.1, 7, 0.775, 0, 0.1, 7, 0.3, 0.4},
    {"resting on layer 1 is on the ground", 20, 40, false, false, 0, 0.1, 7, 1.375, 0, 0.1, 7,
     -0.1, 0.2},
    {"just above resting height", 20, 40, false, false, 0, 0.1, 7, 1.376, 0, 0.1, 7, 0.3, 0.4},
    {"still mouse zeroes the drive", 0, 0, false, false, 0, 0.1, 7, 0.375, 0, 0.1, 7, 0, 0},
};

}  // namespace

TEST_F(SimTest, SteerPlayerTable)
{
    for (const SteerCase& t : steer_cases) {
        SCOPED_TRACE(t.name);
        SetUp();
        place(ball(), ENTITY_BALL, 5.5, 5.5, t.z);
        ball().drive_fwd = 0.3, ball().drive_side = 0.4, ball().drive_up = 0.1;
        camera_yaw = t.yaw, camera_pitch = t.pitch, camera_distance = t.distance;
        script_override_mouse(t.dx, t.dy, t.left, t.right);
        steer_player();
        EXPECT_DOUBLE_EQ(camera_yaw, t.want_yaw);
        EXPECT_DOUBLE_EQ(camera_pitch, t.want_pitch);
        EXPECT_DOUBLE_EQ(camera_distance, t.want_distance);
        EXPECT_DOUBLE_EQ(ball().drive_fwd, t.want_fwd);
        EXPECT_DOUBLE_EQ(ball().drive_side, t.want_side);
        bool written = t.want_fwd != 0.3;
        EXPECT_EQ(ball().drive_up, written ? 0.0 : 0.1);
    }
}

TEST_F(SimTest, SteerPlayerUnreadableMouseIsAStillMouse)
{
    place(ball(), ENTITY_BALL, 5.5, 5.5, 0.375);
    ball().drive_fwd = 0.3;
    script_override_mouse(50, 50, false, true);
    script_fail(SCRIPT_OP_READ_MOUSE, 1);
    steer_player();
    EXPECT_EQ(camera_yaw, 0.0);
    EXPECT_EQ(camera_pitch, 0.1);
    EXPECT_EQ(ball().drive_fwd, 0.0);  // no button: on the ground the drive is cleared
    steer_player();                    // the next read works again
    EXPECT_DOUBLE_EQ(camera_yaw, 50 * k_angle);
}

TEST_F(SimTest, FollowCameraTable)
{
    struct Case {
        const char* name;
        double x, y, distance, want_x, want_y;
    };
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {"ahead along x", 11.0, 5.0, 7.0, 5.0 - 0.8 + 6.0 / 7.0, 5.0},
        {"behind along x", -1.0, 5.0, 7.0, 5.0 + 0.8 - 6.0 / 7.0, 5.0},
        {"ahead along y", 5.0, 9.5, 7.0, 5.0, 5.0 - 0.6 + 4.5 / 7.0},
        {"behind along y", 5.0, 0.5, 7.0, 5.0, 5.0 + 0.6 - 4.5 / 7.0},
        {"inside the dead zone", 10.5, 9.0, 7.0, 5.0, 5.0},
        {"distance 1 puts the ball on the edge", 7.0, 5.0, 1.0, 6.2, 5.0},
        {"non-finite ball leaves the focus", inf, std::nan(""), 7.0, 5.0, 5.0},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        SetUp();
        place(ball(), ENTITY_BALL, t.x, t.y, 0.375);
        camera_distance = t.distance;
        follow_camera();
        EXPECT_DOUBLE_EQ(camera_focus_x, t.want_x);
        EXPECT_DOUBLE_EQ(camera_focus_y, t.want_y);
    }
    SetUp();
    place(ball(), ENTITY_BALL, 11.0, 5.0, 0.375);
    follow_camera();
    EXPECT_NEAR(camera_focus_x, 5.057, 0.0005);
}
