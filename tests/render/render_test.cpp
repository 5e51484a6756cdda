#include <gtest/gtest.h>

#include <png.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>
#include <vector>

#include <unistd.h>

#include "render/balls.h"
#include "render/discs.h"
#include "render/draw_order.h"
#include "render/draw_threads.h"
#include "render/edges.h"
#include "render/lines.h"
#include "render/nearest_first.h"
#include "render/pixel_loops.h"
#include "render/pixel_rule.h"
#include "render/depth_floors.h"
#include "render/cell_geometry.h"
#include "render/depth_steps.h"
#include "render/entity_shapes.h"
#include "render/faces.h"
#include "render/frame.h"
#include "render/palette.h"
#include "render/png_writer.h"
#include "render/projection.h"
#include "render/rasterizer.h"
#include "render/scene.h"
#include "world/camera.h"
#include "world/numeric.h"
#include "world/trig.h"
#include "world/world.h"

namespace {

// A frame of our own with guard bytes around it.
constexpr int guard_bytes = 4096;
constexpr uint8_t background = 0xEE;  // an index the renderer never writes
uint8_t guarded_frame[guard_bytes + SCREEN_PIXELS + guard_bytes];
uint8_t* const frame = guarded_frame + guard_bytes;
const uint8_t white[3] = {255, 255, 255};

// Tables built, frame cleared, depth reset as the display does it (the depth-free line
// and circle walks may skip that 2.4 MB fill), and the identity view.
void reset_frame(uint16_t flags, bool reset_depth = true)
{
    [[maybe_unused]] static bool built = (build_trig_tables(), build_palette(), build_dither_tables(), true);
    std::memset(guarded_frame, 0xA5, sizeof guarded_frame);
    std::memset(frame, background, SCREEN_PIXELS);
    if (reset_depth) std::memset(depth_buffer, 0xC8, sizeof depth_buffer);
    frame_buffer = frame;
    debug_flags = flags;
    for (int i = 0; i < 12; i++) view_matrix[i / 4][i % 4] = i % 5 == 0;  // camera space equal to world space
}

bool guards_intact()
{
    auto intact = [](const uint8_t* p) { return std::count(p, p + guard_bytes, 0xA5) == guard_bytes; };
    return intact(guarded_frame) && intact(frame + SCREEN_PIXELS);
}

uint8_t pixel(int x, int y) { return frame[y * SCREEN_WIDTH + x]; }
bool written(int x, int y) { return pixel(x, y) != background; }
int written_count() { return SCREEN_PIXELS - static_cast<int>(std::count(frame, frame + SCREEN_PIXELS, background)); }

struct Pt { int32_t x, y; };

void fill_quad(const Pt (&c)[4], const uint8_t* rgb, double light = 1.0, int32_t z = -500)
{
    const int32_t corners[12] = {c[0].x, c[0].y, z, c[1].x, c[1].y, z, c[2].x, c[2].y, z, c[3].x, c[3].y, z};
    const double lights[4] = {light, light, light, light};
    fill_polygon(corners, rgb, lights);
}

// What a step-by-step reference walk expects in the frame: the background, and its
// colour where it plots.
std::vector<uint8_t> expected(SCREEN_PIXELS);
bool frame_as_expected() { return std::equal(expected.begin(), expected.end(), frame); }

// The line walk one pixel at a time: skip the off-screen start, draw until the line leaves the screen.
void reference_line(int64_t x0, int64_t y0, int64_t x1, int64_t y1)
{
    std::fill(expected.begin(), expected.end(), background);
    bool steep = (x1 - x0) * (x1 - x0) < (y1 - y0) * (y1 - y0);
    int64_t ua = steep ? y0 : x0, va = steep ? x0 : y0, ub = steep ? y1 : x1, vb = steep ? x1 : y1;
    if (ub < ua) std::swap(ua, ub), std::swap(va, vb);
    int64_t u_limit = steep ? 480 : 640, v_limit = steep ? 640 : 480, step = vb >= va ? 1 : -1;
    int64_t inc = 2 * step * (vb - va), dec = 2 * (ub - ua), e = -(ub - ua), u = ua, v = va;
    auto advance = [&] { e += inc; if (e > 0) v += step, e -= dec; u++; };
    while ((u < 0 || v < 0 || v >= v_limit) && u <= ub) advance();
    for (; u <= ub && u < u_limit && v >= 0 && v < v_limit; advance()) expected[steep ? u * 640 + v : v * 640 + u] = 1;
}

// The midpoint walk with its double decision value: the disc's spans on rows 1..479 in
// index 0, or the circle's eight points where they are on the screen, in index 1.
void reference_ball(int64_t cx, int64_t cy, int64_t radius, bool disc)
{
    std::fill(expected.begin(), expected.end(), background);
    auto span = [&](int64_t row, int64_t half) {
        for (int64_t x = std::max<int64_t>(0, cx - half); row > 0 && row < 480 && x < 640 && x <= cx + half; x++)
            expected[row * 640 + x] = 0;
    };
    auto point = [&](int64_t x, int64_t y) { if (x >= 0 && x < 640 && y >= 0 && y < 480) expected[y * 640 + x] = 1; };
    int64_t r = radius < 0 ? -radius : radius, i = 0, j = r;
    double d = 1.25 - static_cast<double>(r);
    do {
        if (disc) span(cy + j, i), span(cy - j, i), span(cy + i, j), span(cy - i, j);
        for (int64_t s = -1; !disc && s <= 1; s += 2)
            point(cx + s * i, cy + j), point(cx + s * i, cy - j), point(cx + s * j, cy + i), point(cx + s * j, cy - i);
        if (d < 0) d = d + 2 * i + 3;
        else d = d + 2 * (i - j) + 5, j = j - 1;
        i = i + 1;
    } while (j >= i);
}

struct Face { uint8_t red; double v[4][3]; };
std::vector<Face> faces;

// An empty world with the ball (the light) at (x, y), the reset camera, faces recorded.
void reset_world(double x, double y)
{
    reset_frame(DEBUG_SOLID);
    std::memset(cells, 0, sizeof cells);
    entities[0].x = light_point[0] = x;
    entities[0].y = light_point[1] = y;
    light_point[2] = 0.5;
    entity_count = 1;
    camera_focus_x = camera_focus_y = 5.0, camera_distance = 7.0, camera_pitch = 0.1, camera_yaw = 0.0;
    faces.clear();
    face_observer = [](const uint8_t* rgb, const double*) {
        faces.push_back({rgb[0], {}});
        std::memcpy(faces.back().v, quad_vertices, sizeof quad_vertices);
    };
}

void draw_quad(const double (&v)[4][3]) { std::memcpy(quad_vertices, v, sizeof v); draw_polygon(white, 1, 1, 1, 1); }

// The solid fill one pixel at a time, as first written: corners sorted by row (all rows
// distinct here), edges stepped row by row, and along each span the depth summed one
// addition at a time and the 16.16 channels clamped into the dither tables per pixel.
struct RefCorner { int32_t x, y, z; double light; };
// A face as the fills take it (corners as x, y, z triples, a light each), or a disc: centre
// and radius in v, its depth the first light.
struct ListedItem { bool disc; int32_t v[12]; uint8_t rgb[3]; double lights[4]; };
struct RefEdge { double x, z, light, sx, sz, sl; };
std::vector<double> expected_depth(SCREEN_PIXELS);

void reference_fill(const ListedItem& face)
{
    RefCorner c[4];
    for (int i = 0; i < 4; i++) c[i] = {face.v[3 * i], face.v[3 * i + 1], face.v[3 * i + 2], face.lights[i]};
    std::sort(c, c + 4, [](const RefCorner& a, const RefCorner& b) { return a.y < b.y; });
    const RefCorner &top = c[0], &second = c[1], &third = c[2], &bottom = c[3];
    auto start = [](RefEdge& e, const RefCorner& a, const RefCorner& b) {
        double rows = double(b.y) - a.y;
        e = {double(a.x), double(a.z), a.light, (double(b.x) - a.x) / rows, (double(b.z) - a.z) / rows, (b.light - a.light) / rows};
    };
    auto level = [](int64_t channel) { return int(std::clamp<int64_t>(channel >> 16, 0, 255)); };
    RefEdge e1, e2;
    auto span = [&](int64_t y) {
        bool forward = e1.x <= e2.x;
        double width = forward ? e2.x - e1.x : e1.x - e2.x, dz = 0, dl = 0;
        if (width > 0) dz = (e2.z - e1.z) / width, dl = (e2.light - e1.light) / width;
        int32_t d[3], v[3];
        for (int i = 0; i < 3; i++)
            d[i] = clamp_to_int32(face.rgb[i] * 65536.0 * dl), v[i] = clamp_to_int32(face.rgb[i] * 65536.0 * e1.light);
        int64_t first, last, skipped = 0;
        if (forward) {
            last = e2.x >= 640 ? 639 : clamp_to_int64(e2.x);
            first = e1.x < 0 ? (skipped = clamp_to_int64(-e1.x), 0) : clamp_to_int64(e1.x);
            if (first > last) return;
        } else {
            last = e2.x < 0 ? 0 : clamp_to_int64(e2.x);
            first = e1.x >= 640 ? (skipped = clamp_to_int64(e1.x) - 639, 639) : clamp_to_int64(e1.x);
            if (first < last) return;
        }
        double z = e1.z;
        if (skipped > 0) z += double(skipped) * dz;
        // These faces keep the channels far inside the fill's +-2^62 clamp.
        int64_t ch[3] = {v[0] + skipped * d[0], v[1] + skipped * d[1], v[2] + skipped * d[2]};
        for (int64_t x = first;; x += forward ? 1 : -1) {
            int64_t at = y * 640 + x;
            int k = 2 * int(x & 1) + int(y & 1);
            if (expected_depth[at] < z) {
                expected_depth[at] = z;
                expected[at] = uint8_t(dither_red[level(ch[0])][k] + 7 * dither_green_blue[level(ch[2])][k] +
                                       42 * dither_green_blue[level(ch[1])][k]);
            }
            z += dz;
            for (int i = 0; i < 3; i++) ch[i] += d[i];
            if (x == last) break;
        }
    };
    auto band = [&](int64_t y, int64_t end, int64_t first_row) {
        if (y >= end) return true;
        if (y < first_row) {
            int64_t rows = std::min(end, first_row) - y;
            auto step = [&](double n) { for (RefEdge* e : {&e1, &e2}) e->x += n * e->sx, e->z += n * e->sz, e->light += n * e->sl; };
            if (rows <= edge_skip_by_steps_limit) for (int64_t i = 0; i < rows; i++) step(1.0);
            else step(double(rows));
            y += rows;
        }
        for (; y < end && y < 480; y++) {
            span(y);
            for (RefEdge* e : {&e1, &e2}) e->x += e->sx, e->z += e->sz, e->light += e->sl;
        }
        return end <= 480;
    };
    bool same_side = false;
    if (top.x != bottom.x) {
        double slope = (double(top.y) - bottom.y) / (double(top.x) - bottom.x), at = top.y - top.x * slope;
        double s2 = slope * second.x + at, s3 = slope * third.x + at;
        same_side = (second.y < s2 && third.y < s3) || (second.y > s2 && third.y > s3);
    }
    start(e1, top, second);
    start(e2, top, same_side ? bottom : third);
    if (!band(top.y, second.y, 0)) return;
    start(e1, second, same_side ? third : bottom);
    if (!band(second.y, third.y, 1)) return;
    start(same_side ? e1 : e2, third, bottom);
    band(third.y, bottom.y, 1);
}

// A convex quadrilateral, corners in a random order: about the screen, sometimes far beyond
// it; depths and lights anywhere, lights beyond 0..1 too. Its four rows are distinct, or
// with shared_rows some corners are moved onto another's row or column.
ListedItem random_face(std::mt19937& rng, bool shared_rows = false)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    RefCorner c[4];
    for (;;) {
        double a[4] = {unit(rng), unit(rng), unit(rng), unit(rng)};
        std::sort(a, a + 4);
        double scale = shared_rows ? 300.0 : unit(rng) < 0.15 ? 5000.0 : 400.0;
        double cx = -200 + 1000 * unit(rng), cy = -150 + 800 * unit(rng), rx = 1 + scale * unit(rng), ry = 1 + scale * unit(rng);
        for (int i = 0; i < 4; i++)
            c[i] = {int32_t(cx + rx * std::cos(6.283185307179586 * a[i])), int32_t(cy + ry * std::sin(6.283185307179586 * a[i])),
                    int32_t(-100 - 3000 * unit(rng)), -0.5 + 2.5 * unit(rng)};
        if (shared_rows && rng() % 3 == 0) c[1].y = c[0].y;
        if (shared_rows && rng() % 5 == 0) c[3].y = c[2].y;
        if (shared_rows && rng() % 7 == 0) c[2].x = c[1].x;
        bool distinct = true;
        for (int i = 0; i < 4; i++)
            for (int j = i + 1; j < 4; j++) distinct = distinct && c[i].y != c[j].y;
        int64_t turn[4];
        for (int i = 0; i < 4; i++) {
            const RefCorner &p = c[i], &q = c[(i + 1) % 4], &r = c[(i + 2) % 4];
            turn[i] = int64_t{q.x - p.x} * (r.y - q.y) - int64_t{q.y - p.y} * (r.x - q.x);
        }
        bool convex = *std::min_element(turn, turn + 4) >= 0 || *std::max_element(turn, turn + 4) <= 0;
        if (!(distinct || shared_rows) || !convex) continue;
        std::shuffle(c, c + 4, rng);
        ListedItem face{};
        for (int i = 0; i < 4; i++)
            face.v[3 * i] = c[i].x, face.v[3 * i + 1] = c[i].y, face.v[3 * i + 2] = c[i].z, face.lights[i] = c[i].light;
        for (uint8_t& v : face.rgb) v = uint8_t(rng());
        return face;
    }
}

}  // namespace

