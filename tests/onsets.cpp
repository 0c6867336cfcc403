// Lists the announcements in a raw recording (signed 16-bit little-endian mono) and checks
// them: onsets [--rate R] FILE [--expect-at-least N --interval SECONDS --tolerance SECONDS]
// or onsets FILE --silent. Prints one line per announcement: its start and length in seconds.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {
struct Segment
{
    double start;
    double end;
};
}

int main(int argc, char **argv)
{
    std::string path;
    int rate = 22050;
    int expect = -1;
    double interval = 0;
    double tolerance = 0.15;
    bool silent = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--rate" && i + 1 < argc)
            rate = std::atoi(argv[++i]);
        else if (arg == "--expect-at-least" && i + 1 < argc)
            expect = std::atoi(argv[++i]);
        else if (arg == "--interval" && i + 1 < argc)
            interval = std::atof(argv[++i]);
        else if (arg == "--tolerance" && i + 1 < argc)
            tolerance = std::atof(argv[++i]);
        else if (arg == "--silent")
            silent = true;
        else
            path = arg;
    }
    std::ifstream in(path, std::ios::binary);
    if (path.empty() || !in || rate <= 0) {
        std::fprintf(stderr, "usage: onsets [--rate R] FILE [--expect-at-least N --interval S] [--silent]\n");
        return 2;
    }
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t count = bytes.size() / 2;
    std::vector<std::int16_t> samples(count);
    std::memcpy(samples.data(), bytes.data(), count * 2);

    // Loudness in 10 ms frames; a voice sits far above the sink's digital silence.
    const std::size_t frame = std::size_t(rate) / 100;
    const double threshold = 0.01;
    // A pause inside a spoken number is shorter than this; one between calls is longer.
    const double joined = 0.25;
    std::vector<Segment> segments;
    bool inside = false;
    for (std::size_t at = 0; at + frame <= count; at += frame) {
        double sum = 0;
        for (std::size_t i = at; i < at + frame; ++i)
            sum += double(samples[i]) * samples[i];
        const double rms = std::sqrt(sum / double(frame)) / 32768.0;
        const double t = double(at) / rate;
        if (rms > threshold) {
            if (!inside && !segments.empty() && t - segments.back().end < joined)
                segments.back().end = t + 0.01;
            else if (!inside)
                segments.push_back({t, t + 0.01});
            else
                segments.back().end = t + 0.01;
            inside = true;
        } else {
            inside = false;
        }
    }
    // A sound already playing when the recording started has no onset in it: its first
    // frames (or a syllable after a short pause) would look like one, early or late.
    std::vector<Segment> heard;
    for (const Segment &s : segments)
        if (s.end - s.start >= 0.08 && s.start >= joined)
            heard.push_back(s);
    for (const Segment &s : heard)
        std::printf("%.3f %.3f\n", s.start, s.end - s.start);
    std::printf("%zu announcements in %.2f s\n", heard.size(), double(count) / rate);

    if (silent) {
        if (!segments.empty()) {
            std::printf("FAIL: expected silence\n");
            return 1;
        }
        return 0;
    }
    int failures = 0;
    if (expect >= 0 && int(heard.size()) < expect) {
        std::printf("FAIL: expected at least %d announcements\n", expect);
        ++failures;
    }
    if (interval > 0) {
        for (std::size_t i = 1; i < heard.size(); ++i) {
            const double gap = heard[i].start - heard[i - 1].start;
            if (std::fabs(gap - interval) > tolerance) {
                std::printf("FAIL: announcement %zu came %.3f s after the one before\n", i + 1, gap);
                ++failures;
            }
        }
    }
    return failures == 0 ? 0 : 1;
}
