// The replay script format (parsing, writing, and what the scripted platform returns for
// each read), whole-line output, and the trace's string escapes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "common/script/line_output.h"
#include "common/script/script_format.h"
#include "platform/script/script_platform.h"
#include "shell/game.h"
#include "shell/trace.h"

namespace fs = std::filesystem;

namespace {

std::string scratch(const char* name)
{
    return (fs::temp_directory_path() / ("maze_format_" + std::to_string(getpid()) + "_" + name)).string();
}

// The keys held at the next keyboard read, as "ok CODE,CODE," in decimal.
std::string do_read_keys()
{
    uint8_t keys[256] = {};
    if (!platform_read_keyboard(keys)) return "fail";
    std::string held = "ok ";
    for (int code = 0; code < 256; code++)
        if (keys[code] == KEY_HELD) held += std::to_string(code) + ",";
    return held;
}

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(ScriptFormat, ParsesGoodLinesAndNamesTheBadOne)
{
    const char* const cases[][2] = {  // the text, its error (null: accepted)
        {"# comment only\n\n   \n", nullptr},
        {"4294967295 -2147483648 2147483647 LR 01,3E,42,b7\r\n", nullptr},
        {"1 0 0 - 1,A # trailing comment", nullptr},
        {"4294967296 0 0 - -", "script line 1: TICK is not an unsigned 32-bit decimal number"},
        {"-0 0 0 - -", "script line 1: TICK is not an unsigned 32-bit decimal number"},  // no sign, not even on 0
        {"\n1 0 2147483648 - -", "script line 2: DX and DY must be signed 32-bit decimal numbers"},
        {"1 0 0 RL -", "script line 1: BUTTONS must be -, L, R or LR"},
        {"1 0 0 - 100", "script line 1: KEYS must be - or comma-separated hex scan codes 00..FF"},
        {"1 0 0 - 01,", "script line 1: KEYS must be - or comma-separated hex scan codes 00..FF"},
        {"1 0 0 -", "script line 1: expected five fields: TICK DX DY BUTTONS KEYS"},
        // The recording's fields and directives.
        {"1 0 0 - - cal=-9223372036854775808 fail=KM\n2 0 0 - - fail=M cal=0", nullptr},
        {"1 0 0 - - -", "script line 1: unknown field after KEYS (expected cal=SECONDS or fail=K|M|KM)"},
        {"1 0 0 - - fail=MK", "script line 1: fail= must be K, M or KM"},
        {"1 0 0 - - fail=K fail=M", "script line 1: fail= given twice"},
        {"1 0 0 - - cal=1 cal=1", "script line 1: cal= given twice"},
        {"1 0 0 - - cal=9223372036854775808", "script line 1: cal= needs a signed 64-bit decimal number"},
        {"ticks 0..4294967295 7 7 6\ncalendar -1 9223372036854775807\noptions\n1 0 0 - -", nullptr},
        {"ticks", "script line 1: ticks needs at least one value"},
        {"ticks 5..4", "script line 1: ticks takes unsigned 32-bit values V or runs A..B with A <= B"},
        {"ticks 4294967296", "script line 1: ticks takes unsigned 32-bit values V or runs A..B with A <= B"},
        {"calendar", "script line 1: calendar needs at least one value"},
        {"calendar 1.5", "script line 1: calendar takes signed 64-bit decimal numbers"},
        {"1 0 0 - -\noptions --level 2", "script line 2: options must come before the first frame"},
        {"options --play a%2", "script line 1: options: % must be followed by two hex digits"},
        {"tick 5", "script line 1: unknown directive (expected a frame line, ticks, calendar or options)"},
        {"options --solid\noptions --level 2", "script line 2: options given twice"},
        // strtoll passes over any white space; a number here starts with its digits.
        {"\v1 0 0 - -", "script line 1: TICK is not an unsigned 32-bit decimal number"},
        {"1 \f2 0 - -", "script line 1: DX and DY must be signed 32-bit decimal numbers"},
        {"1 0 0 - - cal=\v5", "script line 1: cal= needs a signed 64-bit decimal number"},
        {"ticks \f5", "script line 1: ticks takes unsigned 32-bit values V or runs A..B with A <= B"},
        {"1 +2 -3 - -", nullptr},
        {"\xEF\xBB\xBF# a byte-order mark first\n1 0 0 - -", nullptr},
        {"\xEF\xBB\xBF\xEF\xBB\xBF" "1 0 0 - -", "script line 1: TICK is not an unsigned 32-bit decimal number"},
    };
    for (auto [text, expected] : cases) {
        char error[128] = "";
        Script script;
        EXPECT_EQ(parse_script(text, std::strlen(text), &script, error, sizeof error), expected == nullptr) << text;
        EXPECT_STREQ(error, expected ? expected : "") << text;
    }
}

TEST(ScriptFormat, NotesACutLastLineAndTheOptionsLine)
{
    const struct {
        const char* name;
        const char* text;
        int unended_line, options_line;
    } cases[] = {
        {"whole", "options --solid\n1 0 0 - -\n", 0, 1},
        {"cut inside a frame", "\n\noptions --solid\n1 0 0 - -\n2 0 0 - 3", 5, 3},
        {"cut inside a directive", "1 0 0 - -\nticks 17", 2, 0},
        {"cut inside a comment", "1 0 0 - -\n# the e", 0, 0},
        {"blank after the last newline", "1 0 0 - -\n  \t", 0, 0},
        {"one cut line", "1 0 0 - -", 1, 0},
        {"empty", "", 0, 0},
    };
    for (const auto& c : cases) {
        Script script;
        char error[128] = "";
        ASSERT_TRUE(parse_script(c.text, std::strlen(c.text), &script, error, sizeof error)) << c.name << ": " << error;
        EXPECT_EQ(script.unended_line, c.unended_line) << c.name;
        EXPECT_EQ(script.options_line, c.options_line) << c.name;
    }
    // Taken over, not copied: the platform replays it and the caller's copy is empty.
    Script script;
    ASSERT_TRUE(parse_script("1 0 0 - 19\n", 11, &script, nullptr, 0));
    script_reset();
    script_take(&script);
    EXPECT_TRUE(script.frames.empty());
    EXPECT_EQ(do_read_keys(), "ok 25,");
}

// What each read returns, in the order a run makes them: "tick" and "cal" outside or
// inside frames, "key" (begins a frame), "mouse", "flip" (ends it), "last" (the last tick).
std::string do_read(const std::string& what)
{
    if (what == "tick") return std::to_string(platform_ticks());
    if (what == "cal") return std::to_string(platform_calendar_seconds());
    if (what == "last") return std::to_string(platform_last_tick());
    if (what == "flip") return std::to_string(platform_flip());
    if (what == "key") {
        uint8_t keys[256];
        std::fill(std::begin(keys), std::end(keys), 0x11);
        if (!platform_read_keyboard(keys)) return "fail" + std::to_string(keys[1]);
        std::string held;
        for (int code = 0; code < 256; code++) {
            if (keys[code] == KEY_HELD) held += std::to_string(code) + ",";
            else if (keys[code] != 0) return "bad state";
        }
        return "ok " + held;
    }
    int32_t dx = 5, dy = 5;
    uint8_t buttons[2] = {9, 9};
    if (!platform_read_mouse(&dx, &dy, buttons)) return "fail " + std::to_string(dx) + std::to_string(buttons[0]);
    return "ok " + std::to_string(dx) + " " + std::to_string(dy) + " " + std::to_string(buttons[0]) + " " +
           std::to_string(buttons[1]);
}

TEST(ScriptPlatform, EachReadReturnsWhatTheScriptGivesInOrder)
{
    struct Case {
        const char* name;
        const char* script;
        std::vector<std::pair<std::string, std::string>> reads;  // read, result
    } cases[] = {
        {"no directives: the old rules",
         "100 1 2 L 01\n",
         {{"tick", "1"}, {"tick", "2"}, {"cal", "1000000000"}, {"key", "ok 1,"}, {"tick", "100"}, {"last", "100"},
          {"cal", "1000000000"}, {"mouse", "ok 1 2 128 0"}, {"mouse", "ok 0 0 128 0"}, {"flip", "0"}}},
        {"reads outside frames from the gap before the frame, then the old rules",
         "ticks 500 700..702\ncalendar 42 -3\n2500 1 2 L 01 cal=7\nticks 9\n200 0 0 - 3E fail=K\n300 3 4 R - fail=M\n",
         {{"tick", "500"}, {"tick", "700"}, {"cal", "42"}, {"tick", "701"}, {"tick", "702"}, {"tick", "703"},
          {"cal", "-3"}, {"cal", "1000000000"},
          {"key", "ok 1,"}, {"tick", "2500"}, {"cal", "7"}, {"cal", "7"}, {"mouse", "ok 1 2 128 0"}, {"flip", "0"},
          {"tick", "9"}, {"tick", "10"}, {"cal", "1000000000"},
          // fail=K: the keys are not delivered, the buffer stays; the frame's values hold.
          {"key", "fail17"}, {"tick", "200"}, {"last", "200"}, {"mouse", "ok 0 0 0 0"}, {"flip", "0"},
          {"tick", "201"},  // no ticks directive before this frame
          {"key", "ok "}, {"mouse", "fail 59"}, {"mouse", "fail 59"}, {"cal", "1000000000"}, {"flip", "0"},
          // Past the end: ten milliseconds on, Escape held, the old rules outside frames.
          {"tick", "301"}, {"key", "ok 1,"}, {"tick", "310"}, {"flip", "0"}, {"tick", "311"}}},
        {"unused values are dropped at the next frame",
         "ticks 50 60\ncalendar 8 9\n1000 0 0 - -\n",
         {{"tick", "50"}, {"cal", "8"}, {"key", "ok "}, {"flip", "0"}, {"tick", "1001"}, {"cal", "1000000001"}}},
    };
    for (const Case& c : cases) {
        script_reset();
        char error[128] = "";
        ASSERT_TRUE(script_load_text(c.script, error, sizeof error)) << c.name << ": " << error;
        int step = 0;
        for (const auto& [read, expected] : c.reads) EXPECT_EQ(do_read(read), expected) << c.name << " step " << step++;
    }
}

TEST(ScriptFormat, WrittenLinesReadBackTheSame)
{
    ScriptFrame first = {.tick = 4294967295u, .dx = INT32_MIN, .dy = INT32_MAX, .left = true, .right = true, .held = {},
                         .keyboard_fails = true, .mouse_fails = true, .calendar_given = true, .calendar = INT64_MIN};
    for (unsigned code : {0x00u, 0x3Eu, 0xFFu}) hold_script_key(&first, code);
    ScriptFrame second = {};
    second.tick = 7;
    second.right = second.mouse_fails = true;
    const ScriptTickRun runs[] = {{0, 4294967296ull}, {12, 1}, {12, 2}};
    const int64_t calendar[] = {INT64_MAX, -1};
    const std::vector<std::string> options = {"--play", "my level#1 100%.lvx", "\x01\xC3\xA9", ""};

    std::string one = format_script_frame(first), two = format_script_frame(second);
    EXPECT_EQ(one, "4294967295 -2147483648 2147483647 LR 00,3E,FF cal=-9223372036854775808 fail=KM\n");
    EXPECT_EQ(two, "7 0 0 R - fail=M\n");
    std::string ticks = format_script_ticks(runs, 3), dates = format_script_calendar(calendar, 2);
    EXPECT_EQ(ticks, "ticks 0..4294967295 12 12..13\n");
    EXPECT_EQ(dates, "calendar 9223372036854775807 -1\n");
    std::string words = format_script_options(options);
    EXPECT_EQ(words, "options --play my%20level%231%20100%25.lvx %01%C3%A9 \n");

    std::string text = words + ticks + one + dates + two;
    Script script;
    char error[128] = "";
    ASSERT_TRUE(parse_script(text.data(), text.size(), &script, error, sizeof error)) << error;
    // The empty word is lost: a word needs a character.
    EXPECT_EQ(script.options, std::vector<std::string>(options.begin(), options.end() - 1));
    ASSERT_EQ(script.frames.size(), 2u);
    EXPECT_EQ(format_script_frame(script.frames[0]), one);
    EXPECT_EQ(format_script_frame(script.frames[1]), two);
    ASSERT_EQ(script.gaps.size(), 3u);
    EXPECT_EQ(script.gaps[0].tick_run_count, 3u);
    EXPECT_EQ(script.gaps[1].calendar_count, 2u);
    EXPECT_EQ(format_script_ticks(script.tick_runs.data(), 3), ticks);
    EXPECT_EQ(format_script_calendar(script.calendar_values.data(), 2), dates);
}

TEST(LineOutput, WritesWholeLinesAndReportsAFailureOnce)
{
    std::string path = scratch("lines.txt");
    LineOutput out;
    ASSERT_TRUE(line_output_open(&out, path.c_str(), "the test file"));
    line_output_append(&out, "one\n", 4);
    line_output_tick(&out);  // within the second: kept back
    EXPECT_EQ(slurp(path), "");
    EXPECT_TRUE(line_output_flush(&out));
    line_output_append(&out, "two\n", 4);
    EXPECT_TRUE(line_output_close(&out));
    EXPECT_EQ(slurp(path), "one\ntwo\n");
    fs::remove(path);
    EXPECT_FALSE(line_output_open(&out, (path + "/no/such/dir").c_str(), "x"));

    ASSERT_TRUE(line_output_open(&out, "/dev/full", "the full disk"));
    ::testing::internal::CaptureStderr();
    line_output_append(&out, "lost\n", 5);
    EXPECT_FALSE(line_output_flush(&out));
    line_output_append(&out, "also lost\n", 10);
    EXPECT_FALSE(line_output_flush(&out));
    EXPECT_FALSE(line_output_close(&out));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "the full disk could not be written (No space left on device); nothing more goes into it\n");
}