TEST(Colours, PaletteDitherAndOutline)
{
    reset_frame(0);
    // Per intensity, the levels at dither positions k = 0..3.
    const struct { int v; const char *red, *gb; } rows[] = {
        {0, "0000", "0000"}, {10, "0010", "0010"}, {43, "1111", "0111"}, {64, "1221", "1121"},
        {128, "3333", "2332"}, {200, "4555", "4444"}, {255, "6666", "5555"}};
    for (const auto& r : rows)
        for (int k = 0; k < 4; k++)
            EXPECT_TRUE(dither_red[r.v][k] == r.red[k] - '0' && dither_green_blue[r.v][k] == r.gb[k] - '0') << r.v;
    EXPECT_EQ(std::vector<int>(palette[78], palette[78] + 3), (std::vector<int>{36, 42, 213}));
    EXPECT_EQ(std::vector<int>(palette[251], palette[251] + 3), (std::vector<int>{219, 213, 213}));  // no white
    // edge: 36/37, 42/43 and 43/43 lie just either side of the level steps.
    const uint8_t wanderer[3] = {140, 255, 200}, edge[3] = {36, 42, 43};
    for (auto [rgb, index] : {std::pair{white, 251}, {wanderer, 241}, {edge, 7}}) EXPECT_EQ(outline_index(rgb), index);
    EXPECT_EQ(nearest_palette_index(0x100, 0x1FF, 0x2FF), 255);  // low bits only: the exact cyan

    // Outline mode: four lines in the flat colour, lights ignored, depth untouched. (Solid
    // fills are compared with the plain pixel walk below.)
    reset_frame(0);
    fill_quad({{100, 100}, {140, 100}, {100, 140}, {140, 140}}, wanderer, 0.01);
    for (Pt p : {Pt{100, 100}, Pt{120, 100}, Pt{140, 120}, Pt{120, 140}}) EXPECT_EQ(pixel(p.x, p.y), 241);
    EXPECT_TRUE(!written(120, 120) && depth_buffer[100 * 640 + 120] < -1e42);
}

