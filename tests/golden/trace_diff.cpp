// Compares a replay's trace with its golden trace and names the first difference: the
// line, the frame and the field, so a changed frame reads as "frame 412: frame_crc32".
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

using nlohmann::json;

namespace {

bool read_lines(const char* path, std::vector<std::string>* lines)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    for (std::string line; std::getline(in, line);) lines->push_back(line);
    return !in.bad();
}

// The path of the first value that differs between a and b ("entities[0][2]"), or ""
// when they are equal. Object keys are compared in the golden record's order.
std::string first_difference(const json& a, const json& b, const std::string& path)
{
    if (a.type() != b.type()) return path.empty() ? "(record)" : path;
    if (a.is_object()) {
        for (auto it = a.begin(); it != a.end(); ++it) {
            std::string sub = path.empty() ? it.key() : path + "." + it.key();
            if (!b.contains(it.key())) return sub;
            std::string d = first_difference(it.value(), b.at(it.key()), sub);
            if (!d.empty()) return d;
        }
        for (auto it = b.begin(); it != b.end(); ++it) {
            if (!a.contains(it.key())) return path.empty() ? it.key() : path + "." + it.key();
        }
        return "";
    }
    if (a.is_array()) {
        for (size_t k = 0; k < a.size() && k < b.size(); k++) {
            std::string d = first_difference(a[k], b[k], path + "[" + std::to_string(k) + "]");
            if (!d.empty()) return d;
        }
        if (a.size() != b.size()) return path + " (length " + std::to_string(a.size()) + " against " +
                                          std::to_string(b.size()) + ")";
        return "";
    }
    return a == b ? "" : (path.empty() ? "(record)" : path);
}

// The value at a path found by first_difference, printed for the message.
std::string value_at(const json& record, const std::string& path)
{
    const json* v = &record;
    size_t i = 0;
    while (i < path.size() && v != nullptr) {
        if (path[i] == '[') {
            size_t end = path.find(']', i);
            size_t k = std::stoul(path.substr(i + 1, end - i - 1));
            v = v->is_array() && k < v->size() ? &(*v)[k] : nullptr;
            i = end + 1;
        } else if (path[i] == ' ') {
            break;
        } else {
            if (path[i] == '.') i++;
            size_t end = path.find_first_of(".[ ", i);
            if (end == std::string::npos) end = path.size();
            std::string key = path.substr(i, end - i);
            v = v->is_object() && v->contains(key) ? &v->at(key) : nullptr;
            i = end;
        }
    }
    return v == nullptr ? "(none)" : v->dump();
}

std::string where(const json& record, size_t line)
{
    std::string at = "line " + std::to_string(line + 1);
    if (record.is_object() && record.contains("frame")) at += ", frame " + record["frame"].dump();
    return at;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: trace_diff GOLDEN TRACE\n");
        return 2;
    }
    std::vector<std::string> golden, trace;
    if (!read_lines(argv[1], &golden)) {
        std::fprintf(stderr, "trace_diff: cannot read the golden trace %s\n", argv[1]);
        return 2;
    }
    if (!read_lines(argv[2], &trace)) {
        std::fprintf(stderr, "trace_diff: cannot read the trace %s\n", argv[2]);
        return 2;
    }
    for (size_t i = 0; i < golden.size() || i < trace.size(); i++) {
        if (i >= trace.size()) {
            json g = json::parse(golden[i], nullptr, false);
            std::printf("%s: the trace ends here; the golden trace has %zu lines, the trace %zu\n",
                        where(g, i).c_str(), golden.size(), trace.size());
            return 1;
        }
        if (i >= golden.size()) {
            json t = json::parse(trace[i], nullptr, false);
            std::printf("%s: the golden trace ends here; the golden trace has %zu lines, the trace %zu\n",
                        where(t, i).c_str(), golden.size(), trace.size());
            return 1;
        }
        if (golden[i] == trace[i]) continue;
        json g = json::parse(golden[i], nullptr, false);
        json t = json::parse(trace[i], nullptr, false);
        std::string field = first_difference(g, t, "");
        if (field.empty()) field = "(the same values, written differently)";
        std::printf("%s: %s differs: golden %s, trace %s\n", where(g, i).c_str(), field.c_str(),
                    value_at(g, field).c_str(), value_at(t, field).c_str());
        std::printf("  golden: %s\n  trace:  %s\n", golden[i].c_str(), trace[i].c_str());
        return 1;
    }
    return 0;
}
