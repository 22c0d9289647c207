#pragma once
// The music panel's search through the user's lists. A song matches when every word of the query
// is found in its title, its artist or its file name, ignoring letter case and full-width and
// half-width forms ("ＡＢＣ", "abc" and "Abc" are the same). Matches run in the order the songs
// view shows the lists, then the songs of each list; asking again with the same query gives the
// match after the one given last, and after the last comes the first again. Interface thread.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "PlaylistModel.h"
#include "SongTags.h"

namespace zavreo {

class SongSearch {
public:
    struct Match {
        std::string list;
        int index = -1;
        bool operator==(const Match&) const = default;
    };
    // The tags known for a song's path; null when none are known (yet).
    using TagsOf = std::function<const SongTags*(const std::string& path)>;

    // The next song matching `query`; none when no song matches or the query has no words.
    std::optional<Match> Next(const PlaylistModel& model, std::string_view query,
                              const TagsOf& tagsOf);

    // `text` folded for comparison: compatibility forms (full width, half width) to their plain
    // form, then letter case folded.
    static std::string Folded(std::string_view text);

private:
    std::string lastQuery_;
    std::optional<Match> last_;
};

}  // namespace zavreo
