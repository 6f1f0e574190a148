#pragma once
// Shared helpers of the ZantrelCore tests: media made with the ffmpeg CLI at
// test time (each frame carries its index as an 8-block barcode in its top
// half), running the built tool, and reading pieces back by decoding them.
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct AVFrame;

namespace zantrel::tooltest {

// A folder under the system temp dir, removed with its contents on exit.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  std::vector<std::string> List() const;  // names, including dot files

 private:
  std::string path_;
};

// The clips, made once per test run in a shared folder. Each is 6 s at 25 fps
// with key frames every 30 frames (so cuts rarely start on one), and a
// 1 kHz beep during the first 0.1 s of every second.
struct Clip {
  std::string name;    // e.g. "flv_h264"
  std::string path;
  std::string ext;     // "flv", "mp4", "3gp", "avi"
};
const Clip& GetClip(const std::string& name);

// A barcoded clip made to order, for the partition tests: `seconds` long at
// `rate` (an ffmpeg rate: "25", "14.99", "30000/1001"), video `size`,
// `videoArgs`/`audioArgs` for the encoders (no audio when audioArgs is
// empty), the video starting `videoOffset` seconds after the audio. Its
// sound beeps (1 kHz) during 0.5..0.6 of every second, so a piece of a
// second or more holds a whole beep away from its edges.
struct ClipRecipe {
  std::string name;
  std::string ext;
  std::string size = "160x120";
  std::string rate = "25";
  int seconds = 7;
  std::vector<std::string> videoArgs;
  std::vector<std::string> audioArgs;
  double videoOffset = 0;
};
// Made once per test run in the shared folder; an empty path when ffmpeg failed.
const Clip& GetRecipeClip(const ClipRecipe& recipe);
// Runs the ffmpeg CLI with the arguments; true on exit 0.
bool RunFfmpeg(const std::vector<std::string>& args);
// The same, keeping what it printed (standard error and output).
bool RunFfmpeg(const std::vector<std::string>& args, std::string* output);
// A barcoded clip like GetClip's (with its beeps) at another rate and
// length, encoded with `codecArgs`, written to `path`.
bool MakeBarcodeClip(const std::string& path, const std::string& size, const std::string& rate,
                     const std::string& seconds, const std::vector<std::string>& codecArgs);

// The built tool, run with argv directly (as the launcher would after
// splitting the command line).
struct ToolResult {
  int exitCode = -1;   // -1 when ended by a signal
  int signal = 0;
  std::string output;  // standard error and standard output
};
ToolResult RunTool(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv = {});

// A tool run that the test controls (signals) while it works.
class ToolProcess {
 public:
  explicit ToolProcess(const std::vector<std::string>& args,
                       const std::vector<std::string>& extraEnv = {});
  ~ToolProcess();  // kills and reaps the child if it still runs
  ToolProcess(const ToolProcess&) = delete;
  ToolProcess& operator=(const ToolProcess&) = delete;
  pid_t pid() const { return pid_; }
  bool Running();            // false once it has exited (then reaped)
  ToolResult Wait();

 private:
  pid_t pid_ = -1;
  int outFd_ = -1;
  bool reaped_ = false;
  int status_ = 0;
  std::string output_;
};

// The command forms of the program, for a source, a start, a length and an
// output: chosen by the output's extension like the program does.
std::vector<std::string> CutArgs(const std::string& src, int start, int length, const std::string& out,
                                 bool overwrite = true);

struct StreamFacts {
  bool present = false;
  std::string codec;
  int sampleRate = 0;
  int channels = 0;
  int width = 0, height = 0;
  double startSeconds = 0;
  double durationSeconds = 0;  // from decoded frames: last end - first start
  double decodedSeconds = 0;   // audio: decoded samples over the rate
  int frameSize = 0;           // audio: samples per coded frame (0 when the codec does not say)
  // Audio: the (sample rate, channels) of the decoded frames, one entry per
  // run of frames alike, in order; more than one when the sound changes.
  std::vector<std::pair<int, int>> soundForms;
};

struct PieceFacts {
  bool opened = false;
  std::string format;
  StreamFacts video, audio;
  std::vector<int> frameIndices;  // the barcode of each decoded picture, in order
  // Each decoded picture's time on the file's timeline (0 = the container's
  // start), in seconds; in AVI, whose timing is by frame count, its display
  // index over the frame rate.
  std::vector<double> frameTimes;
  double fileStartSeconds = 0;  // the container's start time (beepOnsets are not shifted by it)
  // Each picture scaled to 32x18 grey, for media without barcodes; filled
  // only when asked for.
  std::vector<std::vector<std::uint8_t>> thumbs;
  // Times at which the clips' beep (the first 0.1 s of every second of the
  // source) starts in the decoded audio.
  std::vector<double> beepOnsets;
};
// The index a decoded picture shows as its barcode; -1 when unreadable.
int BarcodeOf(const AVFrame* frame);
// Decodes a whole file. frameIndices holds -1 for unreadable barcodes.
PieceFacts ReadPiece(const std::string& path, bool withThumbs = false);
// The index of the source's first picture at or after `seconds` on the
// file's timeline (frameTimes.size() when there is none).
std::size_t FirstFrameAtOrAfter(const PieceFacts& source, double seconds);
// Mean absolute difference of two thumbs (255 when their sizes differ).
double ThumbDistance(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b);

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

}  // namespace zantrel::tooltest