TEST(FillPolygon, RowAndColumnRules)
{
    struct Case { const char* name; Pt corners[4]; std::vector<Pt> filled, empty; } cases[] = {
        {"bottom row and rightmost column", {{10, 5}, {50, 5}, {10, 20}, {50, 20}}, {{50, 19}}, {{51, 10}, {30, 20}}},
        {"two upper corners on row 0", {{10, 0}, {50, 0}, {10, 20}, {50, 20}}, {{10, 1}, {50, 1}}, {{10, 0}, {30, 0}}},
        {"row 0 drawn inside band 1", {{30, -10}, {10, 20}, {50, 20}, {50, 20}}, {{30, 0}, {30, 19}}, {{30, 20}}},
        {"apex row is a single column", {{20, 5}, {10, 15}, {30, 15}, {30, 15}}, {{20, 5}}, {{19, 5}, {21, 5}}},
        {"spans ending between -1 and 0 fill column 0", {{-20, 10}, {0, 10}, {-4, 30}, {-4, 30}},
         {{0, 10}, {0, 11}, {0, 14}}, {{0, 15}, {0, 20}, {1, 10}, {1, 12}}},
        {"four corners on one row", {{10, 50}, {90, 50}, {40, 50}, {60, 50}}, {}, {{10, 50}, {50, 50}, {90, 50}}},
    };
    for (const Case& c : cases) {
        reset_frame(DEBUG_SOLID);
        fill_quad(c.corners, white);
        for (Pt p : c.filled) EXPECT_TRUE(written(p.x, p.y)) << c.name << " (" << p.x << "," << p.y << ")";
        for (Pt p : c.empty) EXPECT_FALSE(written(p.x, p.y)) << c.name << " (" << p.x << "," << p.y << ")";
    }
}

TEST(FillPolygon, SameCoverageForEveryCornerOrder)
{
    // Two trapezoids first: two corners on the bottom row (then the top row), one of them
    // straight below (above) the corner across it, so that labelled the wrong way round
    // the edges would cross.
    const ListedItem trapezoids[2] = {{false, {10, 10, -500, 40, 20, -500, 40, 40, -500, 10, 40, -500}, {}, {}},
                                      {false, {10, 40, -500, 40, 30, -500, 40, 10, -500, 10, 10, -500}, {}, {}}};
    std::mt19937 rng(1234);
    const double lights[4] = {1, 1, 1, 1};
    for (int trial = 0; trial < 120; trial++) {
        const ListedItem face = trial < 2 ? trapezoids[trial] : random_face(rng, true);
        int order[4] = {0, 1, 2, 3};
        std::vector<uint8_t> first;
        do {
            int32_t corners[12];
            for (int k = 0; k < 12; k++) corners[k] = face.v[3 * order[k / 3] + k % 3];
            reset_frame(DEBUG_SOLID);
            fill_polygon(corners, white, lights);
            if (first.empty()) first.assign(frame, frame + SCREEN_PIXELS);
            else ASSERT_TRUE(std::equal(first.begin(), first.end(), frame)) << "trial " << trial;
        } while (std::next_permutation(order, order + 4));
    }
}

