#pragma once
// The music panel on the right: a song search box and button, a button that adds local songs to
// the default list, a promotional line and an advertisement picture. The search looks through
// the user's own lists (the main window shows the match or tells that none was found).
// Interface thread.

#include <QPixmap>
#include <QWidget>

#include "CPngButton.h"

class QLabel;
class QLineEdit;

class CMusicDlg : public QWidget {
    Q_OBJECT
public:
    enum Id {
        IDC_SEARCH_TEXT = 1108,
        IDC_SEARCH = 1109,
        IDC_ADD_LOCAL = 1110,
        IDC_AD_PICTURE = 1080,
        IDC_PROMOTION = 1081,
    };
    static constexpr const char* kSearchPrompt = "请输入歌曲名或歌手名";
    static constexpr const char* kPromotionLink = "跳转到链接，地址尚未给出";

    explicit CMusicDlg(QWidget* parent = nullptr);

    QLineEdit* SearchText() const { return search_; }
    CPngButton& SearchButton() { return searchButton_; }
    CPngButton& AddButton() { return addButton_; }
    QLabel* Promotion() const { return promotion_; }

signals:
    // The search button, or Enter in the search box, with the box's text.
    void SearchRequested(const QString& text);
    // The add button: the file dialog adds songs to the default list.
    void AddLocalSongs();

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* search_;
    CPngButton searchButton_;
    CPngButton addButton_;
    QLabel* promotion_;
    QRect adFrame_;
    QPixmap background_;
    QPixmap ad_;
};
