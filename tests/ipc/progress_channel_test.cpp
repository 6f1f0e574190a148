#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/launcher.h"
#include "platform/progress_channel.h"

namespace fs = std::filesystem;
using zantrel::ProgressChannelClient;
using zantrel::ProgressChannelServer;

namespace {

// Sets or unsets an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old;
    if (value) setenv(name, value, 1); else unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_) setenv(name_.c_str(), old_->c_str(), 1); else unsetenv(name_.c_str());
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

struct ChannelTempDir {
  fs::path path;
  explicit ChannelTempDir(fs::perms mode = fs::perms::owner_all) {
    char tmpl[] = "/tmp/zantrel-chan-XXXXXX";
    path = mkdtemp(tmpl);
    fs::permissions(path, mode);
  }
  ~ChannelTempDir() { fs::remove_all(path); }
};

mode_t ModeOf(const std::string& p) {
  struct stat st;
  return stat(p.c_str(), &st) == 0 ? st.st_mode : 0;
}

// Waits (without a busy loop) until the channel has something to read.
void WaitReadable(const ProgressChannelServer& server, int timeoutMs = 5000) {
  std::vector<pollfd> p;
  for (int fd : server.WatchedFds()) p.push_back({fd, POLLIN, 0});
  poll(p.data(), p.size(), timeoutMs);
}

std::vector<std::int32_t> Percents(ProgressChannelServer& server, int maxBlocks = 64) {
  std::vector<std::int32_t> got;
  server.Poll(
      [&](const std::uint8_t* d, std::size_t n) {
        std::int32_t p = 0;
        EXPECT_TRUE(zantrel::ReadProgressPercent(d, n, &p));
        got.push_back(p);
      },
      maxBlocks);
  return got;
}

}  // namespace

TEST(PlatformProgressChannel, BlockLayout) {
  const auto b = zantrel::MakeProgressBlock(-2);
  ASSERT_EQ(b.size(), 12u);
  EXPECT_EQ(std::vector<std::uint8_t>(b.begin(), b.begin() + 8), std::vector<std::uint8_t>(8, 0));
  EXPECT_EQ(std::vector<std::uint8_t>(b.begin() + 8, b.end()),
            std::vector<std::uint8_t>({0xFE, 0xFF, 0xFF, 0xFF}));
  std::int32_t p = 0;
  const std::uint8_t raw[13] = {9, 9, 9, 9, 9, 9, 9, 9, 0x2D, 0x01, 0x00, 0x00, 7};
  EXPECT_TRUE(zantrel::ReadProgressPercent(raw, 13, &p));
  EXPECT_EQ(p, 301);
  EXPECT_FALSE(zantrel::ReadProgressPercent(raw, 11, &p));
}

TEST(PlatformProgressChannel, SocketInRuntimeDirWithPrivateModes) {
  ChannelTempDir runtime;
  ScopedEnv env("XDG_RUNTIME_DIR", runtime.path.c_str());
  std::string path;
  {
    ProgressChannelServer server;
    std::string error;
    ASSERT_TRUE(server.Listen(&error)) << error;
    path = server.Address();
    EXPECT_EQ(fs::path(path).parent_path(), runtime.path);
    EXPECT_TRUE(S_ISSOCK(ModeOf(path)));
    EXPECT_EQ(ModeOf(path) & 0777, 0600u);
    EXPECT_EQ(server.EnvironmentEntry(), std::string(zantrel::kProgressEnvVar) + "=" + path);
  }
  EXPECT_FALSE(fs::exists(path));  // removed with the server
  EXPECT_TRUE(fs::exists(runtime.path));  // but not the runtime folder
}