TEST(DrawLine, WorkedLinesAndTheStepByStepWalk)
{
    // The skipping walk against the plain one: a line entering from the left, a single
    // point, lines of millions of steps once each, then random ones.
    std::mt19937 rng(7);
    std::uniform_int_distribution<int32_t> near(-3000, 3000);
    std::vector<std::vector<int32_t>> lines = {{-10, 5, 10, 5}, {5, 7, 5, 7}, {-3000000, 100, 2000000, 300},
                                               {100, -3000000, 200, 2000000}, {-2000000, -1500000, 2000000, 1500001}};
    for (int trial = 0; trial < 1500; trial++) {
        int32_t x0 = near(rng), y0 = near(rng), x1 = near(rng);
        lines.push_back({x0, y0, x1, trial % 4 ? near(rng) : y0 + (x1 - x0) / 3});  // some long shallow ones
    }
    for (const auto& l : lines) {
        reset_frame(0, false);
        draw_line(l[0], l[1], l[2], l[3], 1);
        reference_line(l[0], l[1], l[2], l[3]);
        ASSERT_TRUE(frame_as_expected()) << l[0] << "," << l[1] << " " << l[2] << "," << l[3];
    }
}

TEST(Balls, WorkedValuesScreenTestDepthAndTheStepByStepWalk)
{
    // Radius 0.375 at (0, 0, -7): centre (320, 240), sr = -15, a disc at depth -700.
    reset_frame(DEBUG_SOLID);
    draw_ball(0, 0, -7, 0.375);
    reference_ball(320, 240, 15, true);
    EXPECT_TRUE(frame_as_expected() && depth_buffer[240 * 640 + 335] == -700.0);
    reset_frame(0);
    draw_ball(0, 0, -7, 0.375);
    EXPECT_EQ(pixel(335, 240), 78);
    struct Case { double x, z; bool drawn; } cases[] = {
        {0, -1.0, false}, {0, -2.0, false},   // centre at the near limit, at the eye plane
        {0, -1.5, true}, {0, -1.98, false},   // behind the eye: sr = +150 fits on the screen, +3750 not
        {8.375, -7, true}, {8.4, -7, false}};  // sx = -15: the square just reaches column 0; sx = -16
    for (const Case& c : cases) {
        reset_frame(DEBUG_SOLID);
        draw_ball(c.x, 0, c.z, 0.375);
        EXPECT_EQ(written_count() > 0, c.drawn) << c.x << " " << c.z;
    }
    reset_frame(DEBUG_SOLID);
    // A nearer depth already there stays; at the same depth the first disc stays (row 0 is
    // left to the step-by-step walk below).
    depth_buffer[300 * 640 + 300] = -200.0;
    draw_disc(300, 300, -300.0, 5);
    frame[300 * 640 + 301] = 9;
    draw_disc(300, 300, -300.0, 5);
    EXPECT_TRUE(!written(300, 300) && pixel(301, 300) == 9);

    std::mt19937 rng(5);
    std::uniform_int_distribution<int32_t> radius(-3000, 3000), centre(-2500, 3000);
    // Radius 0 (one pixel), row 0 crossed (discs leave it), radii in the millions walked by
    // the reference once each, then moderate ones.
    std::vector<std::vector<int32_t>> balls = {{100, 100, 0}, {300, 5, 10}, {300, 30, 60}, {320, 240 + 3000000, 3000000},
                                               {-2121320, -2121320, 3000000}, {320 + 4000000, 240, -4000000}};
    for (int trial = 0; trial < 250; trial++)
        balls.push_back({centre(rng), centre(rng), trial % 5 ? radius(rng) : radius(rng) % 40});
    for (const auto& b : balls) {
        for (bool disc : {true, false}) {
            reset_frame(DEBUG_SOLID, disc);
            if (disc) draw_disc(b[0], b[1], -300.0, b[2]);
            else draw_circle(b[0], b[1], b[2], 1);
            reference_ball(b[0], b[1], b[2], disc);
            ASSERT_TRUE(frame_as_expected()) << disc << " " << b[0] << "," << b[1] << " r " << b[2];
        }
    }
}

TEST(DepthSteps, EqualTheAdditionsOneAtATime)
{
    // Runs across powers of two up and down, from them and onto them, both signs, steps half
    // a unit of the last place (ties) and near it, no step, no depth, tiny and huge values.
    const double p = 1024.0, u = std::ldexp(1.0, 10 - 52);
    struct Case { double z, dz; int64_t count; } cases[] = {
        {-p, 0.0, 1}, {-p, -14.8, 1}, {-p, 14.8, 2}, {-p, -14.8, 40}, {-p + 3 * u, -u, 8}, {-p - 300, 7.31, 640}, {-p + 50, -3.3, 640},
        {p, u / 2, 9}, {p, -u / 4, 9}, {p + u, -u / 2, 5}, {p + 2 * u, 1.5 * u, 9}, {2 * p - u, u / 2, 3},
        {2 * p - 2 * u, 0.49 * u, 7}, {-700.0, 0.0, 640}, {0.0, 1e-310, 5}, {-0.0, 0.0, 3}, {1e-300, 1e-301, 9},
        {-3000.0, 1e20, 4}, {-3000.0, -1e300, 3}, {1e308, 1e308, 3}, {-1e-320, 1e-321, 4}, {5e-324, -5e-324, 6},
        // Edges skipped over many rows: across many powers of two, onto and through zero,
        // and steps that round back to the value (ties, too small to count).
        {-1e6, 37.3, 1000}, {-2147483648.0, 8191.77, 1 << 18}, {3.5e5, -2.75, 1 << 18}, {-0.5, 1e-7, 1 << 18},
        {0x1p30 + 0x1p-22, 0x1p-23, 1 << 18}, {0x1p30, 0x1p-23, 1000}, {1e15, 0.01, 1 << 18}, {-700.25, 0.0, 1 << 18},
    };
    std::vector<Case> all(std::begin(cases), std::end(cases));
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int i = 0; i < 20000; i++) {
        double z = -std::ldexp(1.0, 7 + int(rng() % 5)) * (0.9 + 0.2 * unit(rng));
        double dz = (unit(rng) - 0.5) * (i % 3 == 0 ? 60.0 : i % 3 == 1 ? 2.0 : 1e-9);
        if (i % 5 == 0) dz = std::ldexp(double(rng() % 64) + 0.5, std::ilogb(z) - 52) * (rng() % 2 ? 1 : -1);
        all.push_back({z, dz, 1 + int64_t(rng() % 640)});
    }
    for (auto [z, dz, count] : all) {
        // The runs, one after the other from the first value, give each value bit for bit.
        std::vector<double> want(count + 1);
        want[0] = z;
        for (int64_t i = 1; i <= count; i++) want[i] = want[i - 1] + dz;
        int64_t next = 0;
        for_each_depth_run(z, dz, count, [&](int64_t i, int64_t n, double first, double last, double step) {
            ASSERT_TRUE(i == next && n >= 0 && i + n < count) << i << " " << n;
            for (int64_t t = 0; t <= n; t++)
                ASSERT_EQ(std::bit_cast<uint64_t>(t == 0 ? first : first + double(t) * step), std::bit_cast<uint64_t>(want[i + t]));
            ASSERT_EQ(std::bit_cast<uint64_t>(last), std::bit_cast<uint64_t>(want[i + n]));
            next = i + n + 1;
        });
        ASSERT_EQ(next, count) << std::hexfloat << z << " " << dz;
        ASSERT_EQ(std::bit_cast<uint64_t>(advance_by_steps(z, dz, count)), std::bit_cast<uint64_t>(want[count]))
            << std::hexfloat << z << " " << dz << " " << count;
    }
}

