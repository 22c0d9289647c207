#include "Mp4Writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace flashx {
namespace {

constexpr int kIoBufferBytes = 64 * 1024;

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// fsync of the folder, so a new or renamed entry survives a power cut.
void SyncFolderOf(const std::string& path) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

}  // namespace

Mp4Writer::~Mp4Writer() {
    CloseFile();
}

bool Mp4Writer::Open(const std::string& path, bool overwrite, std::string* error) {
    path_ = path;
    fd_ = open(path.c_str(),
               O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | (overwrite ? O_TRUNC : O_EXCL), 0600);
    if (fd_ < 0) {
        Fail(path + ": " + std::strerror(errno), errno);
        *error = error_;
        return false;
    }
    SyncFolderOf(path);
    auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferBytes));
    io_ =
        avio_alloc_context(buffer, kIoBufferBytes, 1, this, nullptr, &WriteCallback, &SeekCallback);
    if (io_ == nullptr || avformat_alloc_output_context2(&format_, nullptr, "mp4", nullptr) < 0) {
        *error = "cannot set up the MP4 writer";
        CloseFile();
        std::remove(path.c_str());
        return false;
    }
    format_->pb = io_;
    format_->flags |= AVFMT_FLAG_CUSTOM_IO;
    return true;
}

AVStream* Mp4Writer::AddStream(const AVCodecContext* encoder) {
    AVStream* stream = avformat_new_stream(format_, nullptr);
    if (stream == nullptr || avcodec_parameters_from_context(stream->codecpar, encoder) < 0) {
        return nullptr;
    }
    stream->time_base = encoder->time_base;
    return stream;
}

bool Mp4Writer::Start(std::string* error) {
    AVDictionary* options = nullptr;
    // Fragments only where CutFragment asks; the movie box up front carries no samples.
    av_dict_set(&options, "movflags", "frag_custom+empty_moov+default_base_moof", 0);
    const int result = avformat_write_header(format_, &options);
    av_dict_free(&options);
    if (result < 0 || failed_) {
        Fail("cannot write the MP4 header: " + AvError(result), EIO);
        *error = error_;
        return false;
    }
    started_ = true;
    avio_flush(io_);
    if (!failed_ && fdatasync(fd_) != 0) {
        Fail(path_ + ": " + std::strerror(errno), errno);
    }
    if (failed_) {
        *error = error_;
        return false;
    }
    lastGood_ = end_;
    return true;
}

bool Mp4Writer::Write(AVPacket* packet, AVRational from, AVStream* stream) {
    if (failed_) {
        return false;
    }
    av_packet_rescale_ts(packet, from, stream->time_base);
    const int64_t shift = av_rescale_q(shift_, AV_TIME_BASE_Q, stream->time_base);
    if (packet->pts != AV_NOPTS_VALUE) {
        packet->pts += shift;
    }
    if (packet->dts != AV_NOPTS_VALUE) {
        packet->dts += shift;
    }
    packet->stream_index = stream->index;
    // Fragments keep each track's samples apart, so the streams need no interleaving here; the
    // ordinary copy interleaves them.
    const bool picture = stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
    const int result = av_write_frame(format_, packet);
    if (result < 0) {
        Fail("cannot write a packet: " + AvError(result), EIO);
    }
    picturesPending_ = picturesPending_ || (picture && !failed_);
    return !failed_;
}

bool Mp4Writer::CutFragment(bool sync) {
    if (failed_) {
        return false;
    }
    av_write_frame(format_, nullptr);
    avio_flush(io_);
    if (!failed_ && sync && fdatasync(fd_) != 0) {
        Fail(path_ + ": " + std::strerror(errno), errno);
    }
    if (!failed_) {
        lastGood_ = end_;
        picturesKept_ = picturesKept_ || picturesPending_;
        picturesPending_ = false;
    }
    return !failed_;
}

