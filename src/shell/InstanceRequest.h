#pragma once
// What a later start asks the running copy through the single-instance channel: one line of a
// keyword and its arguments, answered by one line. "show" brings the main window forward (what
// every start asks); "effect N" plays the pad's effect N. A keyword the running copy does not know
// is answered "unknown", so that a newer start talking to an older copy can say so.

#include <optional>
#include <string>
#include <string_view>

namespace zavreo {

// Longest request line a running copy reads; a longer one is dropped with its connection.
inline constexpr std::size_t kMaxRequestLine = 256;

struct InstanceRequest {
    enum class Kind { kShow, kEffect, kUnknown };
    Kind kind = Kind::kUnknown;
    int effect = 0;  // 1 to 9 with kEffect
};

// The replies.
inline constexpr char kReplyDone[] = "ok";
inline constexpr char kReplyFailed[] = "failed";      // understood, could not be done
inline constexpr char kReplyNotReady[] = "starting";  // the running copy is still starting
inline constexpr char kReplyUnknown[] = "unknown";

// The lines sent, line feed included.
std::string ShowRequestLine();
std::string EffectRequestLine(int number);

// What a later start heard back: whether a running copy took the connection, and its reply line
// (none when it did not answer in time).
struct ChannelReply {
    bool reached = false;
    std::optional<std::string> line;
};

// What `zavreo --effect N` reports for a reply: exit status 0 and no message when the effect
// started, else 1 and a line for standard error.
struct EffectOutcome {
    int exitCode = 1;
    std::string message;
};
EffectOutcome EffectRequestOutcome(int number, const ChannelReply& reply);

// One line without its line feed. An effect number out of 1..9 or anything after it makes the
// request unknown.
InstanceRequest ParseInstanceRequest(std::string_view line);

}  // namespace zavreo
