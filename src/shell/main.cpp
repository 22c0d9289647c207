#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "CMervalaApp.h"
#include "CommandLine.h"
#include "InstanceRequest.h"
#include "PlatformChoice.h"
#include "ResourcePaths.h"
#include "SharedFrame.h"
#include "SingleInstance.h"

namespace {

// Asks the running copy to play effect `number`; the exit status of `zavreo --effect N`.
int RequestEffect(int argc, char** argv, int number) {
    // No window and no display: a key binding of the desktop runs this.
    QCoreApplication app(argc, argv);
    SingleInstance instance;
    zavreo::ChannelReply reply;
    QByteArray answer;
    reply.reached = instance.SendToRunning(
        QByteArray::fromStdString(zavreo::EffectRequestLine(number)), 2000, &answer);
    reply.answer = answer.toStdString();
    const zavreo::EffectOutcome outcome = zavreo::EffectRequestOutcome(number, reply);
    std::fputs(outcome.message.c_str(), stderr);
    return outcome.exitCode;
}

// Where Qt will look: QT_PLUGIN_PATH, then its own plugin folder. (QCoreApplication's list is
// not asked: read before the application object exists, it would stay without the program's
// folder.)
bool WaylandPluginInstalled() {
    QStringList folders = qEnvironmentVariable("QT_PLUGIN_PATH").split(':', Qt::SkipEmptyParts);
    folders.append(QLibraryInfo::path(QLibraryInfo::PluginsPath));
    for (const QString& folder : folders) {
        if (QFileInfo::exists(folder + "/platforms/libqwayland-generic.so")) {
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    const zavreo::CommandLine line =
        zavreo::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    switch (line.action) {
        case zavreo::CommandLine::Action::kHelp:
            std::fputs(zavreo::UsageText().c_str(), stdout);
            return 0;
        case zavreo::CommandLine::Action::kVersion:
            std::fputs(zavreo::VersionText().c_str(), stdout);
            return 0;
        case zavreo::CommandLine::Action::kUsageError:
            std::fprintf(stderr, "zavreo：%s\n%s", line.error.c_str(), zavreo::UsageText().c_str());
            return zavreo::kUsageExitCode;
        case zavreo::CommandLine::Action::kEffect:
            return RequestEffect(argc, argv, line.effect);
        case zavreo::CommandLine::Action::kRun:
            break;
    }

    // While this is the only thread: the environment names where the shared frame will be.
    zavreo::ReserveHandDownDescriptor();
    // Decided before Qt starts, which would pick by itself and abort without a display.
    const zavreo::PlatformDecision platform =
        zavreo::ChoosePlatform(zavreo::ProbeDisplays(WaylandPluginInstalled()));
    if (!platform.missing.empty()) {
        std::fputs(platform.missing.c_str(), stderr);
        return 1;
    }
    // Qt reads the platform from its arguments; the environment is left as it was, for the
    // programs this one starts.
    std::vector<char*> qtArguments = {argv[0]};
    std::string platformOption = "-platform";
    std::string platformName = platform.platform;
    if (!platformName.empty()) {
        qtArguments.push_back(platformOption.data());
        qtArguments.push_back(platformName.data());
    }
    qtArguments.push_back(nullptr);
    int qtArgumentCount = static_cast<int>(qtArguments.size()) - 1;

    // Resources are named relative to their folder, which becomes the working directory. The
    // program's own folder comes from /proc/self/exe, through any link such as /usr/bin/zavreo.
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        std::filesystem::current_path(
            Resources::Folder(executable.parent_path(), ZAVREO_DATA_FROM_PROGRAM), error);
    }
    CMervalaApp app(qtArgumentCount, qtArguments.data());
    return app.InitInstance();
}
