#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "render/projection.h"
#include "render/scene.h"
#include "render_test_util.h"

using namespace render_test;

namespace {

void set_quad(const double (&v)[4][3])
{
    std::memcpy(quad_vertices, v, sizeof quad_vertices);
}

const uint8_t white[3] = {255, 255, 255};

}  // namespace

TEST(Projection, WorkedPoints)
{
    struct Case { double x, y, z; double sx, sy; } cases[] = {
        {1, 0, -7, 280, 240},
        {0, 1, -4, 320, 340},
        {1, 0, -1.5, 720, 240},  // behind the eye: mirrored to the right
    };
    identity_view();
    for (const Case& c : cases) {
        double world[3] = {c.x, c.y, c.z}, camera[3], sx, sy;
        transform_point(world, camera);
        project_point(100 * camera[0], 100 * camera[1], 100 * camera[2], &sx, &sy);
        EXPECT_DOUBLE_EQ(sx, c.sx);
        EXPECT_DOUBLE_EQ(sy, c.sy);
    }
}

TEST(Projection, FaceRejectionAndDepthTruncation)
{
    struct Case {
        const char* name;
        double v[4][3];
        bool drawn;
    } cases[] = {
        {"in front, on screen", {{-1, -1, -7}, {1, -1, -7}, {-1, 1, -7}, {1, 1, -7}}, true},
        {"one vertex at exactly z = -1", {{-1, -1, -7}, {1, -1, -7}, {-1, 1, -7}, {0, 0, -1}}, false},
        {"a vertex that is not a number", {{-1, -1, -7}, {1, -1, -7}, {-1, 1, -7}, {0, 0, NAN}}, false},
        {"every corner off screen though the face covers it",
         {{-100, -100, -7}, {100, -100, -7}, {-100, 100, -7}, {100, 100, -7}}, false},
        {"one corner on screen, the others far out", {{0, 0, -7}, {500, 0, -7}, {0, 500, -7}, {500, 500, -7}}, true},
        {"a corner at the eye plane beside one on screen", {{0, 0, -7}, {1, 0, -2}, {0, 1, -7}, {1, 1, -7}}, true},
        {"a corner just behind the eye", {{0, 0, -7}, {1, 0, -1.5}, {0, 1, -7}, {1, 1, -7}}, true},
    };
    for (const Case& c : cases) {
        reset_frame(DEBUG_SOLID);
        identity_view();
        set_quad(c.v);
        draw_polygon(white, 1, 1, 1, 1);
        EXPECT_EQ(written_count() > 0, c.drawn) << c.name;
        EXPECT_TRUE(guards_intact()) << c.name;
    }

    // z = -1.005 gives 100 z = -100.5, handed on truncated toward zero as -100.
    reset_frame(DEBUG_SOLID);
    identity_view();
    double shallow[4][3] = {{-0.5, -0.5, -1.005}, {0.5, -0.5, -1.005}, {-0.5, 0.5, -1.005}, {0.5, 0.5, -1.005}};
    set_quad(shallow);
    draw_polygon(white, 1, 1, 1, 1);
    // Behind the eye the image is mirrored: the face lands around the centre, flipped.
    ASSERT_TRUE(written(320, 240));
    EXPECT_EQ(depth_at(320, 240), -100.0);
}

TEST(Projection, NearEyePlaneFacesAreBoundedAndSafe)
{
    // Vertices around the eye plane at z = -2 project beyond any 32-bit range.
    const double zs[] = {-2.0, std::nextafter(-2.0, 0.0), std::nextafter(-2.0, -3.0), -1.0000001, -2.0000001, -1e300};
    const double xs[] = {0.0, 1e-300, 3.0, -1e9, 1e300, std::numeric_limits<double>::infinity()};
    for (int mode = 0; mode < 2; mode++) {
        for (double z : zs) {
            for (double x : xs) {
                reset_frame(mode ? DEBUG_SOLID : 0);
                identity_view();
                double v[4][3] = {{0, 0, -7}, {x, -x, z}, {-x, 1, z}, {1, 1, -7}};
                set_quad(v);
                draw_polygon(white, 1, 1, 1, 1);
                ASSERT_TRUE(guards_intact()) << z << " " << x;
            }
        }
    }
}
