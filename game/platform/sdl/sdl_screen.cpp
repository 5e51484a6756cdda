#include "platform/sdl/sdl_screen.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/platform.h"

namespace {

bool shows_nothing(const char* driver)
{
    return driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
}

// Starts video with SDL's choice of driver, or with the one the hint names.
bool start_video_with(const char* driver)
{
    SDL_SetHint(SDL_HINT_VIDEODRIVER, driver);
    bool started = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    SDL_SetHint(SDL_HINT_VIDEODRIVER, nullptr);
    if (started && shows_nothing(SDL_GetCurrentVideoDriver())) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        SDL_SetError("no display to show a window on");
        return false;
    }
    return started;
}

}  // namespace

bool sdl_screen_start_video()
{
    // An empty SDL_VIDEODRIVER chooses nothing: the display is looked for as without it.
    const char* chosen = std::getenv("SDL_VIDEODRIVER");
    if (chosen && *chosen) return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    if (start_video_with(nullptr)) return true;
    // SDL's own pass falls through to a driver that shows nothing when the display
    // server refuses a connection for a moment (an X server resetting after its last
    // client left): ask for the windowing systems by name a few times, and report X's
    // answer if none comes up.
    char x11_failure[256] = "";
    for (int attempt = 0; attempt < 3; attempt++) {
        SDL_Delay(200);
        if (start_video_with("x11")) return true;
        std::snprintf(x11_failure, sizeof x11_failure, "%s", SDL_GetError());
        if (start_video_with("wayland")) return true;
    }
    SDL_SetError("%s", x11_failure);
    return false;
}

namespace {

// A renderer of the given kind showing 640 x 480 logical pixels, proven by the frame's
// texture; on any failure nothing of it is left.
bool try_renderer(SdlScreen* screen, Uint32 flags)
{
    screen->renderer = SDL_CreateRenderer(screen->window, -1, flags);
    if (!screen->renderer) return false;
    if (SDL_RenderSetLogicalSize(screen->renderer, PLATFORM_SCREEN_WIDTH, PLATFORM_SCREEN_HEIGHT) == 0 &&
        sdl_screen_create_texture(screen))
        return true;
    sdl_screen_destroy_renderer(screen);
    return false;
}

// A failed OpenGL attempt can leave SDL's window recreated for OpenGL and unusable for
// the software renderer: make a plain one in its place.
bool replace_window(SdlScreen* screen)
{
    int x = 0, y = 0, width = 0, height = 0;
    SDL_GetWindowPosition(screen->window, &x, &y);
    SDL_GetWindowSize(screen->window, &width, &height);
    Uint32 keep = SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_RESIZABLE | SDL_WINDOW_HIDDEN | SDL_WINDOW_SHOWN;
    Uint32 flags = SDL_GetWindowFlags(screen->window) & keep;
    char title[128];
    std::snprintf(title, sizeof title, "%s", SDL_GetWindowTitle(screen->window));
    SDL_Window* fresh = SDL_CreateWindow(title, x, y, width, height, flags);
    if (!fresh) return false;
    SDL_DestroyWindow(screen->window);
    screen->window = fresh;
    return true;
}

// True when the renderer draws through OpenGL that a CPU rasterizes (llvmpipe, softpipe,
// swrast: a machine without a GPU, a virtual X display). Scaling the frame through that
// costs several times what the game's own drawing does; SDL's software renderer with a
// plain window framebuffer does the same work at a fraction of it.
bool renderer_is_software_opengl(SDL_Renderer* renderer)
{
    SDL_RendererInfo info;
    if (SDL_GetRendererInfo(renderer, &info) != 0 || std::strncmp(info.name, "opengl", 6) != 0) return false;
    using GetString = const unsigned char* (*)(unsigned int);
    constexpr unsigned int gl_renderer = 0x1F01;
    auto get_string = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    const char* name = get_string ? reinterpret_cast<const char*>(get_string(gl_renderer)) : nullptr;
    if (!name) return false;
    static const char* const cpu_rasterizers[] = {"llvmpipe", "softpipe", "swrast", "Software Rasterizer"};
    for (const char* cpu : cpu_rasterizers)
        if (std::strstr(name, cpu)) return true;
    return false;
}

// Anything that may have made a new window surface or spoilt what it shows outside the
// picture: the black bars are filled in again at the next present.
int SDLCALL note_window_change(void* data, SDL_Event* event)
{
    auto* screen = static_cast<SdlScreen*>(data);
    if (event->type != SDL_WINDOWEVENT || !screen->window || event->window.windowID != SDL_GetWindowID(screen->window))
        return 0;
    switch (event->window.event) {
    case SDL_WINDOWEVENT_SIZE_CHANGED:
    case SDL_WINDOWEVENT_RESIZED:
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_MAXIMIZED:
        screen->surface_dirty = true;
        break;
    default:
        break;
    }
    return 0;
}

}  // namespace

