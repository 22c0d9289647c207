#include <unistd.h>

#include <filesystem>

#include "CMervalaApp.h"

int main(int argc, char** argv) {
    // Resources are named relative to the program's folder.
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        std::filesystem::current_path(executable.parent_path(), error);
    }
    CMervalaApp app(argc, argv);
    return app.InitInstance();
}
