#include "LyricSearchStatus.h"

namespace zavreo {

LyricSearchState StateOfReply(const std::optional<Json::Value>& reply, int rowsListed) {
    if (!reply || !reply->isObject()) {
        return LyricSearchState::kNoAnswer;
    }
    return rowsListed > 0 ? LyricSearchState::kFound : LyricSearchState::kNothingFound;
}

std::string LyricSearchStatusText(LyricSearchState state, int count,
                                  const std::filesystem::path& file) {
    switch (state) {
        case LyricSearchState::kSearching:
            return "正在搜索歌词…";
        case LyricSearchState::kFound:
            return "找到 " + std::to_string(count) + " 个结果，选中后点“使用”";
        case LyricSearchState::kNothingFound:
            return "没有找到歌词，换个歌名或歌手试试";
        case LyricSearchState::kNoAnswer:
            return "歌词服务器没有响应，请稍后再试";
        case LyricSearchState::kSaved:
            return "歌词已保存到 " + file.string();
        case LyricSearchState::kNoSong:
            return "请先播放一首歌曲，再使用歌词";
        case LyricSearchState::kIdle:
            break;
    }
    return {};
}

}  // namespace zavreo
