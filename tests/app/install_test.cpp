// The installed copy: `cmake --install` into a temporary prefix, the desktop
// files checked by Debian's validators, and the installed program started
// from a program folder it cannot write, as a normal user.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/cmdline.h"
#include "platform/launcher.h"

namespace fs = std::filesystem;

namespace {
constexpr const char* kAppId = "org.zantrel.Zantrel";

std::string ReadAll(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

// Runs a command line to its end; its exit code (-1 if it did not start or
// was killed) and, in *output, what it printed.
int RunCommand(const std::string& cmdline, std::string* output = nullptr) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return -1;
  zantrel::ChildProcess p;
  zantrel::LaunchOptions o;
  o.outputFd = fds[1];
  std::string err;
  const bool started = p.Start(cmdline, o, &err);
  close(fds[1]);
  std::string out = started ? std::string() : err;
  char buf[4096];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) out.append(buf, n);
  close(fds[0]);
  if (output) *output = out;
  if (!started) return -1;
  const int st = p.Wait();
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

ino_t InodeOf(const fs::path& p) {
  struct stat st;
  return stat(p.c_str(), &st) == 0 ? st.st_ino : 0;
}

// Waits until `p` exists as a file other than `before` (the settings are
// written to a new file renamed into place, so a rewrite changes the inode).
bool WaitForNewFile(const fs::path& p, ino_t before, int ms) {
  for (int waited = 0; waited <= ms; waited += 50) {
    const ino_t now = InodeOf(p);
    if (now != 0 && now != before) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

class Installed : public ::testing::Test {
 protected:
  // One install for the suite; the program folder is then made read-only.
  static void SetUpTestSuite() {
    char tmpl[] = "/tmp/zantrel-install-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    // Others must reach the prefix: as root, the program runs as nobody.
    fs::permissions(root_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                               fs::perms::others_read | fs::perms::others_exec);
    prefix_ = root_ / "prefix";
    installLog_.clear();
    installRc_ = RunCommand(zantrel::QuoteArgument(ZANTREL_CMAKE_COMMAND) + " --install " +
                         zantrel::QuoteArgument(ZANTREL_BUILD_DIR) + " --prefix " +
                         zantrel::QuoteArgument(prefix_.string()),
                     &installLog_);
  }
  static void TearDownTestSuite() {
    std::error_code ec;
    fs::permissions(prefix_ / "lib" / "zantrel", fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root_, ec);
  }

  fs::path ProgramDir() const { return prefix_ / "lib" / "zantrel"; }

  // Starts P/bin/zantrel with `args` as a normal user whose configuration
  // folder is `config`, waits until it has written lang_set.ini there, lets the
  // dialog come up, and closes it as a logout does.
  void RunInstalled(const fs::path& config, const std::string& args = {}) {
    std::string cmd;
    if (geteuid() == 0) cmd = "setpriv --reuid=65534 --regid=65534 --clear-groups -- ";
    cmd += zantrel::QuoteArgument((prefix_ / "bin" / "zantrel").string());
    if (!args.empty()) cmd += " " + args;
    zantrel::ChildProcess child;
    zantrel::LaunchOptions opt;
    opt.quiet = true;
    opt.extraEnv = {"QT_QPA_PLATFORM=offscreen", "ZANTREL_AO=null",
                    "HOME=" + (root_ / "home").string(), "XDG_CONFIG_HOME=" + config.string(),
                    "XDG_RUNTIME_DIR="};
    // The program writes lang_set.ini once its signal handling is up; an
    // earlier run's file does not count.
    const fs::path langSet = config / "zantrel" / "lang_set.ini";
    const ino_t before = InodeOf(langSet);
    std::string err;
    ASSERT_TRUE(child.Start(cmd, opt, &err)) << err;
    ASSERT_TRUE(WaitForNewFile(langSet, before, 15000));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ASSERT_TRUE(child.Signal(SIGTERM));
    int status = -1;
    ASSERT_TRUE(child.WaitFor(20000, &status)) << "the program did not end after SIGTERM";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << zantrel::DescribeWaitStatus(status);
  }

  static fs::path root_, prefix_;
  static std::string installLog_;
  static int installRc_;
};
fs::path Installed::root_, Installed::prefix_;
std::string Installed::installLog_;
int Installed::installRc_ = -1;
}  // namespace

TEST_F(Installed, LayoutAndDesktopFilesPassTheValidators) {
  ASSERT_EQ(installRc_, 0) << installLog_;
  const fs::path lib = ProgramDir();
  for (const char* f : {"Zantrel", "ZantrelCore", "zantrel-split"}) {
    EXPECT_TRUE(fs::is_regular_file(lib / f)) << f;
    EXPECT_EQ(access((lib / f).c_str(), X_OK), 0) << f;
  }
  // The whole data folder comes along, as in build/bin/.
  for (const auto& e : fs::recursive_directory_iterator(fs::path(ZANTREL_SOURCE_DIR) / "res" / "data")) {
    const fs::path rel = fs::relative(e.path(), fs::path(ZANTREL_SOURCE_DIR) / "res" / "data");
    EXPECT_TRUE(fs::exists(lib / rel)) << rel;
  }
  // bin/zantrel is a relative link, so the prefix can move.
  const fs::path link = prefix_ / "bin" / "zantrel";
  ASSERT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(fs::read_symlink(link), fs::path("../lib/zantrel/Zantrel"));
  EXPECT_EQ(fs::canonical(link), fs::canonical(lib / "Zantrel"));
  // bin/zantrel-split likewise; through the link it still finds its tool
  // beside itself (a dry run probes the source with it).
  const fs::path split = prefix_ / "bin" / "zantrel-split";
  ASSERT_TRUE(fs::is_symlink(split));
  EXPECT_EQ(fs::read_symlink(split), fs::path("../lib/zantrel/zantrel-split"));
  const fs::path clip = root_ / "clip.mp4";
  ASSERT_EQ(RunCommand("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=64x48:rate=25:duration=2 "
                       "-c:v libx264 -pix_fmt yuv420p " + zantrel::QuoteArgument(clip.string())), 0);
  std::string plan;
  EXPECT_EQ(RunCommand(zantrel::QuoteArgument(split.string()) + " --dry-run --parts 2 --out " +
                       zantrel::QuoteArgument((root_ / "out").string()) + " " +
                       zantrel::QuoteArgument(clip.string()), &plan), 0) << plan;
  EXPECT_NE(plan.find("clip[2].mp4"), std::string::npos) << plan;

  const fs::path desktop = prefix_ / "share" / "applications" / (std::string(kAppId) + ".desktop");
  const fs::path metainfo = prefix_ / "share" / "metainfo" / (std::string(kAppId) + ".metainfo.xml");
  for (int n : {16, 22, 24, 32, 48, 64, 128, 256}) {
    const std::string size = std::to_string(n) + "x" + std::to_string(n);
    EXPECT_TRUE(fs::is_regular_file(prefix_ / "share" / "icons" / "hicolor" / size / "apps" /
                                    (std::string(kAppId) + ".png")))
        << size;
  }
  const std::string entry = ReadAll(desktop);
  EXPECT_NE(entry.find("\nExec=zantrel %f\n"), std::string::npos) << entry;
  EXPECT_NE(entry.find("\nMimeType=video/x-flv;video/mp4;video/3gpp;video/x-msvideo;\n"),
            std::string::npos);

  std::string out;
  EXPECT_EQ(RunCommand("desktop-file-validate " + zantrel::QuoteArgument(desktop.string()), &out), 0) << out;
  EXPECT_TRUE(out.empty()) << out;  // not even a hint
  EXPECT_EQ(RunCommand("appstreamcli validate --no-net " + zantrel::QuoteArgument(metainfo.string()), &out), 0)
      << out;
}

TEST_F(Installed, ReadOnlyProgramFolderKeepsSettingsInTheXdgFolder) {
  ASSERT_EQ(installRc_, 0) << installLog_;
  // The program folder as a package leaves it: nobody but root writes it.
  for (const auto& e : fs::recursive_directory_iterator(ProgramDir()))
    fs::permissions(e.path(), fs::perms::owner_write, fs::perm_options::remove);
  fs::permissions(ProgramDir(), fs::perms::owner_write, fs::perm_options::remove);

  // The user's folders; as root the program runs as nobody, who owns them.
  const fs::path config = root_ / "home" / "config";
  fs::create_directories(config);
  if (geteuid() == 0) {
    ASSERT_EQ(chown((root_ / "home").c_str(), 65534, 65534), 0);
    ASSERT_EQ(chown(config.c_str(), 65534, 65534), 0);
  }
  const fs::path settings = config / "zantrel";

  // A clip on the command line, so the start with a file is run too.
  const fs::path clip = root_ / "clip.mp4";
  ASSERT_EQ(RunCommand("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=160x120:rate=25:duration=2 "
                "-c:v libx264 -preset ultrafast -pix_fmt yuv420p " +
                zantrel::QuoteArgument(clip.string())),
            0);
  fs::permissions(clip, fs::perms::others_read, fs::perm_options::add);

  RunInstalled(config, zantrel::QuoteArgument(clip.string()));
  EXPECT_EQ(ReadAll(settings / "lang_set.ini"), "[Setting]\r\nLanguage=Chinese_Simplified\r\n");
  EXPECT_EQ(ReadAll(settings / "skin.ini"), "[Skin]\r\nID=KORVANE\r\nSkinNum=1\r\n");
  EXPECT_FALSE(fs::exists(ProgramDir() / "lang_set.ini"));
  EXPECT_FALSE(fs::exists(ProgramDir() / "skin.ini"));

  // What a user chose is read back from there at the next start: a skin
  // read from anywhere else would be saved as KORVANE again.
  {
    std::ofstream(settings / "skin.ini", std::ios::binary) << "[Skin]\r\nID=CORONA\r\nSkinNum=3\r\n";
    std::ofstream(settings / "lang_set.ini", std::ios::binary)
        << "[Setting]\r\nLanguage=English\r\n";
  }
  RunInstalled(config);
  EXPECT_EQ(ReadAll(settings / "skin.ini"), "[Skin]\r\nID=CORONA\r\nSkinNum=3\r\n");
  EXPECT_EQ(ReadAll(settings / "lang_set.ini"), "[Setting]\r\nLanguage=English\r\n");
  EXPECT_FALSE(fs::exists(ProgramDir() / "skin.ini"));
}