TEST(LineOutput, EmptiesAFileOnlyAtItsStartAndRemovesOnlyWhatItMade)
{
    const struct {
        const char* name;
        bool existed, start;  // the file was there before; the output started (else discarded)
        const char* left;     // what is left in the file, null: no file
    } cases[] = {
        {"kept until the start", true, false, "old\n"},
        {"emptied at the start", true, true, "new\n"},
        {"made, then discarded", false, false, nullptr},
        {"made and started", false, true, "new\n"},
    };
    for (const auto& c : cases) {
        std::string path = scratch("start.txt");
        fs::remove(path);
        if (c.existed) std::ofstream(path) << "old\n";
        LineOutput out;
        ASSERT_TRUE(line_output_open(&out, path.c_str(), "x")) << c.name;
        EXPECT_EQ(slurp(path), c.existed ? "old\n" : "") << c.name;
        EXPECT_TRUE(line_output_is_file(&out, path.c_str())) << c.name;
        if (c.start) {
            line_output_start(&out);
            line_output_append(&out, "new\n", 4);
            EXPECT_TRUE(line_output_close(&out)) << c.name;
        } else {
            line_output_discard(&out, path.c_str());
        }
        EXPECT_EQ(fs::exists(path), c.left != nullptr) << c.name;
        if (c.left) {
            EXPECT_EQ(slurp(path), c.left) << c.name;
        }
        fs::remove(path);
    }
    LineOutput a, b;
    ASSERT_TRUE(line_output_open(&a, "-", "a"));
    ASSERT_TRUE(line_output_open(&b, "/dev/stdout", "b"));
    EXPECT_TRUE(line_output_same(&a, &b));  // one stream under two names
    line_output_discard(&b, "/dev/stdout");
}

