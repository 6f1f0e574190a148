// The window's table of words in each shipped language: every sentence
// comes from the language file, the built-in ones stay the interface's own
// Chinese byte for byte, and numbers and names land where a translation
// puts them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QRegularExpression>
#include <QString>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "i18n/language.h"
#include "tests/ui/big5.h"
#include "ui/words.h"

namespace fs = std::filesystem;
using zantrel::FailureReason;
using zantrel::StartProblem;

namespace {
class WordsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/zantrel-words-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    fs::copy(fs::path(ZANTREL_SOURCE_DIR) / "res" / "data" / "Language", dir_ / "Language",
             fs::copy_options::recursive);
  }
  void TearDown() override {
    fs::remove_all(dir_);
    g_strLanguageFile.clear();
    g_strLanguage.clear();
  }
  void Use(const std::string& language) { SetLanguage(dir_.string() + "/", language); }

  // Every sentence the table can make, with numbers and names that show
  // whether they were put in.
  static std::vector<std::string> EverySentence() {
    std::vector<std::string> all = {words::MessageCaption(), words::SourceFilter(),
                                    words::CloseDuringJobQuestion(), words::NoFileManager("/srv/out/"),
                                    words::NoBrowser("/opt/z/home.html"), words::Progress(50),
                                    words::Paused(), words::Stopping(), words::Stopped(),
                                    words::Failed(), words::Done(), words::Ready(),
                                    words::PlayingPosition("Preview")};
    for (StartProblem p : {StartProblem::kNoSource, StartProblem::kDurationUnknown,
                           StartProblem::kNoOutputFolder, StartProblem::kSourceMissing}) {
      zantrel::StartCheck c;
      c.problem = p;
      c.sourcePath = "/srv/in/clip.mp4";
      all.push_back(words::StartRefusal(c));
    }
    for (zantrel::SourceVerdict v : {zantrel::SourceVerdict::kUnreadable, zantrel::SourceVerdict::kNotVideo,
                                     zantrel::SourceVerdict::kNoPictureNoSound, zantrel::SourceVerdict::kNoDuration,
                                     zantrel::SourceVerdict::kToolMissing})
      all.push_back(words::SourceProblem("/srv/in/clip.mp4", v));
    using zantrel::FolderProblem;
    for (FolderProblem p : {FolderProblem::kMissing, FolderProblem::kCannotCreate, FolderProblem::kNotFolder,
                            FolderProblem::kNoPermission, FolderProblem::kReadOnly, FolderProblem::kNoSpace,
                            FolderProblem::kTakesNoFiles}) {
      for (int err : {EACCES, EROFS, ENOSPC, ENOENT, ENAMETOOLONG}) {
        zantrel::FolderCheck c;
        c.problem = p;
        c.errnoValue = err;
        c.at = "/srv";
        all.push_back(words::FolderUnusable(c, "/srv/out/"));
      }
    }
    for (zantrel::PlanError e : {zantrel::PlanError::kTooManyParts, zantrel::PlanError::kNoSecondsPerPart,
                                 zantrel::PlanError::kUnknownMode}) {
      zantrel::SplitPlan plan;
      plan.error = e;
      plan.parts = 9;
      plan.seconds = 4;
      all.push_back(words::PlanError(plan));
    }
    all.push_back(words::ReplaceQuestion({"/o/a[1].mp4", "/o/a[2].mp4", "/o/a[3].mp4", "/o/a[4].mp4",
                                          "/o/a[5].mp4", "/o/a[6].mp4", "/o/a[7].mp4"}));
    all.push_back(words::RecentFileMissing("/o/a.mp4"));
    all.push_back(words::AllVideosFilterName());
    all.push_back(words::AllFilesFilterName());
    zantrel::JobSummary s;
    s.pieces = 7, s.written = 2, s.empty = 1, s.failed = 4, s.oldKept = 2;
    all.push_back(words::JobCounts(s));
    all.push_back(words::FailureSummary(s));
    zantrel::JobEnd end;
    end.summary = s;
    end.folder = "/srv/out/";
    end.emptySegments = {1, 7};
    all.push_back(words::DoneResult(end));
    for (FailureReason r : {FailureReason::kToolMissing, FailureReason::kAlreadyExists,
                            FailureReason::kDiskFull, FailureReason::kPermissionDenied,
                            FailureReason::kUnreadableSource, FailureReason::kSourceMissing,
                            FailureReason::kSourceChanged, FailureReason::kFolderMissing,
                            FailureReason::kToolKilled, FailureReason::kOther}) {
      zantrel::PieceFailure f;
      f.segment = 3;
      f.reason = r;
      f.signal = 9;
      all.push_back(words::PieceFailure(f));
      f.file = zantrel::PieceFile::kOld;
      all.push_back(words::PieceFailure(f));
    }
    zantrel::PieceFailure exited;
    exited.segment = 3, exited.reason = FailureReason::kOther, exited.exitCode = 70;
    all.push_back(words::PieceFailure(exited));
    exited.toolLine = "ZantrelCore: codec not found";
    all.push_back(words::PieceFailure(exited));
    return all;
  }
  fs::path dir_;
};

