#pragma once
// Reads a song's title and artist from its tags (ID3v1 and v2, Vorbis comments, MP4 and ASF
// tags) with GStreamer's discoverer. Tag text that is not UTF-8 is read as GB18030 first, as
// Chinese songs' tags mostly are. Blocks for up to its time-out: run it on a worker thread. One
// reader serves one thread.

#include <chrono>
#include <optional>
#include <string>

#include "SongTags.h"

typedef struct _GstDiscoverer GstDiscoverer;

namespace zavreo {

class SongTagReader {
public:
    explicit SongTagReader(std::chrono::milliseconds timeout = std::chrono::seconds(5));
    ~SongTagReader();
    SongTagReader(const SongTagReader&) = delete;
    SongTagReader& operator=(const SongTagReader&) = delete;

    // The tags of the file at `path`; none when GStreamer cannot read it. A readable file without
    // a title or artist gives empty texts.
    std::optional<SongTags> Read(const std::string& path);

private:
    GstDiscoverer* discoverer_ = nullptr;
};

}  // namespace zavreo
