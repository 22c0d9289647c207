#pragma once
// What the lyric search dialog tells the user about its search: that it is searching, how many
// results came, that nothing was found, that the lyrics server did not answer (in time, or with
// something that is no answer), and where chosen lyrics were kept. Safe on any thread.

#include <json/value.h>

#include <filesystem>
#include <optional>
#include <string>

namespace zavreo {

enum class LyricSearchState {
    kIdle,
    kSearching,
    kFound,
    kNothingFound,
    kNoAnswer,
    kSaved,
    kNoSong
};

// The state a finished query leaves: none for a failed request or a reply that is not the
// server's JSON object, 404 or no result for nothing found.
LyricSearchState StateOfReply(const std::optional<Json::Value>& reply, int rowsListed);

// The line the dialog shows. `count` is the number of results listed (kFound), `file` the lyric
// file written (kSaved).
std::string LyricSearchStatusText(LyricSearchState state, int count = 0,
                                  const std::filesystem::path& file = {});

}  // namespace zavreo
