// music.lst as any bytes: loading never fails in another way than giving the default list, never
// yields more lists or songs than the input names, and what is saved from a loaded file is read
// back whole to the very same line. A file taken whole and rewritable keeps every list apart,
// with its songs in their order.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "JsonLine.h"
#include "MemoryFile.h"
#include "MusicListFile.h"

namespace {

void Check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

std::size_t Count(std::string_view text, std::string_view what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string_view::npos;
         at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const MemoryFile input(data, size);
    zavreo::PlaylistModel model;
    zavreo::ListMenuIds ids;
    zavreo::LoadMusicListFile(input.Path(), model, ids);
    Check(model.m_bPlaylistMode);
    Check(model.Find(zavreo::kDefaultListName) != nullptr);
    // Member names may be written with escapes ("\u006c..."), so count the colons they need.
    const std::size_t members = Count(bytes, ":");
    Check(model.categories().size() <= members + 1);
    std::size_t songs = 0;
    for (const auto& entry : model.categories()) {
        songs += entry.second.items.size();
    }
    Check(songs <= members);

    const std::string saved = zavreo::JsonLine(zavreo::MusicListJson(model));
    Json::Value root;
    Check(zavreo::ParseJsonLine(saved, root));
    zavreo::PlaylistModel again;
    zavreo::ListMenuIds againIds;
    Check(zavreo::LoadMusicList(root, again, againIds));
    Check(zavreo::JsonLine(zavreo::MusicListJson(again)) == saved);

    Json::Value read;
    zavreo::PlaylistModel fresh;
    zavreo::ListMenuIds freshIds;
    bool rewritable = false;
    if (zavreo::ReadJsonFirstLine(input.Path(), read, zavreo::kMaxPlaylistLineBytes,
                                  zavreo::LineText::kUtf8, &rewritable) &&
        rewritable && zavreo::LoadMusicList(read, fresh, freshIds) &&
        zavreo::MusicListRewritesWhole(read)) {
        const Json::Value& lists = read["list"];
        for (Json::ArrayIndex i = 0; i < lists.size(); ++i) {
            const zavreo::CatCategory* list = fresh.Find(zavreo::JsonText(lists[i], "listname"));
            Check(list != nullptr);
            const Json::Value& songs = lists[i]["musiclist"];
            Check(list->items.size() == (songs.isArray() ? songs.size() : 0));
            for (Json::ArrayIndex j = 0; j < list->items.size(); ++j) {
                Check(list->items[j].text == zavreo::JsonText(songs[j], "path"));
            }
        }
    }
    return 0;
}