// One row of buffers in the state a span finds it: depths far, equal to the span's own
// (ties), a little either side of them, -0 and +0, and random frame bytes.
struct SpanRow { std::vector<double> depth; std::vector<uint8_t> frame; };

template <bool Wide, bool TiesWin>
SpanRow draw_span_on(const SpanRow& before, RowWalk s, bool scalar)
{
    SpanRow row = before;
    s.depth = row.depth.data() + s.leftmost;
    s.frame = row.frame.data() + s.leftmost;
    if (scalar) draw_span_scalar<TiesWin>(s);
    else walk_span<Wide, TiesWin>(s);
    return row;
}

TEST(PixelLoops, DrawWhatThePixelRuleDraws)
{
    reset_frame(DEBUG_SOLID);
    const int64_t top = (int64_t{255} << 16) + 0xFFFF;  // the tables' last value
    struct Case { const char* name; RowWalk s; };
    std::vector<Case> cases = {
        {"one column", {.count = 1, .leftmost = 5, .channel = {top, 0, 1 << 16}, .left = -700}},
        {"seven, all in the tail", {.count = 7, .channel = {0, top, 90 << 16}, .step = {4096, -4096, 77},
                                    .left = -700.5, .depth_step = 0.25}},
        {"eight from an odd column at -0", {.count = 8, .leftmost = 1, .channel = {128 << 16, 64 << 16, 32 << 16},
                                            .step = {1, 2, 3}, .left = -0.0}},
        {"last group past the span, within the row", {.count = 33, .leftmost = 600, .channel = {top, top, top},
                                                      .step = {-65536, -30000, -7}, .left = -1000, .depth_step = -0.5}},
        {"last group would pass the row's end", {.count = 10, .leftmost = 630, .channel = {10 << 16, 20 << 16, 30 << 16},
                                                 .step = {65536, 65536, 65536}, .left = -300, .depth_step = 1}},
        {"the whole row", {.count = 640, .step = {26000, 20000, 14000}, .left = -1500, .depth_step = 0.75}},
    };
    std::mt19937_64 rng(404);
    const bool wide_available = set_wide_vectors(true);
    auto same = [](const SpanRow& a, const SpanRow& b) {
        return a.frame == b.frame && std::memcmp(a.depth.data(), b.depth.data(), SCREEN_WIDTH * sizeof(double)) == 0;
    };
    for (Case& c : cases) {
        RowWalk& s = c.s;
        s.row_parity = int(rng() & 1);
        SpanRow before{std::vector<double>(SCREEN_WIDTH), std::vector<uint8_t>(SCREEN_WIDTH)};
        for (int x = 0; x < SCREEN_WIDTH; x++) {
            const double own = x >= s.leftmost && x < s.leftmost + s.count ? span_depth(s, x - s.leftmost) : s.left;
            const double choices[6] = {clear_depth, own, std::nextafter(own, 0.0), std::nextafter(own, -1e9), -own, 0.0};
            before.depth[x] = choices[rng() % 6];
            before.frame[x] = uint8_t(rng());
        }
        const SpanRow want = draw_span_on<false, false>(before, s, true), want_ties = draw_span_on<false, true>(before, s, true);
        EXPECT_TRUE(same(draw_span_on<false, false>(before, s, false), want)) << c.name << ", 128-bit";
        EXPECT_TRUE(same(draw_span_on<false, true>(before, s, false), want_ties)) << c.name << ", 128-bit, ties win";
        if (!wide_available) continue;
        EXPECT_TRUE(same(draw_span_on<true, false>(before, s, false), want)) << c.name << ", 256-bit";
        EXPECT_TRUE(same(draw_span_on<true, true>(before, s, false), want_ties)) << c.name << ", 256-bit, ties win";
    }
}

TEST(DepthFloors, PassOverOnlyWhatCannotShow)
{
    // Face a runs from depth -1900 at column 0 to -1894 at 640: its span's depths, summed in
    // exact runs, lie below the products z + k dz by up to a few units of the last place;
    // at column 320 the drawn depth is -1897.00000000003, the product exactly -1897. A
    // floor without its margin would hide face b at -1897 there, though b is nearer.
    const int32_t slope[12] = {0, 100, -1900, 640, 100, -1894, 0, 104, -1900, 640, 104, -1894};
    const int32_t column[12] = {320, 100, -1897, 320, 100, -1897, 320, 104, -1897, 320, 104, -1897};
    // At depth 0 the margin is 0 too: only the comparison keeps a tie drawn.
    const int32_t wide_zero[12] = {0, 200, 0, 640, 200, 0, 0, 210, 0, 640, 210, 0};
    const int32_t narrow_zero[12] = {100, 200, 0, 200, 200, 0, 100, 210, 0, 200, 210, 0};
    struct Case { const char* name; const int32_t *a, *b; bool b_ties_win; int x, y; bool b_shows; } cases[] = {
        {"nearer by less than the rounding of the face behind", slope, column, false, 320, 101, true},
        {"a tie at depth 0 won by the later face", wide_zero, narrow_zero, true, 150, 205, true},
        {"a tie at depth 0 lost by the later face", wide_zero, narrow_zero, false, 150, 205, false},
    };
    const uint8_t brown[3] = {200, 100, 50}, green[3] = {0, 255, 0};
    const double lights[4] = {1, 1, 1, 1};
    for (const Case& c : cases) {
        std::vector<uint8_t> frames[2];
        for (bool floors : {false, true}) {
            reset_frame(DEBUG_SOLID);
            keep_depth_floors(0, 1, floors);
            fill_face_rows(c.a, brown, lights, 0, 1, false);
            fill_face_rows(c.b, green, lights, 0, 1, c.b_ties_win);
            keep_depth_floors(0, 1, false);
            EXPECT_EQ(pixel(c.x, c.y) == outline_index(green), c.b_shows) << c.name << (floors ? ", floors kept" : "");
            frames[floors].assign(frame, frame + SCREEN_PIXELS);
        }
        EXPECT_TRUE(frames[0] == frames[1]) << c.name;
    }
}

