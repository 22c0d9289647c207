#pragma once
// Opens a folder in the desktop's file manager the desktop's usual way (xdg-open) and tells when
// that fails: no xdg-open, a missing folder, or no program for folders (xdg-open's non-zero
// exit). Lives on the interface thread; `Failed` comes from its event loop.

#include <QObject>
#include <QString>
#include <filesystem>

class FolderOpener : public QObject {
    Q_OBJECT
public:
    explicit FolderOpener(QObject* parent = nullptr) : QObject(parent) {}

    void Open(const std::filesystem::path& folder);

signals:
    void Failed(const QString& folder);
};
