#include "InstanceRequest.h"

#include "SoundEffectPlayer.h"

namespace zavreo {

namespace {
constexpr std::string_view kEffectKeyword = "effect ";
}  // namespace

std::string EffectRequestLine(int number) {
    return std::string(kEffectKeyword) + std::to_string(number);
}

int RequestedEffect(std::string_view line) {
    if (line.size() != kEffectKeyword.size() + 1 ||
        line.substr(0, kEffectKeyword.size()) != kEffectKeyword) {
        return 0;
    }
    const char digit = line.back();
    return digit >= '1' && digit <= '0' + kSoundEffectCount ? digit - '0' : 0;
}

EffectOutcome EffectRequestOutcome(int number, const ChannelReply& reply) {
    const std::string effect = "音效 " + std::to_string(number);
    if (!reply.reached) {
        return {1, "Zavreo直播助手没有在运行，" + effect + "没有播放。\n"};
    }
    if (reply.answer == kEffectDone) {
        return {0, ""};
    }
    if (reply.answer == kEffectFailed) {
        return {1, "运行中的Zavreo直播助手无法播放" + effect + "（音效文件缺失或无法解码）。\n"};
    }
    return {1, "运行中的Zavreo直播助手没有播放" + effect + "：它还在启动，或版本较旧。\n"};
}

}  // namespace zavreo
