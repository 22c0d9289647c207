#pragma once
// Finds other lyrics for the playing song: the user types a title (and maybe an artist), the
// lyrics server's first seven results are listed, and the chosen ones replace the song's lyric
// file and show at once. The query runs on a worker thread; the list fills when the reply comes.
// Interface thread only.

#include <json/value.h>
#include <QDialog>
#include <QPixmap>
#include <functional>
#include <string>

#include "AsyncJob.h"
#include "BodyDrag.h"
#include "CPngButton.h"

class CListCtrlCl;
class QLabel;
class QLineEdit;

class CLyricSearchDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMaxRows = 7;

    explicit CLyricSearchDlg(QWidget* parent = nullptr);

    // Shows the dialog with an empty result list.
    void ShowEmpty();
    // Sends the query; the rows appear when the reply arrives.
    void Search();
    // Hands every selected result, in row order, to `useLyrics` while a song is loaded.
    void UseSelected();

    QLineEdit& TitleEdit() const { return *title_; }
    QLineEdit& ArtistEdit() const { return *artist_; }
    CListCtrlCl& Results() const { return *list_; }

    // Whether a song is loaded in the player.
    std::function<bool()> songLoaded;
    // The lyric-file text of a chosen result.
    std::function<void(const std::string& lyricText)> useLyrics;

signals:
    // The rows of a reply are listed (also when there were none).
    void ResultsShown();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void ShowReply(const Json::Value& reply);

    QPixmap background_;
    QLineEdit* title_;
    QLineEdit* artist_;
    CListCtrlCl* list_;
    CPngButton search_, use_, cancel_, titlePicture_, close_;
    BodyDrag drag_;
    // The reply the rows come from: a result is saved from what the user saw.
    Json::Value shown_;
    zavreo::AsyncJob query_;
};
