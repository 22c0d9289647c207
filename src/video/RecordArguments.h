#pragma once
// The argument list the recorder library is started with, in the form of a command-line encoder.

#include <string>
#include <vector>

namespace zavreo {

constexpr int kRecordArgumentCount = 34;

// "video=Zavreo直播助手:audio=" followed by the microphone's name (empty: no microphone).
std::string RecordInputText(const std::string& audioDeviceName);

// The 34 arguments for `inputText`, writing the MP4 file `outputPath`.
std::vector<std::string> RecordArguments(const std::string& inputText,
                                         const std::string& outputPath);

}  // namespace zavreo