TEST(FillPolygon, EqualsThePlainPixelWalkOnRandomFaces)
{
    std::mt19937 rng(2024);
    // Half the frames with 128-bit vectors, half with 256-bit ones where the processor has them.
    for (int trial = 0; trial < 60; trial++) {
        set_wide_vectors(trial % 2 == 0);
        reset_frame(DEBUG_SOLID);
        std::fill(expected.begin(), expected.end(), background);
        std::fill(expected_depth.begin(), expected_depth.end(), depth_buffer[0]);
        // Forty overlapping faces a frame: the depth test between them is compared too. The
        // first of the first frames has its edges skipped over exactly as many rows above
        // the screen as are still summed one step at a time.
        const int32_t far = -int32_t(edge_skip_by_steps_limit) + 1;
        const ListedItem far_face{false, {-1000, far - 1, -500, 1640, far, -401, 701, 481, -613, -3, 480, -555},
                                  {200, 150, 100}, {1, 0.5, 0.25, 0.75}};
        for (int f = 0; f < 40; f++) {
            const ListedItem face = trial < 2 && f == 0 ? far_face : random_face(rng);
            fill_polygon(face.v, face.rgb, face.lights);
            reference_fill(face);
        }
        ASSERT_TRUE(frame_as_expected()) << trial;
        ASSERT_EQ(std::memcmp(expected_depth.data(), depth_buffer, sizeof depth_buffer), 0) << trial;
    }
    set_wide_vectors(true);
}

// Faces and discs drawn in order on every drawing thread.
static std::vector<ListedItem> listed;

static void draw_listed()
{
    for (const ListedItem& item : listed) {
        if (item.disc) draw_disc_on_rows(item.v[0], item.v[1], item.lights[0], item.v[2]);
        else fill_face(item.v, item.rgb, item.lights);
    }
}

TEST(DrawOrder, OneRunGrowsFromTheNearestItem)
{
    const double nan = std::nan(""), inf = HUGE_VAL;
    struct Case {
        std::vector<double> nearness;
        std::vector<int> order;
        int start = -1;
    };
    const Case cases[] = {
        {{}, {}}, {{5}, {0}}, {{7, 1, 6}, {2, 1, 0}, 2}, {{1, 3, 2}, {1, 2, 0}},
        {{1, 2, 9, 3}, {1, 2, 3, 0}, 1},  // a given start, then the nearer side
        {{1, 2, 9, 3}, {2, 3, 1, 0}, 4},  // a start past the end: the nearest
        {{3, 1, 3}, {2, 1, 0}},           // the last of equals starts
        {{2, 5, 2}, {1, 0, 2}},           // equal neighbours: the one before first
        {{nan, 1, nan}, {1, 0, 2}},       // not a number counts as farthest
        {{nan, nan}, {1, 0}}, {{4, nan, 9, 1, 8}, {2, 3, 4, 1, 0}}, {{-inf, inf, 0}, {1, 2, 0}},
        {{1, 2, 3, 4}, {3, 2, 1, 0}},     // all before the start: each drawn with ties winning
        {{7, 1, 6, 2, 5}, {0, 1, 2, 3, 4}},
    };
    for (const Case& c : cases) {
        std::vector<int> order(c.nearness.size(), -1);
        order_nearest_first(c.nearness.data(), static_cast<int>(c.nearness.size()), c.start, order.data());
        EXPECT_EQ(order, c.order) << ::testing::PrintToString(c.nearness);
    }
}

static void draw_listed_nearest_first()
{
    start_nearest_first();
    draw_listed();
    finish_nearest_first();
}

// A face of the plane z = base + a x + b y (integers at the corners, depths in between
// rounded differently by each face of it) over the screen rectangle (x0, y0) - (x1, y1).
static ListedItem plane_face(int32_t base, int32_t a, int32_t b, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                             uint8_t shade)
{
    ListedItem face{};
    const int32_t xs[4] = {x0, x1, x0, x1}, ys[4] = {y0, y0, y1, y1};
    for (int k = 0; k < 4; k++) {
        face.v[3 * k] = xs[k], face.v[3 * k + 1] = ys[k], face.v[3 * k + 2] = base + a * xs[k] + b * ys[k];
        face.lights[k] = 0.3 + 0.2 * k;
    }
    face.rgb[0] = shade, face.rgb[1] = 255 - shade, face.rgb[2] = 90;
    return face;
}

TEST(DrawThreads, InOrderOrNearestFirstOnOneOrTwoThreadsDrawTheSame)
{
    std::mt19937 rng(91);
    std::vector<uint8_t> want_pixels;
    std::vector<double> want_depths;
    const struct { const char* name; int threads; bool nearest_first; } passes[] = {
        {"in order, one thread", 1, false}, {"nearest first, one thread", 1, true},
        {"nearest first, two threads", 2, true}, {"in order, two threads", 2, false}};
    for (int trial = 0; trial < 14; trial++) {
        // Random faces around planes seen whole and in pieces, faces repeated in other
        // colours, flat faces and discs at their depths, +0 and -0 among them: ties and
        // near ties everywhere.
        std::uniform_int_distribution<int32_t> slope(-2, 2), x(-80, 720), y(-60, 540), radius(-300, 300);
        listed.clear();
        for (int i = 0; i < 30; i++) listed.push_back(random_face(rng));
        for (int32_t base : {-1500, -400, 0}) {
            const int32_t a = base == 0 ? 0 : slope(rng), b = base == 0 ? 0 : slope(rng);
            if (trial % 2 == 0) listed.push_back(plane_face(base, a, b, -50, -40, 700, 530, 30));
            for (int i = 0; i < 12; i++) {
                int32_t xa = x(rng), xb = x(rng), ya = y(rng), yb = y(rng);
                listed.push_back(plane_face(base, a, b, std::min(xa, xb), std::min(ya, yb), std::max(xa, xb) + 1,
                                            std::max(ya, yb) + 1, uint8_t(40 + 15 * i)));
            }
            listed.push_back({true, {x(rng), y(rng), radius(rng)}, {}, {base == 0 ? -0.0 : base - 0.0}});
        }
        for (int i = 0; i < 10; i++) listed.push_back(listed[rng() % listed.size()]), listed.back().rgb[2] ^= 0x55;
        std::shuffle(listed.begin(), listed.end(), rng);
        // Discs no nearer than the cleared buffer draw nothing, though drawn before the
        // nearest item, with ties winning.
        if (trial == 0) {
            // Much of the screen left clear for them; the drawing starts at the last disc,
            // so one comes after them.
            listed.resize(1);
            listed.push_back({true, {600, 400, 20}, {}, {-150.0}});
        }
        listed.insert(listed.begin(), {true, {320, 240, 300}, {}, {clear_depth}});
        listed.insert(listed.begin(), {true, {100, 100, 90}, {}, {-HUGE_VAL}});
        // And one at -0 before the faces at +0 of the nearest plane: drawn last, with ties
        // winning, it keeps its own zero.
        listed.insert(listed.begin(), {true, {320, 240, 150}, {}, {-0.0}});
        for (const auto& pass : passes) {
            set_draw_threads(pass.threads);
            ASSERT_EQ(draw_threads(), pass.threads);
            reset_frame(DEBUG_SOLID);
            run_on_draw_threads(pass.nearest_first ? draw_listed_nearest_first : draw_listed);
            if (&pass == passes) {
                want_pixels.assign(frame, frame + SCREEN_PIXELS);
                want_depths.assign(depth_buffer, depth_buffer + SCREEN_PIXELS);
                EXPECT_GT(written_count(), trial == 0 ? 0 : 1000) << trial;
                continue;
            }
            ASSERT_TRUE(std::equal(want_pixels.begin(), want_pixels.end(), frame)) << trial << ", " << pass.name;
            ASSERT_EQ(std::memcmp(want_depths.data(), depth_buffer, sizeof depth_buffer), 0)
                << trial << ", " << pass.name;
        }
    }
    set_draw_threads(0);  // the default again
}

