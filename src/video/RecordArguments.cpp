#include "RecordArguments.h"

#include "CameraDiscovery.h"

namespace zavreo {

std::string RecordInputText(const std::string& audioDeviceName) {
    return std::string("video=") + kVirtualCameraName + ":audio=" + audioDeviceName;
}

std::vector<std::string> RecordArguments(const std::string& inputText,
                                         const std::string& outputPath) {
    return {"-f",
            "dshow",
            "-i",
            inputText,
            "-vsync",
            "2",
            "-async",
            "1",
            "-vf",
            "deccd,unsharp=7:7:0.8:5:5:0.5",
            "-acodec",
            "libaacplus",
            "-ac",
            "2",
            "-ar",
            "44100",
            "-ab",
            "32k",
            "-vcodec",
            "libx264",
            "-profile",
            "main",
            "-x264opts",
            "keyint=250:min-keyint=10:rc-lookahead=0:sync-lookahead=0:scenecut=0:chroma_qp_"
            "offset=0:me=umh:subme=7:me_range=24:psy_rd=0.5,0.5:bframes=2:ref=3:b_adapt=2:"
            "threads=auto:deblock=-1,-1:vbv-bufsize=600",
            "-r",
            "10",
            "-b",
            "500k",
            "-s",
            "640x480",
            "-f",
            "mp4",
            "-y",
            outputPath};
}

}  // namespace zavreo
