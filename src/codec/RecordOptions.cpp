#include "RecordOptions.h"

#include <algorithm>
#include <charconv>
#include <cstdint>  // UINT64_C, which libavutil's headers need in C++
#include <cstdlib>

extern "C" {
#include <libavfilter/avfilter.h>
}

namespace flashx {
namespace {

bool ParseInt(const std::string& text, int low, int high, int* out) {
    int value = 0;
    const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (status != std::errc() || end != text.data() + text.size() || value < low || value > high) {
        return false;
    }
    *out = value;
    return true;
}

bool ParseSize(const std::string& text, int* width, int* height) {
    const size_t x = text.find('x');
    return x != std::string::npos && ParseInt(text.substr(0, x), 2, 8192, width) &&
           ParseInt(text.substr(x + 1), 2, 8192, height) && *width % 2 == 0 && *height % 2 == 0;
}

bool ParseInput(const std::string& text, RecordOptions* options) {
    constexpr std::string_view kVideo = "video=";
    constexpr std::string_view kAudio = ":audio=";
    if (text.compare(0, kVideo.size(), kVideo) != 0) {
        return false;
    }
    const size_t audio = text.find(kAudio);
    options->videoDevice = text.substr(
        kVideo.size(), audio == std::string::npos ? std::string::npos : audio - kVideo.size());
    options->audioDevice = audio == std::string::npos ? "" : text.substr(audio + kAudio.size());
    return !options->videoDevice.empty();
}

// The value of x264 option `key` (spelt with '-') in "a=1:b_c=2", where '_' may stand for '-'.
std::string X264Option(const std::string& options, const std::string& key) {
    std::string value;
    size_t begin = 0;
    while (begin <= options.size()) {
        const size_t end = std::min(options.find(':', begin), options.size());
        const std::string item = options.substr(begin, end - begin);
        const size_t equals = item.find('=');
        std::string name = item.substr(0, equals);
        std::replace(name.begin(), name.end(), '_', '-');
        if (name == key) {
            value = equals == std::string::npos ? "" : item.substr(equals + 1);
        }
        begin = end + 1;
    }
    return value;
}

}  // namespace

std::string X264Params(const std::string& x264Options) {
    std::string params = "sliced-threads=1";
    if (X264Option(x264Options, "rc-lookahead") == "0" &&
        X264Option(x264Options, "b-adapt") == "2") {
        params += ":b-adapt=1";
    }
    return params;
}

long ParseBitrate(const std::string& text) {
    long value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, status] = std::from_chars(text.data(), end, value);
    if (status != std::errc() || value <= 0) {
        return -1;
    }
    long scale = 1;
    if (stop + 1 == end && (*stop == 'k' || *stop == 'K')) {
        scale = 1000;
    } else if (stop + 1 == end && *stop == 'M') {
        scale = 1000000;
    } else if (stop != end) {
        return -1;
    }
    return value <= 1000000000L / scale ? value * scale : -1;
}

std::string KnownFilters(const std::string& chain, std::vector<std::string>* skipped) {
    std::string kept;
    size_t start = 0;
    while (start <= chain.size()) {
        size_t comma = chain.find(',', start);
        if (comma == std::string::npos) {
            comma = chain.size();
        }
        const std::string element = chain.substr(start, comma - start);
        const std::string name = element.substr(0, element.find_first_of("=@"));
        if (!element.empty()) {
            if (avfilter_get_by_name(name.c_str()) != nullptr) {
                kept += (kept.empty() ? "" : ",") + element;
            } else {
                skipped->push_back(name);
            }
        }
        start = comma + 1;
    }
    return kept;
}

bool ParseRecordOptions(const std::vector<std::string>& args, RecordOptions* options,
                        std::string* error) {
    bool haveInput = false;
    size_t i = 0;
    // Every option but "-y" takes one value.
    auto value = [&](const std::string& option, std::string* out) {
        if (i + 1 >= args.size()) {
            *error = "option " + option + " needs a value";
            return false;
        }
        *out = args[++i];
        return true;
    };
    auto bad = [&](const std::string& option, const std::string& text) {
        *error = "invalid value \"" + text + "\" for option " + option;
        return false;
    };
    for (; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (option.empty() || option[0] != '-') {
            if (i + 1 != args.size()) {
                *error = "unexpected argument \"" + option + "\"";
                return false;
            }
            options->output = option;
            break;
        }
        if (option == "-y") {
            options->overwrite = true;
            continue;
        }
        std::string text;
        if (!value(option, &text)) {
            return false;
        }
        if (option == "-f") {
            // Before "-i" the device pair, after it the output container.
            if (text != (haveInput ? "mp4" : "dshow")) {
                *error = "format \"" + text + "\" is not supported " +
                         (haveInput ? "for the output" : "for the input");
                return false;
            }
        } else if (option == "-i") {
            if (haveInput || !ParseInput(text, options)) {
                return bad(option, text);
            }
            haveInput = true;
        } else if (option == "-vsync") {
            const std::string names[] = {"passthrough", "cfr", "vfr"};
            int mode = -1;
            for (int n = 0; n < 3; ++n) {
                if (text == names[n]) {
                    mode = n;
                }
            }
            if (mode < 0 && !ParseInt(text, 0, 2, &mode)) {
                return bad(option, text);
            }
            options->vsync = mode;
        } else if (option == "-async") {
            if (!ParseInt(text, 0, 1000000, &options->async)) {
                return bad(option, text);
            }
        } else if (option == "-vf") {
            options->videoFilters = text;
        } else if (option == "-vcodec") {
            options->videoCodec = text;
        } else if (option == "-acodec") {
            options->audioCodec = text;
        } else if (option == "-profile") {
            options->profile = text;
        } else if (option == "-x264opts") {
            options->x264Options = text;
        } else if (option == "-r") {
            if (!ParseInt(text, 1, 240, &options->frameRate)) {
                return bad(option, text);
            }
        } else if (option == "-s") {
            if (!ParseSize(text, &options->width, &options->height)) {
                return bad(option, text);
            }
        } else if (option == "-b") {
            if ((options->videoBitrate = ParseBitrate(text)) < 0) {
                return bad(option, text);
            }
        } else if (option == "-ab") {
            if ((options->audioBitrate = ParseBitrate(text)) < 0) {
                return bad(option, text);
            }
        } else if (option == "-ac") {
            if (!ParseInt(text, 1, 2, &options->channels)) {
                return bad(option, text);
            }
        } else if (option == "-ar") {
            if (!ParseInt(text, 8000, 96000, &options->sampleRate)) {
                return bad(option, text);
            }
        } else {
            *error = "unknown option " + option;
            return false;
        }
    }
    if (!haveInput) {
        *error = "no input given (-i)";
        return false;
    }
    if (options->output.empty()) {
        *error = "no output file given";
        return false;
    }
    return true;
}

}  // namespace flashx
