#pragma once
// The recording dialog (195): shown or hidden at each stop click; names the folder of the
// recordings and offers to open it. A frameless modeless child of the main window, dragged by its
// body. Interface thread.

#include <QDialog>
#include <QPixmap>
#include <filesystem>
#include <functional>

#include "BodyDrag.h"
#include "FolderOpener.h"

class CPngButton;
class FolderLabel;

class CLuXiang : public QDialog {
    Q_OBJECT
public:
    enum Id { IDC_OPEN_FOLDER = 1146, IDC_CLOSE = 1110 };

    // `videoFolder` gives the folder that button 1146 opens.
    CLuXiang(QWidget* parent, std::function<std::filesystem::path()> videoFolder);

    CPngButton* Button(int id) const;
    // Hides when visible, shows otherwise.
    void ToggleVisible();
    const FolderLabel& FolderShown() const { return *folderLabel_; }

signals:
    // Button 1146 could not open the folder.
    void FolderNotOpened(const QString& folder);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void OpenFolder();

    std::function<std::filesystem::path()> videoFolder_;
    QPixmap background_;
    CPngButton* openFolder_;
    CPngButton* close_;
    FolderLabel* folderLabel_;
    FolderOpener opener_;
    BodyDrag drag_;
};