void Mp4Writer::Finish() {
    if (format_ == nullptr) {
        return;
    }
    if (started_ && !failed_) {
        av_write_trailer(format_);
        avio_flush(io_);
        if (!failed_ && fdatasync(fd_) != 0) {
            Fail(path_ + ": " + std::strerror(errno), errno);
        }
        if (!failed_) {
            lastGood_ = end_;
            picturesKept_ = picturesKept_ || picturesPending_;
        }
    }
    const bool complete = started_ && !failed_;
    struct stat file {};
    const mode_t mode = fd_ >= 0 && fstat(fd_, &file) == 0 ? file.st_mode & 07777 : 0600;
    CloseFile();
    if (!started_ || (failed_ && !picturesKept_)) {
        // Without its header, or without a picture, the file holds no recording.
        std::remove(path_.c_str());
        return;
    }
    if (!complete) {
        return;
    }
    // The copy sits beside the file under a hidden name until it replaces it, made with the
    // file's permissions before anything is written to it.
    const std::filesystem::path target(path_);
    const std::string copy =
        (target.parent_path() / ("." + target.filename().string() + ".part")).string();
    std::remove(copy.c_str());
    const int copyFd = open(copy.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    const bool made = copyFd >= 0 && fchmod(copyFd, mode) == 0;
    if (copyFd >= 0) {
        close(copyFd);
    }
    if (made && RemuxToPlainMp4(path_, copy, shift_) &&
        std::rename(copy.c_str(), path_.c_str()) == 0) {
        SyncFolderOf(path_);
    } else {
        std::remove(copy.c_str());
    }
}

void Mp4Writer::Fail(const std::string& what, int code) {
    if (!failed_) {
        failed_ = true;
        error_ = what;
        errorCode_ = code != 0 ? code : EIO;
    }
}

void Mp4Writer::CloseFile() {
    if (format_ != nullptr) {
        format_->pb = nullptr;
        avformat_free_context(format_);
        format_ = nullptr;
    }
    if (io_ != nullptr) {
        av_freep(&io_->buffer);
        avio_context_free(&io_);
    }
    if (fd_ >= 0) {
        // What follows the last complete fragment could not be written whole.
        if (failed_ && ftruncate(fd_, lastGood_) == 0) {
            fdatasync(fd_);
        }
        close(fd_);
        fd_ = -1;
    }
}

int Mp4Writer::WriteCallback(void* opaque, WrittenBytes data, int size) {
    auto* self = static_cast<Mp4Writer*>(opaque);
    if (self->failed_) {
        return AVERROR(EIO);
    }
    int done = 0;
    while (done < size) {
        const ssize_t n = pwrite(self->fd_, data + done, size - done, self->position_ + done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            const int code = n < 0 ? errno : ENOSPC;
            self->Fail(self->path_ + ": " + std::strerror(code), code);
            return AVERROR(code);
        }
        done += static_cast<int>(n);
    }
    self->position_ += size;
    self->end_ = std::max(self->end_, self->position_);
    return size;
}

int64_t Mp4Writer::SeekCallback(void* opaque, int64_t offset, int whence) {
    auto* self = static_cast<Mp4Writer*>(opaque);
    switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE:
            return self->end_;
        case SEEK_SET:
            self->position_ = offset;
            break;
        case SEEK_CUR:
            self->position_ += offset;
            break;
        case SEEK_END:
            self->position_ = self->end_ + offset;
            break;
        default:
            return AVERROR(EINVAL);
    }
    return self->position_;
}

bool RemuxToPlainMp4(const std::string& from, const std::string& to, int64_t shift) {
    AVFormatContext* input = nullptr;
    if (avformat_open_input(&input, from.c_str(), nullptr, nullptr) < 0) {
        return false;
    }
    AVFormatContext* output = nullptr;
    bool ok = avformat_find_stream_info(input, nullptr) >= 0 &&
              avformat_alloc_output_context2(&output, nullptr, "mp4", to.c_str()) >= 0;
    for (unsigned i = 0; ok && i < input->nb_streams; ++i) {
        AVStream* stream = avformat_new_stream(output, nullptr);
        ok = stream != nullptr &&
             avcodec_parameters_copy(stream->codecpar, input->streams[i]->codecpar) >= 0;
        if (ok) {
            stream->codecpar->codec_tag = 0;
            stream->time_base = input->streams[i]->time_base;
        }
    }
    ok = ok && avio_open(&output->pb, to.c_str(), AVIO_FLAG_WRITE) >= 0;
    ok = ok && avformat_write_header(output, nullptr) >= 0;
    AVPacket* packet = av_packet_alloc();
    while (ok && packet != nullptr && av_read_frame(input, packet) >= 0) {
        const AVStream* in = input->streams[packet->stream_index];
        const int64_t back = av_rescale_q(shift, AV_TIME_BASE_Q, in->time_base);
        if (packet->pts != AV_NOPTS_VALUE) {
            packet->pts -= back;
        }
        if (packet->dts != AV_NOPTS_VALUE) {
            packet->dts -= back;
        }
        av_packet_rescale_ts(packet, in->time_base,
                             output->streams[packet->stream_index]->time_base);
        packet->pos = -1;
        ok = av_interleaved_write_frame(output, packet) >= 0;
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    ok = ok && av_write_trailer(output) >= 0;
    if (output != nullptr) {
        if (output->pb != nullptr) {
            avio_flush(output->pb);
            ok = ok && output->pb->error == 0;
            avio_closep(&output->pb);
        }
        avformat_free_context(output);
    }
    avformat_close_input(&input);
    if (ok) {
        const int fd = open(to.c_str(), O_RDONLY | O_CLOEXEC);
        ok = fd >= 0 && fsync(fd) == 0;
        if (fd >= 0) {
            close(fd);
        }
    }
    return ok;
}

}  // namespace flashx
