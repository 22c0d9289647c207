#pragma once
// The sound-effect request a later start sends the running copy through the single-instance
// channel (SingleInstance): the line "effect N", answered "ok" when effect N started, "failed"
// when it could not. A copy that does not act on it (still starting, or a version without it)
// answers nothing.

#include <string>
#include <string_view>

namespace zavreo {

inline constexpr char kEffectDone[] = "ok";
inline constexpr char kEffectFailed[] = "failed";

// The request line, without its line feed.
std::string EffectRequestLine(int number);

// The effect number (1 to 9) a request line asks for; 0 for any other line.
int RequestedEffect(std::string_view line);

// What a later start heard back: whether a running copy took the request, and its answer.
struct ChannelReply {
    bool reached = false;
    std::string answer;
};

// What `zavreo --effect N` reports: exit status 0 and no message when the effect started, else
// 1 and a line for standard error.
struct EffectOutcome {
    int exitCode = 1;
    std::string message;
};
EffectOutcome EffectRequestOutcome(int number, const ChannelReply& reply);

}  // namespace zavreo
