// PicPath.lst as any bytes: loading never yields more pictures than the input has texts, nor one
// that does not exist, and what is saved from a loaded list is read back whole as the same list.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "AtomicFile.h"
#include "MemoryFile.h"
#include "PictureListFile.h"

namespace {

void Check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

// A folder of the run's own in memory (saving syncs to disk otherwise), removed at exit.
const std::filesystem::path& Folder() {
    static const std::filesystem::path folder = [] {
        char pattern[] = "/dev/shm/zavreo-fuzz-pictures-XXXXXX";
        const char* made = mkdtemp(pattern);
        Check(made != nullptr);
        std::atexit([] { std::filesystem::remove_all(Folder()); });
        return std::filesystem::path(made);
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const MemoryFile input(data, size);
    const std::vector<std::string> paths = zavreo::LoadPictureList(input.Path());
    Check(paths.size() <=
          static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '"')) / 2);
    for (const std::string& path : paths) {
        std::error_code error;
        Check(std::filesystem::exists(path, error));
    }

    const std::filesystem::path file = Folder() / "PicPath.lst";
    Check(zavreo::SavePictureList(file, paths));
    Check(zavreo::LoadPictureList(file) == paths);
    // What the program writes, it reads back whole: never a copy kept of it.
    for (const zavreo::KeptFile& kept : zavreo::KeptFiles()) {
        Check(kept.file != file);
    }
    return 0;
}