TEST(PlatformProgressChannel, PrivateFolderUnderTmpOtherwise) {
  for (int variant = 0; variant < 2; ++variant) {
    // Unset, or set to a folder that others may enter: a private folder then.
    ChannelTempDir open(fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                        fs::perms::others_read | fs::perms::others_exec);
    ScopedEnv env("XDG_RUNTIME_DIR", variant == 0 ? nullptr : open.path.c_str());
    std::string path, folder;
    {
      ProgressChannelServer server;
      std::string error;
      ASSERT_TRUE(server.Listen(&error)) << error;
      path = server.Address();
      folder = fs::path(path).parent_path().string();
      EXPECT_EQ(folder.rfind("/tmp/", 0), 0u) << folder;
      EXPECT_EQ(ModeOf(folder) & 0777, 0700u);
      EXPECT_EQ(ModeOf(path) & 0777, 0600u);
    }
    EXPECT_FALSE(fs::exists(path));
    EXPECT_FALSE(fs::exists(folder));
  }
}

TEST(PlatformProgressChannel, RoundTripInProcessAndShortBlocksDropped) {
  ProgressChannelServer server;
  std::string error;
  ASSERT_TRUE(server.Listen(&error)) << error;
  auto client = ProgressChannelClient::Connect(server.Address());
  ASSERT_NE(client, nullptr);
  EXPECT_TRUE(client->SendPercent(42));
  const char shortBlock[11] = {};
  EXPECT_TRUE(client->Send(shortBlock, sizeof shortBlock));
  std::vector<std::uint8_t> longer(40, 0);
  longer[8] = 77;
  EXPECT_TRUE(client->Send(longer.data(), longer.size()));

  std::vector<std::size_t> sizes;
  std::vector<std::int32_t> got;
  for (int i = 0; i < 50 && got.size() < 2; ++i) {
    WaitReadable(server);
    server.Poll([&](const std::uint8_t* d, std::size_t n) {
      sizes.push_back(n);
      std::int32_t p = 0;
      zantrel::ReadProgressPercent(d, n, &p);
      got.push_back(p);
    });
  }
  EXPECT_EQ(got, std::vector<std::int32_t>({42, 77}));
  EXPECT_EQ(sizes, std::vector<std::size_t>({12, 40}));
  EXPECT_EQ(server.WatchedFds().size(), 2u);  // listener and the one connection

  // The client goes away: its connection is closed at end of stream.
  client.reset();
  for (int i = 0; i < 50 && server.WatchedFds().size() > 1; ++i) {
    WaitReadable(server);
    Percents(server);
  }
  EXPECT_EQ(server.WatchedFds().size(), 1u);
}