TEST(Raster, AnyArgumentsStayInsideTheBuffers)
{
    // The largest face and disc there are cover rows 1..479 (row 0 only belongs to band 1).
    reset_frame(DEBUG_SOLID);
    fill_quad({{INT32_MIN, INT32_MIN}, {INT32_MAX, INT32_MIN}, {INT32_MIN, INT32_MAX}, {INT32_MAX, INT32_MAX}}, white);
    EXPECT_EQ(written_count(), 640 * 479);
    for (int32_t r : {INT32_MAX, INT32_MIN, INT32_MAX - 1, 1 << 30}) {
        reset_frame(DEBUG_SOLID);
        draw_circle(320, 240, r, 1);  // every point off the screen
        EXPECT_EQ(written_count(), 0);
        draw_disc(320, 240, -300.0, r);
        EXPECT_EQ(written_count(), 640 * 479);
    }
    // Faces and balls around the eye plane project beyond any 32-bit range, or to no number.
    const double wild[] = {-2.0, std::nextafter(-2.0, 0.0), std::nextafter(-2.0, -3.0), -1.0000001, -1e300,
                           0.0, 1e-300, 3.0, -1e9, 1e300, HUGE_VAL, -HUGE_VAL, NAN};
    std::mt19937 rng(99);
    std::uniform_int_distribution<int32_t> any(INT32_MIN, INT32_MAX), near(-2000, 2000), pick(0, std::size(wild) - 1);
    for (int trial = 0; trial < 800; trial++) {
        reset_frame(trial % 2 ? DEBUG_SOLID : 0);
        int32_t v[12];
        for (int32_t& value : v) value = trial % 4 < 2 ? any(rng) : near(rng);
        v[0] = near(rng) + 320;  // one corner near the screen so that something is drawn
        v[1] = near(rng) / 4 + 240;
        const double lights[4] = {1, 0.5, 0.25, 2};
        fill_polygon(v, white, lights);
        draw_line(any(rng), any(rng), any(rng), any(rng), 1);
        draw_disc(any(rng), any(rng), -300.0, any(rng));
        draw_circle(any(rng), any(rng), any(rng), 1);
        double x = wild[pick(rng)], z = wild[pick(rng)];
        draw_quad({{0, 0, -7}, {x, -x, z}, {-x, 1, z}, {1, 1, -7}});
        draw_ball(x, 0, z, 0.375);
        draw_ball(0, 0, -7, x);
        ASSERT_TRUE(guards_intact()) << trial;
    }
}

TEST(Scene, CameraVisitedSquaresAndLight)
{
    // World points in camera space: moved by (-5, -5, -7), turned by the yaw, tilted.
    reset_world(10.5, 10.5);
    struct Case { double yaw, world[3], camera[3]; } cases[] = {
        {0, {5, 5, 0}, {0, 0.6861, -6.9663}}, {0, {6, 5, 0}, {1, 0.6861, -6.9663}},
        {0, {5, 6, 0}, {0, 1.6813, -6.8683}}, {1.0, {6, 5, 0}, {0.5453, 1.5203, -6.8841}}};
    for (const Case& c : cases) {
        camera_yaw = c.yaw;
        build_view_matrix();
        double camera[3];
        transform_point(c.world, camera);
        for (int r = 0; r < 3; r++) EXPECT_NEAR(camera[r], c.camera[r], 5e-5) << c.yaw << " row " << r;
    }
    // From the light at (10.5, 10.5, 0.5): 1 away, 2 away, the floor below it, 5 across the floor.
    EXPECT_EQ(vertex_light(11.5, 10.5, 0.5), 1.0);
    EXPECT_EQ(vertex_light(12.5, 10.5, 0.5), 0.25);
    EXPECT_EQ(vertex_light(10.5, 10.5, 0.0), 1.0);
    EXPECT_DOUBLE_EQ(vertex_light(15.5, 10.5, 0.0), 1.0 / 25.25);
    // Every square whose centre lies nearer the light than visit_radius is visited, a
    // floor face each, observed once though two threads draw it nearest first: from
    // (10.5, 10.5) not those exactly 5.0 away; near and past the grid's edges, and with
    // lights that are not numbers, however few they are.
    set_draw_threads(2);
    const double nan = std::nan(""), inf = HUGE_VAL;
    for (auto [x, y] : {std::pair{10.0, 10.0}, {10.5, 10.5}, {-5.4, 3.0}, {-5.6, 3.0}, {-4.5, -4.5}, {68.4, 63.5},
                        {68.6, 60.0}, {63.9, 0.1}, {1e300, 5.0}, {-inf, 5.0}, {nan, 5.0}, {5.0, nan}, {nan, nan},
                        {5.0, inf}}) {
        int expected = 0;
        for (int row = 0; row < GRID_SIZE; row++)
            for (int col = 0; col < GRID_SIZE; col++) {
                double dx = x - row - 0.5, dy = y - col - 0.5;
                expected += !(dx * dx + dy * dy >= visit_radius * visit_radius);
            }
        reset_world(x, y);
        depth_buffer_cleared = true;
        render_scene();
        EXPECT_EQ(static_cast<int>(faces.size()), expected) << x << ", " << y;
        EXPECT_FALSE(depth_buffer_cleared);
    }
    set_draw_threads(0);
    // The square (5, 10), 4.999 away from (10.499, 10.5): its floor, then the tops of both layers.
    reset_world(10.499, 10.5);
    cells[0][5][10] = CELL_TOP | 0x1000;
    cells[1][5][10] = CELL_TOP | 0x2000;
    render_scene();
    std::vector<double> heights;
    for (const Face& f : faces)
        if (f.v[0][0] == 5.0 && f.v[0][1] == 10.0) heights.push_back(f.v[0][2]);
    EXPECT_EQ(heights, (std::vector<double>{0, 1, 2}));
}

