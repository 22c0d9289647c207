#pragma once
// Finds other lyrics for the playing song: the user types a title (and maybe an artist), the
// lyrics server's first seven results are listed, and the chosen ones replace the song's lyric
// file and show at once. It opens with the playing song's title and artist filled in, and a line
// under the boxes says what it is doing. The query runs on a worker thread and gives up after a
// few seconds; the list fills when the reply comes. Interface thread only.

#include <json/value.h>
#include <QDialog>
#include <QPixmap>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "AsyncJob.h"
#include "BodyDrag.h"
#include "CPngButton.h"
#include "LyricSearchStatus.h"

class CListCtrlCl;
class QLabel;
class QLineEdit;

class CLyricSearchDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMaxRows = 7;

    explicit CLyricSearchDlg(QWidget* parent = nullptr);

    // Shows the dialog with an empty result list, the boxes filled for the playing song when it is
    // another than the one they were last filled for.
    void ShowEmpty();
    // Sends the query; the rows appear when the reply arrives.
    void Search();
    // Hands every selected result, in row order, to `useLyrics` while a song is loaded.
    void UseSelected();

    QLineEdit& TitleEdit() const { return *title_; }
    QLineEdit& ArtistEdit() const { return *artist_; }
    CListCtrlCl& Results() const { return *list_; }
    QLabel& Status() const { return *status_; }
    zavreo::LyricSearchState State() const { return state_; }

    struct PlayingSong {
        std::string path;
        std::string title;   // empty when unknown
        std::string artist;  // empty when unknown
    };
    // The song loaded in the player; none while none is.
    std::function<std::optional<PlayingSong>()> playingSong;
    // Replaces the playing song's lyrics by the lyric-file text of a chosen result; the file
    // written, none when it could not be.
    std::function<std::optional<std::filesystem::path>(const std::string& lyricText)> useLyrics;

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
    // The number of rows listed.
    int ShowReply(const Json::Value& reply);
    void SetState(zavreo::LyricSearchState state, int count = 0,
                  const std::filesystem::path& file = {});

    QPixmap background_;
    QLineEdit* title_;
    QLineEdit* artist_;
    CListCtrlCl* list_;
    QLabel* status_;
    zavreo::LyricSearchState state_ = zavreo::LyricSearchState::kIdle;
    // The song the boxes were last filled for.
    std::string filledFor_;
    CPngButton search_, use_, cancel_, titlePicture_, close_;
    BodyDrag drag_;
    // The reply the rows come from: a result is saved from what the user saw.
    Json::Value shown_;
    zavreo::AsyncJob query_;
};
