// Puts the desktop lyrics in one state for a screenshot and prints "ready" when it is drawn:
//   lyrics_showcase PROGRESS [double] [locked] [largest]    the lyrics window and its bar
//   lyrics_showcase search TITLE                  the search dialog with the server's results
// The lyrics server comes from ZAVREO_LYRICS_HOST. Runs until killed.

#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "CListCtrlCl.h"
#include "CLyricDlg.h"
#include "CLyricSearchDlg.h"
#include "CLyricsWindow.h"
#include "LyricsController.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        return 2;
    }
    QTimer lyricTimer;
    zavreo::LyricsController lyrics(lyricTimer);
    lyrics.Create();
    lyrics.SetShown(true);
    const auto ready = [] {
        QTimer::singleShot(700, [] {
            std::puts("ready");
            std::fflush(stdout);
        });
    };
    if (std::strcmp(argv[1], "search") == 0) {
        CLyricSearchDlg& search = lyrics.Search();
        lyrics.Bar().OnCommand(CLyricDlg::IDC_SEARCH);
        search.move(200, 80);
        search.TitleEdit().setText(QString::fromUtf8(argc > 2 ? argv[2] : ""));
        QObject::connect(&search, &CLyricSearchDlg::ResultsShown, [&search, ready] {
            search.Results().selectRow(1);
            ready();
        });
        search.Search();
        return app.exec();
    }
    std::string text = "故事的小黄花 从出生那年就飘着";
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "double") == 0) {
            lyrics.Bar().OnCommand(CLyricDlg::IDC_LINES);
            text = "故事的小黄花\r\n      从出生那年就飘着";
        } else if (std::strcmp(argv[i], "locked") == 0) {
            lyrics.Bar().OnCommand(CLyricDlg::IDC_LOCK);
        } else if (std::strcmp(argv[i], "largest") == 0) {
            for (int step = 0; step < 10; ++step) {
                lyrics.Bar().OnCommand(CLyricDlg::IDC_FONT_UP);
            }
        }
    }
    lyrics.Window().SetLyricText(text, std::atoi(argv[1]));
    ready();
    return app.exec();
}