TEST(Scene, CellAndEntityFaces)
{
    // The faces a cell word's bits ask for at square (3, 4), in the cell's colour, from the
    // block's bottom to its top (the height code, half a unit a step).
    struct Case { uint16_t word; int faces; double zmin, zmax; } cases[] = {
        {0x0000, 0, 0, 0}, {0x1000, 0, 0, 0},  // no face bits
        {0x103F, 6, 0.0, 1.0}, {0x201F, 5, 1.0, 2.0}, {0x003F, 6, -1.0, 0.0}, {0xF83F, 6, 14.5, 15.5},
        {0x113F, 5, 0.0, 1.0}, {0x117F, 5, 0.0, 1.0}, {0x11BF, 5, 0.0, 1.0}, {0x11FF, 5, 0.0, 1.0},  // ramps
        {0x107F, 0, 0, 0}, {0x10BF, 0, 0, 0}, {0x10FF, 0, 0, 0}, {0x123F, 0, 0, 0}, {0x143F, 0, 0, 0},
    };
    for (const Case& c : cases) {
        reset_world(3.5, 4.5);
        cell_colors[3][4][0] = 77;
        draw_cell_faces(c.word, 3, 4);
        ASSERT_EQ(static_cast<int>(faces.size()), c.faces) << std::hex << c.word;
        for (const Face& f : faces)
            for (const auto& v : f.v)
                EXPECT_TRUE(f.red == 77 && (v[0] == 3 || v[0] == 4) && (v[1] == 4 || v[1] == 5) &&
                            (v[2] == c.zmin || v[2] == c.zmax)) << std::hex << c.word << " " << v[0] << v[1] << v[2];
    }
    reset_world(3.5, 4.5);
    draw_cell_faces(RAMP_NORTH | CELL_TOP | 0x1000, 3, 4);  // the slope alone, rising toward +y
    for (const auto& v : faces.at(0).v) EXPECT_EQ(v[2], v[1] - 4.0);
    // A wanderer and a block are boxes of six faces; other types draw none, and neither do
    // entities past entity_count.
    for (auto [type, count] : {std::pair{1, 6}, {2, 6}, {3, 0}, {-1, 0}}) {
        reset_world(5.5, 5.5);
        entity_count = 2;
        entities[1].type = type;
        entities[2].type = 1;
        draw_entities();
        EXPECT_EQ(static_cast<int>(faces.size()), count) << type;
    }
}

TEST(Projection, WorkedPointsAndFaceRejection)
{
    const double points[3][5] = {{1, 0, -7, 280, 240}, {0, 1, -4, 320, 340}, {1, 0, -1.5, 720, 240}};
    for (const auto& [x, y, z, sx, sy] : points) {
        double px, py;
        project_point(100 * x, 100 * y, 100 * z, &px, &py);
        EXPECT_TRUE(px == sx && py == sy) << x << " " << y << " " << z;
    }
    struct Case { const char* name; double v[4][3]; bool drawn; } cases[] = {
        {"one vertex at exactly z = -1", {{-1, -1, -7}, {1, -1, -7}, {-1, 1, -7}, {0, 0, -1}}, false},
        {"a vertex that is not a number", {{-1, -1, -7}, {1, -1, -7}, {-1, 1, -7}, {0, 0, NAN}}, false},
        {"every corner off screen", {{-100, -100, -7}, {100, -100, -7}, {-100, 100, -7}, {100, 100, -7}}, false},
        {"one corner on screen", {{0, 0, -7}, {500, 0, -7}, {0, 500, -7}, {500, 500, -7}}, true},
        {"one corner exactly on column 0", {{8, 0, -7}, {100, 0, -7}, {8, 100, -7}, {100, 100, -7}}, true},
        {"a corner at the eye plane", {{0, 0, -7}, {1, 0, -2}, {0, 1, -7}, {1, 1, -7}}, true},
        {"a corner just behind the eye", {{0, 0, -7}, {1, 0, -1.5}, {0, 1, -7}, {1, 1, -7}}, true},
    };
    for (const Case& c : cases) {
        reset_frame(DEBUG_SOLID);
        draw_quad(c.v);
        EXPECT_EQ(written_count() > 0, c.drawn) << c.name;
    }
    // z = -1.005: 100 z = -100.5 is handed on truncated toward zero; mirrored round the centre.
    reset_frame(DEBUG_SOLID);
    draw_quad({{-0.5, -0.5, -1.005}, {0.5, -0.5, -1.005}, {-0.5, 0.5, -1.005}, {0.5, 0.5, -1.005}});
    EXPECT_EQ(depth_buffer[240 * 640 + 320], -100.0);
}

TEST(PngWriter, IndexedFrameWithThePaletteAndNoFileOnFailure)
{
    reset_frame(0);
    for (int i = 0; i < SCREEN_PIXELS; i++) frame[i] = static_cast<uint8_t>(i % 253);
    std::string path = ::testing::TempDir() + "png_writer_" + std::to_string(getpid());
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(write_frame_png(path.c_str(), frame, palette) && png_image_begin_read_from_file(&image, path.c_str()));
    EXPECT_TRUE(image.width == 640 && image.height == 480 && (image.format & PNG_FORMAT_FLAG_COLORMAP));
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(SCREEN_PIXELS * 3);
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
    for (int i = 0; i < SCREEN_PIXELS * 3; i++) ASSERT_EQ(rgb[i], palette[frame[i / 3]][i % 3]) << i;
    std::filesystem::remove(path);
    std::filesystem::create_directories(path);  // a directory: the write fails and leaves nothing beside it
    EXPECT_FALSE(write_frame_png(path.c_str(), frame, palette));
    const std::string leftover = std::filesystem::path(path).filename().string() + ".tmp";
    for (const auto& entry : std::filesystem::directory_iterator(::testing::TempDir()))
        EXPECT_NE(entry.path().filename().string().rfind(leftover, 0), 0u) << entry.path();
    std::filesystem::remove(path);
    EXPECT_FALSE(write_frame_png("", frame, palette) || write_frame_png(nullptr, frame, palette));
}
