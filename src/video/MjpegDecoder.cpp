#include "MjpegDecoder.h"

#include <turbojpeg.h>

namespace zavreo {
namespace {

constexpr int kMaxSide = 4096;

}  // namespace

MjpegDecoder::MjpegDecoder() : handle_(tjInitDecompress()) {}

MjpegDecoder::~MjpegDecoder() {
    if (handle_ != nullptr) {
        tjDestroy(handle_);
    }
}

bool MjpegDecoder::Decode(const uint8_t* data, size_t size, std::vector<uint8_t>* bgr, int* width,
                          int* height) {
    if (handle_ == nullptr || data == nullptr || size == 0 || size > 0xFFFFFFFFul) {
        return false;
    }
    int w = 0, h = 0, subsampling = 0, colourspace = 0;
    if (tjDecompressHeader3(handle_, data, static_cast<unsigned long>(size), &w, &h, &subsampling,
                            &colourspace) != 0 ||
        w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide) {
        return false;
    }
    bgr->resize(static_cast<size_t>(w) * h * 3);
    if (tjDecompress2(handle_, data, static_cast<unsigned long>(size), bgr->data(), w, w * 3, h,
                      TJPF_BGR, TJFLAG_BOTTOMUP | TJFLAG_FASTDCT | TJFLAG_FASTUPSAMPLE) != 0 &&
        tjGetErrorCode(handle_) == TJERR_FATAL) {
        return false;
    }
    *width = w;
    *height = h;
    return true;
}

}  // namespace zavreo
