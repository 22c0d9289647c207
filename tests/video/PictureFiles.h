#pragma once
// Real picture files for the picture tests, in a folder of the test's own.

#include <sys/stat.h>

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

inline std::string ReadAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class PictureFolder {
public:
    std::filesystem::path Path(const std::string& name) const {
        return std::filesystem::path(dir_.path().toStdString()) / name;
    }
    // A picture filled with `color`, or with `top` over `bottom` when `bottom` is valid.
    std::string Solid(const std::string& name, QColor color, QSize size = QSize(320, 240),
                      QColor bottom = QColor()) const {
        QImage image(size, QImage::Format_RGB888);
        image.fill(color);
        if (bottom.isValid()) {
            QPainter(&image).fillRect(0, size.height() / 2, size.width(), size.height() / 2,
                                      bottom);
        }
        const std::string path = Path(name).string();
        image.save(QString::fromStdString(path), nullptr, 95);
        return path;
    }
    std::string Bytes(const std::string& name, const std::string& bytes) const {
        const std::string path = Path(name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    std::string Directory(const std::string& name) const {
        std::filesystem::create_directories(Path(name));
        return Path(name).string();
    }
    std::string Fifo(const std::string& name) const {
        mkfifo(Path(name).c_str(), 0600);
        return Path(name).string();
    }

private:
    QTemporaryDir dir_;
};
