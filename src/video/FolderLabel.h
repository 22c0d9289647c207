#pragma once
// One line naming a folder in the skin's dim text, shortened in the middle to the label's width
// ("/home/ann/…/Pic"); the full path is its tool tip. Interface thread.

#include <QLabel>

class FolderLabel : public QLabel {
    Q_OBJECT
public:
    explicit FolderLabel(QWidget* parent);

    void SetFolder(const QString& folder);
    QString Folder() const { return folder_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Elide();

    QString folder_;
};
