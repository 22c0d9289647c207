#pragma once
// Opens a folder in the desktop's file manager the desktop's usual way (xdg-open) and tells when
// that fails: no xdg-open, a missing folder, or no program for folders (xdg-open's non-zero
// exit). A file is shown selected in its folder where the file manager offers that over D-Bus
// (org.freedesktop.FileManager1.ShowItems); elsewhere its folder is opened. Lives on the
// interface thread; `Failed` comes from its event loop.

#include <QObject>
#include <QString>
#include <filesystem>

class FolderOpener : public QObject {
    Q_OBJECT
public:
    explicit FolderOpener(QObject* parent = nullptr) : QObject(parent) {}

    void Open(const std::filesystem::path& folder);
    void ShowFile(const std::filesystem::path& file);

signals:
    void Failed(const QString& folder);
};