TEST(PlatformProgressChannel, ClientInAnotherProcessViaTheEnvironment) {
  ProgressChannelServer server;
  std::string error;
  ASSERT_TRUE(server.Listen(&error)) << error;
  zantrel::LaunchOptions opt;
  opt.extraEnv = {server.EnvironmentEntry()};
  zantrel::ChildProcess child;
  ASSERT_TRUE(child.Start(std::string(ZANTREL_FIXTURE_DIR) + "/progress_send 10 50 100", opt,
                          &error))
      << error;
  std::vector<std::int32_t> got;
  int status = -1;
  bool exited = false;
  for (int i = 0; i < 500 && (got.size() < 3 || !exited); ++i) {
    WaitReadable(server, 100);
    const auto more = Percents(server);
    got.insert(got.end(), more.begin(), more.end());
    if (!exited) exited = child.WaitFor(0, &status);
  }
  EXPECT_EQ(got, std::vector<std::int32_t>({10, 50, 100}));
  ASSERT_TRUE(exited);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(PlatformProgressChannel, FromEnvironment) {
  {
    ScopedEnv env(zantrel::kProgressEnvVar, nullptr);
    EXPECT_EQ(ProgressChannelClient::FromEnvironment(), nullptr);
  }
  {
    ScopedEnv env(zantrel::kProgressEnvVar, "");
    EXPECT_EQ(ProgressChannelClient::FromEnvironment(), nullptr);
  }
  {
    ScopedEnv env(zantrel::kProgressEnvVar, "/tmp/zantrel-no-such-socket");
    EXPECT_EQ(ProgressChannelClient::FromEnvironment(), nullptr);
  }
  {
    const std::string tooLong = "/tmp/" + std::string(200, 'x');
    EXPECT_EQ(ProgressChannelClient::Connect(tooLong), nullptr);
  }
  ProgressChannelServer server;
  std::string error;
  ASSERT_TRUE(server.Listen(&error)) << error;
  ScopedEnv env(zantrel::kProgressEnvVar, server.Address().c_str());
  auto client = ProgressChannelClient::FromEnvironment();
  ASSERT_NE(client, nullptr);
  EXPECT_TRUE(client->SendPercent(5));
}

TEST(PlatformProgressChannel, SendToAVanishedServerFailsQuietly) {
  auto server = std::make_unique<ProgressChannelServer>();
  std::string error;
  ASSERT_TRUE(server->Listen(&error)) << error;
  auto client = ProgressChannelClient::Connect(server->Address());
  ASSERT_NE(client, nullptr);
  WaitReadable(*server);
  Percents(*server);  // accept it
  server.reset();
  // No SIGPIPE: the test process survives and the send reports failure.
  EXPECT_FALSE(client->SendPercent(1));
  EXPECT_FALSE(client->SendPercent(2));
}

TEST(PlatformProgressChannel, FloodIsDrainedInBoundedPolls) {
  ProgressChannelServer server;
  std::string error;
  ASSERT_TRUE(server.Listen(&error)) << error;
  constexpr int kBlocks = 10000;
  constexpr int kMax = 64;
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    // The sending child: blocks carry their sequence number in bytes 0..3.
    auto client = ProgressChannelClient::Connect(server.Address());
    if (!client) _exit(2);
    for (int i = 0; i < kBlocks; ++i) {
      auto block = zantrel::MakeProgressBlock(i % 101);
      std::memcpy(block.data(), &i, 4);
      int tries = 0;
      while (!client->Send(block.data(), block.size()))
        if (++tries == 1000) _exit(3);  // a full buffer: the parent drains it
    }
    _exit(0);
  }
  int received = 0, polls = 0, maxPerPoll = 0;
  bool inOrder = true;
  while (received < kBlocks && polls < 100000) {
    WaitReadable(server, 1000);
    int thisPoll = 0;
    server.Poll(
        [&](const std::uint8_t* d, std::size_t n) {
          ASSERT_EQ(n, 12u);
          int seq;
          std::memcpy(&seq, d, 4);
          if (seq != received) inOrder = false;
          ++received;
          ++thisPoll;
        },
        kMax);
    ++polls;
    if (thisPoll > maxPerPoll) maxPerPoll = thisPoll;
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(received, kBlocks);
  EXPECT_TRUE(inOrder);
  EXPECT_LE(maxPerPoll, kMax);
  EXPECT_GE(polls, kBlocks / kMax);
}

TEST(PlatformProgressChannel, PollWithoutListenDoesNothing) {
  ProgressChannelServer server;
  EXPECT_TRUE(server.WatchedFds().empty());
  EXPECT_FALSE(server.Poll([](const std::uint8_t*, std::size_t) { FAIL(); }));
}

TEST(PlatformProgressChannel, SenderIsThePeerProcessDuringTheHandlerOnly) {
  ProgressChannelServer server;
  std::string err;
  ASSERT_TRUE(server.Listen(&err)) << err;
  auto client = ProgressChannelClient::Connect(server.Address());
  ASSERT_NE(client, nullptr);
  ASSERT_TRUE(client->SendPercent(42));
  WaitReadable(server);
  std::vector<pid_t> senders;
  for (int i = 0; i < 50 && senders.empty(); ++i) {
    server.Poll([&](const std::uint8_t*, std::size_t) { senders.push_back(server.Sender()); });
    if (senders.empty()) WaitReadable(server, 100);
  }
  ASSERT_EQ(senders.size(), 1u);
  EXPECT_EQ(senders[0], getpid());
  EXPECT_EQ(server.Sender(), 0);
}
