#pragma once
// Writes a fragmented MP4 under its final name, so the file plays at every moment: each
// CutFragment() completes a fragment. Each stream's packets go into the open fragment as they
// come, not held back to interleave the streams by decoding time: the video encoder's delay and
// its B-frames would otherwise keep the sound of the last moments out of every fragment. A
// failed write (disk full, folder gone) cuts the file back to the last complete fragment. Finish()
// completes the last fragment and then replaces the file, in one rename, by an ordinary MP4 of the
// same streams; when that copy cannot be made the complete fragmented file stays. A file that
// holds no picture when writing fails (a disk full from the start) is removed: it is no recording.
// The file is private to the user (0600), its copy too.
//
// One thread uses a writer.

#include <cstdint>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace flashx {

class Mp4Writer {
public:
    Mp4Writer() = default;
    ~Mp4Writer();
    Mp4Writer(const Mp4Writer&) = delete;
    Mp4Writer& operator=(const Mp4Writer&) = delete;

    // Creates `path` (refused when it exists and `overwrite` is false; never through a link);
    // false with a message.
    bool Open(const std::string& path, bool overwrite, std::string* error);
    // A stream with the encoder's parameters; call before Start.
    AVStream* AddStream(const AVCodecContext* encoder);
    // Added to every time stamp (microseconds), so none is negative; taken off again in the
    // ordinary copy.
    void SetTimeShift(int64_t microseconds) { shift_ = microseconds; }
    // Writes the header (the empty movie box with the codec set-up) to disk.
    bool Start(std::string* error);
    // `packet` in the encoder's time base `from`, in the next fragment; false once writing has
    // failed.
    bool Write(AVPacket* packet, AVRational from, AVStream* stream);
    // Completes the fragment of the packets written so far (a process that dies keeps it) and,
    // with `sync`, forces the file to disk (so does a machine that dies).
    bool CutFragment(bool sync);
    // The trailer, then the ordinary copy. After a failure: the file cut back, nothing more.
    void Finish();

    bool Failed() const { return failed_; }
    const std::string& Error() const { return error_; }
    // The errno value of the failure (EIO where the cause is not known), 0 before one.
    int ErrorCode() const { return errorCode_; }

private:
    // The buffer libavformat hands the write callback is const from version 61 on.
#if LIBAVFORMAT_VERSION_MAJOR >= 61
    using WrittenBytes = const uint8_t*;
#else
    using WrittenBytes = uint8_t*;
#endif
    static int WriteCallback(void* opaque, WrittenBytes data, int size);
    static int64_t SeekCallback(void* opaque, int64_t offset, int whence);
    void Fail(const std::string& what, int code);
    void CloseFile();

    std::string path_;
    int fd_ = -1;
    AVFormatContext* format_ = nullptr;
    AVIOContext* io_ = nullptr;
    int64_t shift_ = 0;
    int64_t position_ = 0;
    int64_t end_ = 0;
    // The file's size after the last complete fragment.
    int64_t lastGood_ = 0;
    bool started_ = false;
    bool failed_ = false;
    int errorCode_ = 0;
    std::string error_;
    // Pictures went into the open fragment; a complete fragment holds some.
    bool picturesPending_ = false;
    bool picturesKept_ = false;
};

// Copies the streams of `from` into an ordinary (not fragmented) MP4 at `to` (an existing file
// keeps its permissions), every time stamp `shift` microseconds earlier (what the fragmented file
// had to add to keep them from going negative; edit lists take its place); false on any error.
bool RemuxToPlainMp4(const std::string& from, const std::string& to, int64_t shift);

}  // namespace flashx
