#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "render/cell_geometry.h"
#include "render/entity_shapes.h"
#include "render/scene.h"
#include "render_test_util.h"
#include "world/camera.h"
#include "world/world.h"

using namespace render_test;

namespace {

struct Face {
    uint8_t rgb[3];
    double v[4][3];
    double light[4];
};
std::vector<Face> faces;

void record_face(const uint8_t* rgb, const double* lights)
{
    Face f;
    std::memcpy(f.rgb, rgb, 3);
    std::memcpy(f.v, quad_vertices, sizeof f.v);
    std::memcpy(f.light, lights, sizeof f.light);
    faces.push_back(f);
}

void reset_world(double ball_x, double ball_y)
{
    reset_frame(DEBUG_SOLID);
    std::memset(cells, 0, sizeof cells);
    std::memset(cell_colors, 0, sizeof cell_colors);
    std::memset(entities, 0, sizeof entities);
    entities[0].x = ball_x;
    entities[0].y = ball_y;
    entities[0].z = 0.375;
    entity_count = 1;
    camera_focus_x = 5.0;
    camera_focus_y = 5.0;
    camera_distance = 7.0;
    camera_pitch = 0.1;
    camera_yaw = 0.0;
    faces.clear();
    face_observer = record_face;
}

struct Cleanup {
    ~Cleanup() { face_observer = nullptr; }
};

}  // namespace

