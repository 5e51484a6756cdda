// The replay script format (parsing, writing, and what the scripted platform returns for
// each read), whole-line output, and the trace's string escapes.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "common/script/line_output.h"
#include "common/script/script_format.h"
#include "platform/platform.h"
#include "platform/script/script_platform.h"
#include "shell/game.h"
#include "shell/trace.h"
#include "shell_test_files.h"

namespace {

// Each text with the reason it is refused, or what a taken one notes: the line cut short
// at the end (text after the last newline), and the line of the options directive.
TEST(ScriptFormat, ParsesGoodLinesNotesCutOnesAndNamesTheBadOne)
{
    const char* const cases[][2] = {
        {"4294967295 -2147483648 2147483647 LR 01,3E,42,b7\r\n", "cut 0 options 0"},
        {"1 0 0 - 1,A # trailing comment", "cut 1 options 0"},
        {"4294967296 0 0 - -", "script line 1: TICK is not an unsigned 32-bit decimal number"},
        {"-0 0 0 - -", "script line 1: TICK is not an unsigned 32-bit decimal number"},  // no sign, not even on 0
        {"\n1 0 2147483648 - -", "script line 2: DX and DY must be signed 32-bit decimal numbers"},
        {"1 0 0 RL -", "script line 1: BUTTONS must be -, L, R or LR"},
        {"1 0 0 - 100", "script line 1: KEYS must be - or comma-separated hex scan codes 00..FF"},
        {"1 0 0 - 01,", "script line 1: KEYS must be - or comma-separated hex scan codes 00..FF"},
        {"1 0 0 -", "script line 1: expected five fields: TICK DX DY BUTTONS KEYS"},
        // The recording's fields and directives.
        {"1 0 0 - - cal=-9223372036854775808 fail=KM\n2 0 0 - - fail=M cal=0", "cut 2 options 0"},
        {"1 0 0 - - -", "script line 1: unknown field after KEYS (expected cal=SECONDS or fail=K|M|KM)"},
        {"1 0 0 - - fail=MK", "script line 1: fail= must be K, M or KM"},
        {"1 0 0 - - fail=K fail=M", "script line 1: fail= given twice"},
        {"1 0 0 - - cal=1 cal=1", "script line 1: cal= given twice"},
        {"1 0 0 - - cal=9223372036854775808", "script line 1: cal= needs a signed 64-bit decimal number"},
        {"ticks 0..4294967295 7 7 6\ncalendar -1 9223372036854775807\n\noptions --solid\n1 0 0 - -\n",
         "cut 0 options 4"},
        {"ticks", "script line 1: ticks needs at least one value"},
        {"ticks 5..4", "script line 1: ticks takes unsigned 32-bit values V or runs A..B with A <= B"},
        {"calendar", "script line 1: calendar needs at least one value"},
        {"calendar 1.5", "script line 1: calendar takes signed 64-bit decimal numbers"},
        {"1 0 0 - -\noptions --level 2", "script line 2: options must come before the first frame"},
        {"options --play a%2", "script line 1: options: % must be followed by two hex digits"},
        {"tick 5", "script line 1: unknown directive (expected a frame line, ticks, calendar or options)"},
        {"options --solid\noptions --level 2", "script line 2: options given twice"},
        // strtoll passes over any white space; a number here starts with its digits.
        {"1 \f2 0 - -", "script line 1: DX and DY must be signed 32-bit decimal numbers"},
        {"1 +2 -3 - -\nticks 17", "cut 2 options 0"},
        {"1 0 0 - -\n# the e", "cut 0 options 0"},
        {"1 0 0 - -\n  \t", "cut 0 options 0"},
        {"", "cut 0 options 0"},
        {"\xEF\xBB\xBF# a byte-order mark first\n1 0 0 - -", "cut 2 options 0"},
        {"\xEF\xBB\xBF\xEF\xBB\xBF" "1 0 0 - -", "script line 1: TICK is not an unsigned 32-bit decimal number"},
    };
    for (auto [text, expected] : cases) {
        char error[128] = "";
        Script script;
        bool taken = parse_script(text, std::strlen(text), &script, error, sizeof error);
        std::string noted =
            "cut " + std::to_string(script.unended_line) + " options " + std::to_string(script.options_line);
        EXPECT_EQ(taken ? noted : error, expected) << text;
    }
}

// What a read returns, in the order a run makes them: "tick" and "cal" outside or inside
// frames, "key" (begins a frame: the codes held), "mouse" (dx,dy,buttons), "flip" (ends
// it), "last" (the last tick). A failed read shows what it left in its outputs.
std::string do_read(const std::string& what)
{
    if (what == "tick") return std::to_string(platform_ticks());
    if (what == "cal") return std::to_string(platform_calendar_seconds());
    if (what == "last") return std::to_string(platform_last_tick());
    if (what == "flip") return std::to_string(platform_flip());
    if (what == "key") {
        uint8_t keys[256];
        std::fill(std::begin(keys), std::end(keys), 0x11);
        if (!platform_read_keyboard(keys)) return "fail:" + std::to_string(keys[1]);
        std::string held = "[";
        for (int code = 0; code < 256; code++) {
            if (keys[code] == KEY_HELD) held += std::to_string(code) + ",";
            else if (keys[code] != 0) return "bad state";
        }
        return held + "]";
    }
    int32_t dx = 5, dy = 5;
    uint8_t b[2] = {9, 9};
    bool read = platform_read_mouse(&dx, &dy, b);
    return (read ? "" : "fail:") + std::to_string(dx) + "," + std::to_string(dy) + "," + std::to_string(b[0]) + "," +
           std::to_string(b[1]);
}

TEST(ScriptPlatform, EachReadReturnsWhatTheScriptGivesInOrder)
{
    // The reads made, each as read=result.
    const struct { const char *name, *script, *reads; } cases[] = {
        {"no directives: the old rules", "100 1 2 L 01\n",
         "tick=1 tick=2 cal=1000000000 key=[1,] tick=100 last=100 cal=1000000000 mouse=1,2,128,0 mouse=0,0,128,0 "
         "flip=0"},
        {"reads outside frames from the gap before the frame, then the old rules",
         "ticks 500 700..702\ncalendar 42 -3\n2500 1 2 L 01 cal=7\nticks 9\n200 0 0 - 3E fail=K\n300 3 4 R - fail=M\n",
         "tick=500 tick=700 cal=42 tick=701 tick=702 tick=703 cal=-3 cal=1000000000 "
         "key=[1,] tick=2500 cal=7 cal=7 mouse=1,2,128,0 flip=0 tick=9 tick=10 cal=1000000000 "
         // fail=K: the keys are not delivered, the buffer stays; the frame's values hold.
         "key=fail:17 tick=200 last=200 mouse=0,0,0,0 flip=0 "
         "tick=201 key=[] mouse=fail:5,5,9,9 mouse=fail:5,5,9,9 cal=1000000000 flip=0 "  // no ticks directive before
         // Past the end: ten milliseconds on, Escape held, the old rules outside frames.
         "tick=301 key=[1,] tick=310 flip=0 tick=311"},
        {"unused values are dropped at the next frame", "ticks 50 60\ncalendar 8 9\n1000 0 0 - -\n",
         "tick=50 cal=8 key=[] flip=0 tick=1001 cal=1000000001"},
    };
    for (const auto& c : cases) {
        script_reset();
        char error[128] = "";
        ASSERT_TRUE(script_load_text(c.script, error, sizeof error)) << c.name << ": " << error;
        std::istringstream reads(c.reads);
        std::string seen;
        for (std::string read; reads >> read;) {
            read.resize(read.find('='));
            seen += (seen.empty() ? "" : " ") + read + "=" + do_read(read);
        }
        EXPECT_EQ(seen, c.reads) << c.name;
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
    const std::string text = format_script_options(options) + format_script_ticks(runs, 3) +
                             format_script_frame(first) + format_script_calendar(calendar, 2) +
                             format_script_frame(second);
    EXPECT_EQ(text,
              "options --play my%20level%231%20100%25.lvx %01%C3%A9 \n"
              "ticks 0..4294967295 12 12..13\n"
              "4294967295 -2147483648 2147483647 LR 00,3E,FF cal=-9223372036854775808 fail=KM\n"
              "calendar 9223372036854775807 -1\n"
              "7 0 0 R - fail=M\n");
    Script script;
    ASSERT_TRUE(parse_script(text.data(), text.size(), &script, nullptr, 0));
    // The empty word is lost: a word needs a character.
    EXPECT_EQ(script.options, std::vector<std::string>(options.begin(), options.end() - 1));
    ASSERT_EQ(script.frames.size(), 2u);
    ASSERT_EQ(script.gaps.size(), 3u);
    EXPECT_EQ(format_script_ticks(script.tick_runs.data(), script.gaps[0].tick_run_count) +
                  format_script_frame(script.frames[0]) +
                  format_script_calendar(script.calendar_values.data(), script.gaps[1].calendar_count) +
                  format_script_frame(script.frames[1]),
              text.substr(text.find('\n') + 1));
}

// Lines are kept back within the second and written whole; a file already there is
// emptied only when the output starts, and one made for an output that never starts goes.
TEST(LineOutput, KeepsLinesBackAndEmptiesOrRemovesOnlyWhatItMay)
{
    Scratch scratch;
    const std::string path = scratch.root + "/old.txt", made = scratch.root + "/made.txt";
    write_file(path, "old\n");
    LineOutput out, discarded;
    ASSERT_TRUE(line_output_open(&out, path.c_str(), "x"));
    ASSERT_TRUE(line_output_open(&discarded, made.c_str(), "y"));
    EXPECT_EQ(read_file(path) + read_file(made), "old\n");
    line_output_discard(&discarded, made.c_str());
    EXPECT_EQ(read_file(made), "<missing>");
    line_output_start(&out);
    line_output_append(&out, "one\n", 4);
    line_output_tick(&out);
    EXPECT_EQ(read_file(path), "");
    EXPECT_TRUE(line_output_flush(&out));
    line_output_append(&out, "two\n", 4);
    EXPECT_TRUE(line_output_close(&out));
    EXPECT_EQ(read_file(path), "one\ntwo\n");
}

// Every string stays one line of JSON, control characters escaped; a message box and a
// closing present are written at once (what a kill during the wait that follows leaves).
TEST(Trace, MessageBoxesAndClosingPresentsAreWrittenAtOnceWithEscapes)
{
    Scratch scratch;
    const std::string path = scratch.root + "/trace.jsonl";
    const std::string box =
        "{\"message_box\":{\"caption\":\"cap\\u000a\",\"text\":\"a\\u0009b\\u0001\\u001f\\\"q\\\"\\\\ "
        "\xC3\xA9 \x7F\"}}\n";
    static uint8_t frame[PLATFORM_FRAME_BYTES];
    ASSERT_TRUE(trace_open(path.c_str(), "the trace"));
    trace_start();
    trace_message_box("a\tb\x01\x1f\"q\"\\ \xC3\xA9 \x7F", "cap\n");
    EXPECT_EQ(read_file(path), box);
    closing_message_active = true;
    trace_present(frame);
    closing_message_active = false;
    const std::string written = read_file(path);
    EXPECT_TRUE(written.starts_with(box + "{\"frame\":0,") && written.ends_with(",\"closing\":true}\n")) << written;
    EXPECT_TRUE(trace_close(3));
    EXPECT_EQ(read_file(path), written + "{\"exit\":3,\"frames\":1}\n");
}

}  // namespace
