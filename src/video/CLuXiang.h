#pragma once
// The recording dialog (195): shown or hidden at each stop click; names the recording's file and
// its folder and offers to show the file there. A frameless modeless child of the main window,
// dragged by its body. Interface thread.

#include <QDialog>
#include <QPixmap>
#include <filesystem>
#include <functional>

#include "BodyDrag.h"
#include "FolderOpener.h"

class CPngButton;
class FolderLabel;
class QLabel;

class CLuXiang : public QDialog {
    Q_OBJECT
public:
    enum Id { IDC_OPEN_FOLDER = 1146, IDC_CLOSE = 1110 };

    // `recordingFile` gives the file of the last recording (empty while it has none), which
    // button 1146 shows in its folder; `videoFolder` the folder opened while there is no file.
    CLuXiang(QWidget* parent, std::function<std::filesystem::path()> recordingFile,
             std::function<std::filesystem::path()> videoFolder);

    CPngButton* Button(int id) const;
    // Hides when visible, shows otherwise, naming the file of the moment.
    void ToggleVisible();
    const QLabel& FileShown() const { return *fileLabel_; }
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

    std::function<std::filesystem::path()> recordingFile_;
    std::function<std::filesystem::path()> videoFolder_;
    std::filesystem::path file_;  // the file named when last shown
    QPixmap background_;
    CPngButton* openFolder_;
    CPngButton* close_;
    QLabel* fileLabel_;
    FolderLabel* folderLabel_;
    FolderOpener opener_;
    BodyDrag drag_;
};