bool HasCjk(const std::string& s) {
  static const QRegularExpression cjk(QStringLiteral("[\\x{2E80}-\\x{9FFF}\\x{F900}-\\x{FAFF}\\x{FF00}-\\x{FFEF}]"));
  return QString::fromStdString(s).contains(cjk);
}
}  // namespace

TEST_F(WordsTest, EnglishSaysEverySentenceWithoutChineseAndWithItsNumbers) {
  Use("English");
  for (const std::string& s : EverySentence()) {
    EXPECT_FALSE(HasCjk(s)) << s;
    EXPECT_FALSE(s.empty());
  }
  EXPECT_EQ(words::Progress(50), "50% done");
  zantrel::JobSummary s;
  s.pieces = 7, s.written = 2, s.empty = 1, s.failed = 4, s.oldKept = 1;
  // The second sentence's leading space is quoted in the file, or the reader trims it.
  EXPECT_EQ(words::FailureSummary(s),
            "Pieces failed: 4 of 7. Pieces written and kept: 2. "
            "Pieces still holding the earlier file, not replaced: 1.");
  zantrel::PieceFailure f;
  f.segment = 3, f.reason = FailureReason::kToolKilled, f.signal = 9;
  EXPECT_EQ(words::PieceFailure(f), "Piece 3: the cutting tool ended unexpectedly (signal 9)");
  EXPECT_EQ(words::SourceFilter(),
            "Web video files(*.flv;*.mp4;*.3gp;*.avi)|*.flv;*.mp4;*.3gp;*.avi|All supported videos"
            "(*.flv;*.mp4;*.3gp;*.avi;*.mov)|*.flv;*.mp4;*.3gp;*.avi;*.mov|All files(*)|*|");
  EXPECT_NE(words::ReplaceQuestion({"/o/a[1].mp4"}).find("\na[1].mp4\n"), std::string::npos);
}

TEST_F(WordsTest, BuiltInAndSimplifiedFileSayTheSameBytes) {
  Use("Chinese_Simplified");
  const std::vector<std::string> shipped = EverySentence();
  Use("NoSuchLanguage");  // every key missing: the built-in texts
  EXPECT_EQ(EverySentence(), shipped);
  EXPECT_EQ(words::Progress(50), "完成 50%");
  EXPECT_EQ(words::Ready(), "准备就绪");
  zantrel::JobSummary s;
  s.pieces = 7, s.written = 2, s.empty = 1;
  EXPECT_EQ(words::JobCounts(s), "已写入 2/7 段，1 段为空");
  zantrel::JobEnd end;
  end.summary.written = 5;
  end.folder = "/o/";
  end.emptySegments = {1, 7};
  EXPECT_EQ(words::DoneResult(end), "已写入 5 段，保存在：\n/o/\n第1段、第7段长度为 0，没有生成文件");
}

TEST_F(WordsTest, TraditionalChineseDiffersWhereTheFormsDo) {
  Use("Chinese_Traditional");
  EXPECT_EQ(words::Failed(), "分割失敗");
  zantrel::JobSummary s;
  s.pieces = 7, s.written = 2, s.empty = 1;
  EXPECT_EQ(words::JobCounts(s), "已寫入 2/7 段，1 段為空");
  // Every sentence fits Big5, which holds no form only Simplified Chinese
  // writes.
  for (const std::string& sentence : EverySentence()) EXPECT_TRUE(FitsBig5(sentence)) << sentence;
}