TEST(LineOutput, SaysOnceWhenItsFileIsRemoved)
{
    fs::path folder = scratch("folder");
    fs::create_directories(folder);
    std::string path = (folder / "r.script").string();
    LineOutput out;
    ASSERT_TRUE(line_output_open(&out, path.c_str(), "the recording"));
    line_output_append(&out, "one\n", 4);
    EXPECT_TRUE(line_output_flush(&out));
    fs::remove_all(folder);
    ::testing::internal::CaptureStderr();
    line_output_append(&out, "two\n", 4);
    EXPECT_FALSE(line_output_flush(&out));
    line_output_append(&out, "three\n", 6);
    EXPECT_FALSE(line_output_close(&out));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "the recording was removed (its folder with it?); what is written from here on is lost\n");
}

TEST(Trace, WritesAMessageBoxAndAClosingPresentAtOnce)
{
    const struct {
        const char* name;
        bool closing;  // a closing message's present, else a message box
        const char* line_start;
    } cases[] = {
        {"message box", false, "{\"message_box\":"},
        {"closing present", true, "{\"frame\":0,"},
    };
    static uint8_t frame[PLATFORM_FRAME_BYTES];
    for (const auto& c : cases) {
        std::string path = scratch("flushed.jsonl");
        ASSERT_TRUE(trace_open(path.c_str(), "the trace"));
        trace_start();
        if (c.closing) {
            closing_message_active = true;
            trace_present(frame);
            closing_message_active = false;
        } else {
            trace_message_box("text", "caption");
        }
        // Read before the close: what a kill during the wait that follows would leave.
        std::string written = slurp(path);
        EXPECT_TRUE(written.starts_with(c.line_start) && written.ends_with("}\n")) << c.name << ": " << written;
        EXPECT_TRUE(trace_close(0)) << c.name;
        fs::remove(path);
    }
}

TEST(Trace, StringsKeepControlCharactersAsEscapes)
{
    std::string path = scratch("trace.jsonl");
    ASSERT_TRUE(trace_open(path.c_str(), "the test trace"));
    trace_start();
    const std::string text = "a\tb\x01\x1f\"q\"\\ \xC3\xA9 \x7F";
    trace_message_box(text.c_str(), "cap\n");
    EXPECT_TRUE(trace_close(3));
    std::string written = slurp(path);
    fs::remove(path);
    EXPECT_EQ(written, "{\"message_box\":{\"caption\":\"cap\\u000a\",\"text\":\"a\\u0009b\\u0001\\u001f\\\"q\\\"\\\\ "
                       "\xC3\xA9 \x7F\"}}\n{\"exit\":3,\"frames\":0}\n");
    nlohmann::json box = nlohmann::json::parse(written.substr(0, written.find('\n')));
    EXPECT_EQ(box["message_box"]["text"], text);
    EXPECT_EQ(box["message_box"]["caption"], "cap\n");
}

}  // namespace
