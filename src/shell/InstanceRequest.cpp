#include "InstanceRequest.h"

#include "SoundEffectPlayer.h"

namespace zavreo {

std::string ShowRequestLine() {
    return "show\n";
}

std::string EffectRequestLine(int number) {
    return "effect " + std::to_string(number) + "\n";
}

EffectOutcome EffectRequestOutcome(int number, const ChannelReply& reply) {
    const std::string effect = "音效 " + std::to_string(number);
    if (!reply.reached) {
        return {1, "Zavreo直播助手没有在运行，" + effect + "没有播放。\n"};
    }
    if (!reply.line) {
        return {1, "运行中的Zavreo直播助手没有回答，" + effect + "没有播放。\n"};
    }
    if (*reply.line == kReplyDone) {
        return {0, ""};
    }
    if (*reply.line == kReplyFailed) {
        return {1, "运行中的Zavreo直播助手无法播放" + effect + "（音效文件缺失或无法解码）。\n"};
    }
    if (*reply.line == kReplyNotReady) {
        return {1, "Zavreo直播助手还在启动，" + effect + "没有播放，请稍后再试。\n"};
    }
    return {1, "运行中的Zavreo直播助手版本较旧，不支持 --effect，" + effect + "没有播放。\n"};
}

InstanceRequest ParseInstanceRequest(std::string_view line) {
    // A line ending in CR LF reads as the line.
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    InstanceRequest request;
    if (line == "show") {
        request.kind = InstanceRequest::Kind::kShow;
        return request;
    }
    constexpr std::string_view kEffect = "effect ";
    if (line.size() == kEffect.size() + 1 && line.substr(0, kEffect.size()) == kEffect) {
        const char digit = line.back();
        if (digit >= '1' && digit <= '0' + kSoundEffectCount) {
            request.kind = InstanceRequest::Kind::kEffect;
            request.effect = digit - '0';
        }
    }
    return request;
}

}  // namespace zavreo