bool sdl_screen_create_renderer(SdlScreen* screen)
{
    if (!screen->window) return false;
    screen->software = false;
    // Nearest-neighbour scaling keeps the dither pattern crisp. Vsync only when asked
    // for (paced frames on a display at least as fast as the pace); otherwise
    // presenting never blocks the frame loop.
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    SDL_SetHint(SDL_HINT_RENDER_VSYNC, screen->vsync ? "1" : "0");
    if (try_renderer(screen, SDL_RENDERER_ACCELERATED)) {
        if (!renderer_is_software_opengl(screen->renderer)) return true;
        sdl_screen_destroy_renderer(screen);
        // The software renderer's window surface straight to the display, not through
        // OpenGL again.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    }
    // Without usable OpenGL the frame still shows, scaled by our own pass into the
    // window's surface (SDL's software renderer stays for what the platform asks of it).
    if (!try_renderer(screen, SDL_RENDERER_SOFTWARE) &&
        !(replace_window(screen) && try_renderer(screen, SDL_RENDERER_SOFTWARE)))
        return false;
    screen->software = true;
    screen->surface_dirty = true;
    SDL_DelEventWatch(note_window_change, screen);
    SDL_AddEventWatch(note_window_change, screen);
    return true;
}

bool sdl_screen_create_texture(SdlScreen* screen)
{
    if (!screen->renderer) return false;
    if (screen->texture) return true;
    screen->texture = SDL_CreateTexture(screen->renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                        PLATFORM_SCREEN_WIDTH, PLATFORM_SCREEN_HEIGHT);
    if (!screen->texture) return false;
    SDL_SetTextureScaleMode(screen->texture, SDL_ScaleModeNearest);
    return true;
}

void sdl_screen_set_palette(SdlScreen* screen, const uint8_t palette[256][3])
{
    for (int i = 0; i < 256; i++)
        screen->palette[i] = 0xFF000000u | static_cast<uint32_t>(palette[i][0]) << 16 |
                             static_cast<uint32_t>(palette[i][1]) << 8 | palette[i][2];
}

SDL_Rect sdl_screen_picture_area(int output_width, int output_height)
{
    SDL_Rect area{0, 0, output_width, output_height};
    // Cross-multiplied, so no rounding decides which side bounds the picture.
    if (static_cast<int64_t>(output_width) * PLATFORM_SCREEN_HEIGHT >=
        static_cast<int64_t>(output_height) * PLATFORM_SCREEN_WIDTH)
        area.w = static_cast<int>(static_cast<int64_t>(output_height) * PLATFORM_SCREEN_WIDTH / PLATFORM_SCREEN_HEIGHT);
    else
        area.h = static_cast<int>(static_cast<int64_t>(output_width) * PLATFORM_SCREEN_HEIGHT / PLATFORM_SCREEN_WIDTH);
    area.x = (output_width - area.w) / 2;
    area.y = (output_height - area.h) / 2;
    return area;
}

int sdl_screen_upscale_factor(int area_width, int area_height)
{
    if (area_width <= 0 || area_height <= 0) return 0;
    if (area_width % PLATFORM_SCREEN_WIDTH == 0 &&
        area_width / PLATFORM_SCREEN_WIDTH * PLATFORM_SCREEN_HEIGHT == area_height)
        return 0;
    int across = (area_width + PLATFORM_SCREEN_WIDTH - 1) / PLATFORM_SCREEN_WIDTH;
    int down = (area_height + PLATFORM_SCREEN_HEIGHT - 1) / PLATFORM_SCREEN_HEIGHT;
    return across > down ? across : down;
}

int sdl_screen_window_factor(int space_width, int space_height)
{
    int across = space_width / PLATFORM_SCREEN_WIDTH;
    int down = space_height / PLATFORM_SCREEN_HEIGHT;
    int factor = across < down ? across : down;
    return factor < 1 ? 1 : factor;
}

void sdl_screen_scale_taps(int source_size, int factor, int dest_size, SdlScreenTap* taps)
{
    if (source_size <= 0 || dest_size <= 0) return;
    if (factor <= 0) {
        int repeat = dest_size / source_size < 1 ? 1 : dest_size / source_size;
        for (int x = 0; x < dest_size; x++) {
            int pixel = x / repeat < source_size ? x / repeat : source_size - 1;
            taps[x] = {pixel, pixel, 0};
        }
        return;
    }
    // Output pixel x's centre lies at (2x + 1) * upscaled / (2 * dest_size) - 1/2 in
    // upscaled pixels; kept as a fraction so no rounding moves a border.
    int64_t upscaled = static_cast<int64_t>(source_size) * factor;
    int64_t twice_dest = 2 * static_cast<int64_t>(dest_size);
    for (int x = 0; x < dest_size; x++) {
        int64_t position = (2 * static_cast<int64_t>(x) + 1) * upscaled - dest_size;
        if (position < 0) position = 0;
        int64_t left = position / twice_dest;
        int64_t right = left + 1 < upscaled ? left + 1 : upscaled - 1;
        int first = static_cast<int>(left / factor);
        int second = static_cast<int>(right / factor);
        int weight = static_cast<int>(((position % twice_dest) * 256 + dest_size) / twice_dest);
        if (first == second || weight == 0)
            taps[x] = {first, first, 0};
        else if (weight >= 256)
            taps[x] = {second, second, 0};
        else
            taps[x] = {first, second, weight};
    }
}

namespace {

// The scaling of the frame into the window's surface: taps for the picture area's
// columns and rows, and the frame's rows scaled across, kept while the next output row
// needs them. Columns are kept as separate lists, and their weights once per byte of a
// pixel, so the mixing runs over plain byte rows the compiler vectorises.
struct SurfaceScaling {
    int width, height;  // the picture area the taps are for
    bool columns_mix;   // false at whole multiples: rows are only gathered
    bool seconds_follow;  // every mixing column's second frame pixel is the next column's first
    std::vector<SdlScreenTap> rows;
    std::vector<uint16_t> first_column, second_column;
    std::vector<uint8_t> column_weights;  // 4 per output pixel
    std::vector<uint32_t> firsts, seconds;  // one frame row's pixels at the two taps
    std::vector<uint32_t> lines[2];         // frame row r scaled across, in lines[r & 1]
    int line_row[2];
    uint32_t colours[256];  // the palette in the surface's pixel format
} scaling;

// Bytes of two rows mixed, weights[i]/256 of the second, rounded: 8-bit channels of any
// order mix alike.
void mix_bytes(const uint8_t* a, const uint8_t* b, const uint8_t* weights, uint8_t* out, size_t count)
{
    for (size_t i = 0; i < count; i++)
        out[i] = static_cast<uint8_t>((a[i] * (256 - weights[i]) + b[i] * weights[i] + 128) >> 8);
}

void mix_rows(const uint8_t* a, const uint8_t* b, unsigned weight, uint8_t* out, size_t count)
{
    unsigned keep = 256 - weight;
    for (size_t i = 0; i < count; i++) out[i] = static_cast<uint8_t>((a[i] * keep + b[i] * weight + 128) >> 8);
}

void make_taps(int width, int height)
{
    int factor = sdl_screen_upscale_factor(width, height);
    std::vector<SdlScreenTap> columns(static_cast<size_t>(width));
    sdl_screen_scale_taps(PLATFORM_SCREEN_WIDTH, factor, width, columns.data());
    scaling.rows.resize(static_cast<size_t>(height));
    sdl_screen_scale_taps(PLATFORM_SCREEN_HEIGHT, factor, height, scaling.rows.data());
    scaling.first_column.resize(columns.size());
    scaling.second_column.resize(columns.size());
    scaling.column_weights.resize(columns.size() * 4);
    scaling.columns_mix = false;
    scaling.seconds_follow = true;
    for (size_t x = 0; x < columns.size(); x++) {
        scaling.first_column[x] = static_cast<uint16_t>(columns[x].first);
        scaling.second_column[x] = static_cast<uint16_t>(columns[x].second);
        std::memset(&scaling.column_weights[x * 4], columns[x].weight, 4);
        if (columns[x].weight == 0) continue;
        scaling.columns_mix = true;
        if (x + 1 == columns.size() || columns[x + 1].first != columns[x].second) scaling.seconds_follow = false;
    }
    // One more than the columns, so the pixels one column on can stand for the seconds.
    scaling.firsts.resize(columns.size() + 1);
    scaling.seconds.resize(columns.size());
    for (std::vector<uint32_t>& line : scaling.lines) line.resize(columns.size());
    scaling.width = width;
    scaling.height = height;
}

const uint32_t* scaled_line(const uint8_t* frame, int row)
{
    std::vector<uint32_t>& line = scaling.lines[row & 1];
    if (scaling.line_row[row & 1] == row) return line.data();
    scaling.line_row[row & 1] = row;
    // The row through the palette first, so each output pixel then costs one look-up.
    uint32_t converted[PLATFORM_SCREEN_WIDTH];
    const uint8_t* in = frame + static_cast<ptrdiff_t>(row) * PLATFORM_SCREEN_WIDTH;
    for (int x = 0; x < PLATFORM_SCREEN_WIDTH; x++) converted[x] = scaling.colours[in[x]];
    size_t width = line.size();
    const uint16_t* first_column = scaling.first_column.data();
    uint32_t* firsts = scaling.columns_mix ? scaling.firsts.data() : line.data();
    for (size_t x = 0; x < width; x++) firsts[x] = converted[first_column[x]];
    if (!scaling.columns_mix) return line.data();
    // Enlarged at least to the frame's size, a column mixes toward the pixel the next
    // column starts from (weight 0 elsewhere): the second look-ups are saved.
    const uint32_t* seconds = firsts + 1;
    firsts[width] = firsts[width - 1];
    if (!scaling.seconds_follow) {
        const uint16_t* second_column = scaling.second_column.data();
        uint32_t* gathered = scaling.seconds.data();
        for (size_t x = 0; x < width; x++) gathered[x] = converted[second_column[x]];
        seconds = gathered;
    }
    mix_bytes(reinterpret_cast<const uint8_t*>(firsts), reinterpret_cast<const uint8_t*>(seconds),
              scaling.column_weights.data(), reinterpret_cast<uint8_t*>(line.data()), width * 4);
    return line.data();
}

// Pixels of four bytes, 8-bit channels: what the one pass below writes.
bool surface_fits(const SDL_Surface* surface)
{
    const SDL_PixelFormat* format = surface->format;
    return format->BytesPerPixel == 4 && format->Rloss == 0 && format->Gloss == 0 && format->Bloss == 0 &&
           (format->Amask == 0 || format->Aloss == 0);
}

// The frame converted and scaled into the window's surface in one pass: black bars only
// when the surface is new or spoilt (the surface keeps its pixels between presents).
// False when the surface is lost or of a kind the pass does not write.
bool present_to_surface(SdlScreen* screen, const uint8_t* frame)
{
    SDL_Surface* surface = SDL_GetWindowSurface(screen->window);
    if (!surface || !surface_fits(surface)) return false;
    if (surface != screen->surface || surface->w != screen->surface_width || surface->h != screen->surface_height ||
        surface->pitch != screen->surface_pitch || surface->format->format != screen->surface_format) {
        screen->surface = surface;
        screen->surface_width = surface->w;
        screen->surface_height = surface->h;
        screen->surface_pitch = surface->pitch;
        screen->surface_format = surface->format->format;
        screen->surface_dirty = true;
    }
    SDL_Rect area = sdl_screen_picture_area(surface->w, surface->h);
    if (area.w <= 0 || area.h <= 0) return false;
    if (scaling.width != area.w || scaling.height != area.h) make_taps(area.w, area.h);
    for (int i = 0; i < 256; i++) {
        uint32_t argb = screen->palette[i];
        scaling.colours[i] = SDL_MapRGB(surface->format, static_cast<Uint8>(argb >> 16), static_cast<Uint8>(argb >> 8),
                                        static_cast<Uint8>(argb));
    }
    scaling.line_row[0] = scaling.line_row[1] = -1;
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return false;
    if (screen->surface_dirty) {
        SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
        screen->surface_dirty = false;
    }
    for (int y = 0; y < area.h; y++) {
        const SdlScreenTap& tap = scaling.rows[y];
        auto* out = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(surface->pixels) +
                                                static_cast<ptrdiff_t>(area.y + y) * surface->pitch) +
                    area.x;
        const uint32_t* upper = scaled_line(frame, tap.first);
        if (tap.weight == 0) {
            std::memcpy(out, upper, static_cast<size_t>(area.w) * sizeof *out);
        } else {
            const uint32_t* lower = scaled_line(frame, tap.second);
            mix_rows(reinterpret_cast<const uint8_t*>(upper), reinterpret_cast<const uint8_t*>(lower),
                     static_cast<unsigned>(tap.weight), reinterpret_cast<uint8_t*>(out), static_cast<size_t>(area.w) * 4);
        }
    }
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    if (SDL_UpdateWindowSurface(screen->window) != 0) {
        screen->surface_dirty = true;
        return false;
    }
    screen->presents++;
    return true;
}

// The frame repeated factor times in the render target, made (or remade at a new
// factor) as needed; false where the renderer cannot draw into a texture.
bool draw_upscaled(SdlScreen* screen, int factor)
{
    if (screen->upscaled && screen->upscaled_factor != factor) {
        SDL_DestroyTexture(screen->upscaled);
        screen->upscaled = nullptr;
    }
    if (!screen->upscaled) {
        screen->upscaled = SDL_CreateTexture(screen->renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET,
                                             PLATFORM_SCREEN_WIDTH * factor, PLATFORM_SCREEN_HEIGHT * factor);
        if (!screen->upscaled) return false;
        screen->upscaled_factor = factor;
        SDL_SetTextureScaleMode(screen->upscaled, SDL_ScaleModeLinear);
    }
    if (SDL_SetRenderTarget(screen->renderer, screen->upscaled) != 0) return false;
    SDL_SetTextureScaleMode(screen->texture, SDL_ScaleModeNearest);
    bool drawn = SDL_RenderCopy(screen->renderer, screen->texture, nullptr, nullptr) == 0;
    return SDL_SetRenderTarget(screen->renderer, nullptr) == 0 && drawn;
}

}  // namespace

