
#include <filesystem>

#include "CMervalaApp.h"
#include "ResourcePaths.h"
#include "SharedFrame.h"

int main(int argc, char** argv) {
    // While this is the only thread: the environment names where the shared frame will be.
    zavreo::ReserveHandDownDescriptor();
    // Resources are named relative to their folder, which becomes the working directory. The
    // program's own folder comes from /proc/self/exe, through any link such as /usr/bin/zavreo.
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        std::filesystem::current_path(
            Resources::Folder(executable.parent_path(), ZAVREO_DATA_FROM_PROGRAM), error);
    }
    CMervalaApp app(argc, argv);
    return app.InitInstance();
}
