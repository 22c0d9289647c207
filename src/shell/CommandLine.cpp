#include "CommandLine.h"

#include "SoundEffectPlayer.h"
#include "UpdateCheck.h"

namespace zavreo {

namespace {

constexpr char kEffectOption[] = "--effect";

// "1" to "9" only: no sign, no spaces, no leading zero, nothing after the digit.
int EffectNumber(const std::string& text) {
    if (text.size() != 1 || text[0] < '1' || text[0] > '0' + kSoundEffectCount) {
        return 0;
    }
    return text[0] - '0';
}

// The argument as shown in a message: control characters would garble the terminal.
std::string Shown(const std::string& argument) {
    std::string shown;
    for (const char c : argument.substr(0, 64)) {
        shown += static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? '?' : c;
    }
    return argument.size() > 64 ? shown + "..." : shown;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    bool help = false;
    bool version = false;
    int effect = 0;
    auto mistake = [](std::string text) {
        CommandLine line;
        line.action = CommandLine::Action::kUsageError;
        line.error = std::move(text);
        return line;
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            help = true;
        } else if (argument == "--version") {
            version = true;
        } else if (argument == kEffectOption || argument.rfind("--effect=", 0) == 0) {
            std::string value;
            if (argument == kEffectOption) {
                if (i + 1 == arguments.size()) {
                    return mistake("选项 --effect 需要一个 1 到 9 的音效编号");
                }
                value = arguments[++i];
            } else {
                value = argument.substr(sizeof(kEffectOption));
            }
            effect = EffectNumber(value);
            if (effect == 0) {
                return mistake("音效编号必须是 1 到 9：" + Shown(value));
            }
        } else if (argument.size() > 1 && argument[0] == '-') {
            return mistake("未知选项：" + Shown(argument));
        } else {
            return mistake("多余的参数：" + Shown(argument));
        }
    }
    CommandLine line;
    if (help) {
        line.action = CommandLine::Action::kHelp;
    } else if (version) {
        line.action = CommandLine::Action::kVersion;
    } else if (effect != 0) {
        line.action = CommandLine::Action::kEffect;
        line.effect = effect;
    }
    return line;
}

std::string UsageText() {
    return "用法：zavreo [选项]\n"
           "Zavreo直播助手：摄像头美颜与特效、虚拟摄像头、音乐与桌面歌词、音效。\n"
           "每个用户只运行一份；再次启动会把运行中的窗口带到前面。\n"
           "\n"
           "  --effect N   让运行中的程序播放音效板的第 N 个音效（N 为 1 到 9），\n"
           "               可在桌面的键盘快捷键设置中绑定到任意按键\n"
           "  -h, --help   显示本帮助并退出\n"
           "  --version    显示版本并退出\n";
}

std::string VersionText() {
    return "zavreo " + std::to_string(kRunningRelease) + "\n";
}

}  // namespace zavreo