TEST(Scene, AngleIndices)
{
    build_trig_tables();
    struct Case { double angle; int index; } cases[] = {
        {0.1, 16}, {-0.005, 0}, {-0.01, 1023}, {6.283185307179586, 0}, {0.0, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(angle_index(c.angle), c.index) << c.angle;
}

TEST(Scene, ResetCameraViewMatrix)
{
    Cleanup cleanup;
    reset_world(5.5, 5.5);
    build_view_matrix();
    struct Case { double world[3]; double camera[3]; } cases[] = {
        {{5, 5, 0}, {0, 0.6861, -6.9663}},
        {{5.5, 5.5, 0}, {0.5, 1.1837, -6.9173}},
    };
    for (const Case& c : cases) {
        for (int r = 0; r < 3; r++) {
            const double* m = view_matrix[r];
            double v = c.world[0] * m[0] + c.world[1] * m[1] + c.world[2] * m[2] + m[3];
            EXPECT_NEAR(v, c.camera[r], 5e-5) << "row " << r;
        }
    }
}

TEST(Scene, OrientationAtYawZero)
{
    // World +x runs to the left of the screen and +y down: the map turned by 180 degrees.
    Cleanup cleanup;
    reset_world(5.5, 5.5);
    face_observer = nullptr;
    std::memset(cell_colors, 200, sizeof cell_colors);
    entity_count = 0;
    for (int i = 4; i <= 5; i++) {
        cell_colors[7][i][0] = 0;  // +x of the focus: squares with no red
        cell_colors[i][7][1] = 0;  // +y of the focus: squares with no green
    }
    render_scene();
    // The focus (5, 5) lands at about (320, 268): +x to its left, +y below it.
    int left = 0, below = 0;
    for (int x = 0; x < 320; x++) left += (palette[pixel(x, 268)][0] == 0 && palette[pixel(x, 268)][1] != 0);
    for (int y = 268; y < 480; y++) below += (palette[pixel(320, y)][1] == 0 && palette[pixel(320, y)][0] != 0);
    EXPECT_GT(left, 20);
    EXPECT_GT(below, 20);
}

TEST(Scene, VisitedSquaresAndLight)
{
    Cleanup cleanup;
    struct Case { double lx, ly; int faces; } cases[] = {
        {10.5, 10.5, 69},
        {10.0, 10.0, 80},
    };
    for (const Case& c : cases) {
        reset_world(c.lx, c.ly);
        render_scene();
        EXPECT_EQ(static_cast<int>(faces.size()), c.faces) << c.lx;
    }

    // The square (5, 10) has its centre exactly 5.0 from (10.5, 10.5): not visited; from
    // (10.499, 10.5) it is 4.999 away and visited, floor and top face.
    for (double lx : {10.5, 10.499}) {
        reset_world(lx, 10.5);
        cells[0][5][10] = CELL_TOP | 0x1000;
        render_scene();
        int at_square = 0;
        for (const Face& f : faces) at_square += f.v[0][0] == 5.0 && f.v[0][1] == 10.0;
        EXPECT_EQ(at_square, lx == 10.5 ? 0 : 2) << lx;
    }

    reset_world(10.5, 10.5);
    build_view_matrix();
    light_point[0] = 10.5;
    light_point[1] = 10.5;
    light_point[2] = 0.5;
    struct LightCase { double x, y, z, light; } lights[] = {
        {11.5, 10.5, 0.5, 1.0},     // exactly 1 away
        {12.5, 10.5, 0.5, 0.25},    // 2 away
        {10.5, 10.5, 0.0, 1.0},     // on the floor below the light
        {15.5, 10.5, 0.0, 1.0 / 25.25},
    };
    for (const LightCase& l : lights) EXPECT_DOUBLE_EQ(vertex_light(l.x, l.y, l.z), l.light);
}

TEST(Scene, CellFaces)
{
    Cleanup cleanup;
    struct Case { uint16_t word; int faces; double zmin, zmax; } cases[] = {
        {0x0000, 0, 0, 0},
        {0x1000, 0, 0, 0},        // a box without face bits
        {0x103F, 6, 0.0, 1.0},    // the unit cube on the floor
        {0x201F, 5, 1.0, 2.0},    // five faces, one layer up
        {0x003F, 6, -1.0, 0.0},   // height code 0: below the floor
        {0xF83F, 6, 14.5, 15.5},  // height code 31
        {0x113F, 5, 0.0, 1.0},    // north ramp: its south bit draws nothing
        {0x117F, 5, 0.0, 1.0},
        {0x11BF, 5, 0.0, 1.0},
        {0x11FF, 5, 0.0, 1.0},
        {0x107F, 0, 0, 0},        // shapes 0x40, 0x80, 0xC0
        {0x10BF, 0, 0, 0},
        {0x10FF, 0, 0, 0},
        {0x123F, 0, 0, 0},        // bit 9
        {0x143F, 0, 0, 0},        // bit 10
    };
    for (const Case& c : cases) {
        reset_world(3.5, 4.5);
        cell_colors[3][4][0] = 77;
        light_point[0] = 3.5;
        light_point[1] = 4.5;
        light_point[2] = 0.5;
        draw_cell_faces(c.word, 3, 4);
        ASSERT_EQ(static_cast<int>(faces.size()), c.faces) << std::hex << c.word;
        for (const Face& f : faces) {
            EXPECT_EQ(f.rgb[0], 77);
            for (const auto& v : f.v) {
                EXPECT_TRUE(v[0] == 3.0 || v[0] == 4.0);
                EXPECT_TRUE(v[1] == 4.0 || v[1] == 5.0);
                EXPECT_TRUE(v[2] == c.zmin || v[2] == c.zmax) << std::hex << c.word << " z " << v[2];
            }
        }
    }

    // A north ramp's slope alone: low edge at y = col, high edge at y = col + 1, lights
    // taken at the listed vertices.
    reset_world(3.5, 4.5);
    light_point[0] = 3.5;
    light_point[1] = 4.5;
    light_point[2] = 0.5;
    draw_cell_faces(RAMP_NORTH | CELL_TOP | 0x1000, 3, 4);
    ASSERT_EQ(faces.size(), 1u);
    const double slope[4][3] = {{3, 4, 0}, {4, 4, 0}, {4, 5, 1}, {3, 5, 1}};
    for (int i = 0; i < 4; i++) {
        for (int k = 0; k < 3; k++) EXPECT_EQ(faces[0].v[i][k], slope[i][k]);
        EXPECT_DOUBLE_EQ(faces[0].light[i], vertex_light(slope[i][0], slope[i][1], slope[i][2]));
    }

    // Draw order within a square: floor, layer 0, layer 1.
    reset_world(3.5, 4.5);
    cells[0][3][4] = 0x1010;  // a top at z = 1
    cells[1][3][4] = 0x2010;  // a top at z = 2
    render_scene();
    std::vector<double> heights;
    for (const Face& f : faces) {
        if (f.v[0][0] == 3.0 && f.v[0][1] == 4.0) heights.push_back(f.v[0][2]);
    }
    EXPECT_EQ(heights, (std::vector<double>{0.0, 1.0, 2.0}));
}

TEST(Scene, EntityShapes)
{
    Cleanup cleanup;
    struct Case { int32_t type; double x, y, z; int faces; double lo[3], hi[3]; uint8_t red; } cases[] = {
        {1, 20.5, 20.5, 0.375, 6, {20.125, 20.125, 0.0}, {20.875, 20.875, 0.75}, 140},
        {2, 10.5, 10.5, 1.5, 6, {9.0, 9.0, 0.0}, {12.0, 12.0, 3.0}, 185},
        {3, 10.5, 10.5, 1.5, 0, {}, {}, 0},
        {-1, 10.5, 10.5, 1.5, 0, {}, {}, 0},
    };
    for (const Case& c : cases) {
        reset_world(5.5, 5.5);
        entity_count = 2;
        entities[1].type = c.type;
        entities[1].x = c.x;
        entities[1].y = c.y;
        entities[1].z = c.z;
        entities[2].type = 1;  // beyond entity_count: never drawn
        entities[2].x = 5.5;
        entities[2].y = 5.5;
        faces.clear();
        draw_entities();
        ASSERT_EQ(static_cast<int>(faces.size()), c.faces) << c.type;
        for (const Face& f : faces) {
            EXPECT_EQ(f.rgb[0], c.red);
            for (const auto& v : f.v) {
                for (int k = 0; k < 3; k++) EXPECT_TRUE(v[k] == c.lo[k] || v[k] == c.hi[k]) << c.type << " axis " << k;
            }
        }
    }
    reset_world(5.5, 5.5);
    entity_count = 0;
    render_scene();
    EXPECT_EQ(faces.size(), 69u);  // the floor only
}
