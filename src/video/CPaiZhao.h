#pragma once
// The photo dialog: shows the last photo over its background and the folder it is in, with
// buttons that open the photo folder and close (hide) the dialog. Frameless, rounded, dragged by
// its body. Created hidden with the main window and only shown or hidden after that. Interface
// thread only.

#include <QDialog>
#include <QPixmap>
#include <filesystem>

#include "BodyDrag.h"
#include "CPngButton.h"
#include "FolderLabel.h"
#include "FolderOpener.h"

class CPaiZhao : public QDialog {
    Q_OBJECT
public:
    enum Id { IDC_PICTURE = 1145, IDC_OPEN_FOLDER = 1143, IDC_CLOSE = 1110 };

    explicit CPaiZhao(QWidget* parent = nullptr);

    // The photo folder, shown in the title strip and opened by button 1143.
    void SetFolder(const std::filesystem::path& folder);
    // The photo to show; read again from the file now.
    void SetPhoto(const std::filesystem::path& path);
    // Hides a shown dialog, shows a hidden one.
    void Toggle();

    const QPixmap& Photo() const { return photo_; }
    CPngButton& OpenFolderButton() { return openFolder_; }
    CPngButton& CloseButton() { return close_; }
    const FolderLabel& FolderShown() const { return folderLabel_; }

signals:
    // Button 1143 could not open the folder.
    void FolderNotOpened(const QString& folder);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    QPixmap background_;
    QPixmap photo_;
    std::filesystem::path folder_;
    CPngButton openFolder_;
    CPngButton close_;
    FolderLabel folderLabel_;
    FolderOpener opener_;
    BodyDrag drag_;
};