bool sdl_screen_present(SdlScreen* screen, const uint8_t* frame)
{
    if (!screen->renderer || !screen->texture || !screen->window) return false;
    if (screen->software && present_to_surface(screen, frame)) return true;
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(screen->texture, nullptr, &pixels, &pitch) != 0) return false;
    // The one palette conversion of the frame.
    for (int y = 0; y < PLATFORM_SCREEN_HEIGHT; y++) {
        uint32_t* out = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(pixels) + static_cast<ptrdiff_t>(y) * pitch);
        const uint8_t* in = frame + y * PLATFORM_SCREEN_WIDTH;
        for (int x = 0; x < PLATFORM_SCREEN_WIDTH; x++) out[x] = screen->palette[in[x]];
    }
    SDL_UnlockTexture(screen->texture);
    // The scaling below addresses whole output pixels: SDL's own logical-size scaling
    // (which rounds each frame pixel to 1, 2 or 3 of them) stays off.
    int logical_width = 0, logical_height = 0;
    SDL_RenderGetLogicalSize(screen->renderer, &logical_width, &logical_height);
    if (logical_width != 0 || logical_height != 0) SDL_RenderSetLogicalSize(screen->renderer, 0, 0);
    int output_width = 0, output_height = 0;
    if (SDL_GetRendererOutputSize(screen->renderer, &output_width, &output_height) != 0) return false;
    SDL_Rect area = sdl_screen_picture_area(output_width, output_height);
    int factor = sdl_screen_upscale_factor(area.w, area.h);
    SDL_Texture* shown = screen->texture;
    SDL_SetTextureScaleMode(screen->texture, factor == 1 ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
    // Without render targets the frame is still shown, its pixels merely repeated.
    if (factor > 1 && draw_upscaled(screen, factor)) shown = screen->upscaled;
    SDL_SetRenderDrawColor(screen->renderer, 0, 0, 0, 255);
    if (SDL_RenderClear(screen->renderer) != 0) return false;
    if (SDL_RenderCopy(screen->renderer, shown, nullptr, &area) != 0) return false;
    SDL_RenderPresent(screen->renderer);
    screen->presents++;
    return true;
}

void sdl_screen_destroy_texture(SdlScreen* screen)
{
    if (screen->upscaled) SDL_DestroyTexture(screen->upscaled);
    screen->upscaled = nullptr;
    screen->upscaled_factor = 0;
    if (screen->texture) SDL_DestroyTexture(screen->texture);
    screen->texture = nullptr;
    // Restored after a reset: the bars are drawn again too.
    screen->surface_dirty = true;
}

void sdl_screen_destroy_renderer(SdlScreen* screen)
{
    sdl_screen_destroy_texture(screen);
    if (screen->renderer) SDL_DestroyRenderer(screen->renderer);
    screen->renderer = nullptr;
    SDL_DelEventWatch(note_window_change, screen);
    screen->software = false;
    screen->surface = nullptr;
}
