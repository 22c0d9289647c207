// Draws the program's pictures into the resource folder given as the only argument, and checks
// that every picture the program names was drawn.

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <set>
#include <thread>

#include "Recipes.h"
#include "ResourcePaths.h"

namespace {

bool Save(const QString& folder, const Recipe& recipe) {
    const QString path = folder + "/" + QString::fromStdString(recipe.path);
    QDir().mkpath(QFileInfo(path).path());
    QImage image = recipe.draw();
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == "bmp" || suffix == "jpg") {
        // 24-bit pictures: bitmaps and photos have no alpha.
        image = image.convertToFormat(QImage::Format_RGB888);
        return image.save(path, nullptr, suffix == "jpg" ? 92 : -1);
    }
    if (recipe.path == Resources::kPlaceholder) {
        return image.convertToFormat(QImage::Format_RGB888).save(path);
    }
    // Light compression: the generator runs in every build.
    return image.convertToFormat(QImage::Format_ARGB32).save(path, "PNG", 70);
}

bool IsPicture(const std::string& path) {
    return path.ends_with(".png") || path.ends_with(".jpg") || path.ends_with(".bmp");
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: skingen RESOURCE_FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    std::vector<Recipe> recipes = SkinRecipes();
    for (Recipe& recipe : DecorationRecipes()) {
        recipes.push_back(std::move(recipe));
    }
    recipes.push_back(PlaceholderRecipe());

    std::set<std::string> drawn;
    for (const Recipe& recipe : recipes) {
        drawn.insert(recipe.path);
    }
    int missing = 0;
    for (const std::string& path : Resources::AllPaths()) {
        if (IsPicture(path) && !drawn.count(path)) {
            std::fprintf(stderr, "skingen: no drawing for %s\n", path.c_str());
            ++missing;
        }
    }

    // Each worker takes the next recipe; QImage painting is safe off the GUI thread.
    std::atomic<size_t> next{0};
    std::atomic<int> failed{0};
    auto work = [&] {
        for (size_t i = next++; i < recipes.size(); i = next++) {
            if (!Save(folder, recipes[i])) {
                std::fprintf(stderr, "skingen: cannot write %s\n", recipes[i].path.c_str());
                ++failed;
            }
        }
    };
    const unsigned count = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::thread> workers;
    for (unsigned i = 1; i < count; ++i) {
        workers.emplace_back(work);
    }
    work();
    for (std::thread& worker : workers) {
        worker.join();
    }
    return failed || missing ? 1 : 0;
}
