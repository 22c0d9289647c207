#pragma once
// The recorder's argument list, read as a command-line encoder reads it: options before "-i"
// describe the input, the rest the output, the last argument is the output file.

#include <string>
#include <vector>

namespace flashx {

struct RecordOptions {
    // "-i video=NAME:audio=NAME"; the audio name may be empty.
    std::string videoDevice;
    std::string audioDevice;
    // "-vsync": 0 passthrough, 1 constant rate (missed ticks repeat the last picture), 2
    // variable rate (missed ticks are dropped).
    int vsync = 1;
    // "-async": 0 leaves the audio where it starts, 1 or more lines its start up with the clock.
    int async = 0;
    std::string videoFilters;
    std::string videoCodec = "libx264";
    std::string profile;
    std::string x264Options;
    int frameRate = 25;
    int width = 0;
    int height = 0;
    long videoBitrate = 0;
    std::string audioCodec = "aac";
    int channels = 2;
    int sampleRate = 44100;
    long audioBitrate = 0;
    bool overwrite = false;
    std::string output;
};

// Reads `args`; false with a message in `error` for an unknown option, a missing or malformed
// value, an input or output format this library does not write, or no output file.
bool ParseRecordOptions(const std::vector<std::string>& args, RecordOptions* options,
                        std::string* error);

// "500k" -> 500000, "2M" -> 2000000, "32000" -> 32000; -1 when malformed.
long ParseBitrate(const std::string& text);

// The settings the recorder gives libx264 after the user's x264 options ("a=1:b_c=2"). Slice
// threads: frame threads hold several pictures back, which a crash would lose. Where the options
// ask for no look-ahead ("rc-lookahead=0"), the fast B-frame decision in place of the trellis
// ("b-adapt=2"), which always waits for twelve more pictures before it lets one out: 1.2 s at
// ten a second before the start of a recording reaches the file, and lost in a crash.
std::string X264Params(const std::string& x264Options);

// The elements of a filter chain ("a=1:2,b") whose filter libavfilter knows; each unknown one is
// named in `skipped`.
std::string KnownFilters(const std::string& chain, std::vector<std::string>* skipped);

}  // namespace flashx
