// The word table: every kind the model and the engine hand up has its
// sentence, byte for byte the one the window has always shown.
#include <gtest/gtest.h>

#include <cerrno>

#include "ui/words.h"

using namespace zantrel;

TEST(Words, PieceFailuresAndJobCounts) {
  const std::pair<FailureReason, const char*> cases[] = {
      {FailureReason::kToolMissing, "第4段：找不到分割工具 ZantrelCore，或无法启动它"},
      {FailureReason::kAlreadyExists, "第4段：同名文件已存在"},
      {FailureReason::kDiskFull, "第4段：磁盘空间不足"},
      {FailureReason::kPermissionDenied, "第4段：没有写入输出文件夹的权限"},
      {FailureReason::kUnreadableSource, "第4段：无法读取源文件"},
      {FailureReason::kSourceMissing, "第4段：源文件已不存在（被移走或删除）"},
      {FailureReason::kSourceChanged, "第4段：源文件在分割过程中被改动"},
      {FailureReason::kFolderMissing, "第4段：输出文件夹已不存在"},
  };
  PieceFailure f;
  f.segment = 4;
  for (const auto& [reason, text] : cases) {
    f.reason = reason;
    EXPECT_EQ(words::PieceFailure(f), text);
  }
  f.reason = FailureReason::kToolKilled;
  f.signal = 9;
  EXPECT_EQ(words::PieceFailure(f), "第4段：分割工具意外终止（信号 9）");
  // Where no plain words fit, the tool's own sentence is shown as it is.
  f.reason = FailureReason::kOther;
  f.toolLine = "ZantrelCore: cannot open the video encoder libx264: Invalid argument";
  EXPECT_EQ(words::PieceFailure(f), "第4段：分割出错（cannot open the video encoder libx264: Invalid argument）");
  f.toolLine.clear();
  f.exitCode = 1;
  EXPECT_EQ(words::PieceFailure(f), "第4段：分割工具出错（退出码 1）");
  f.exitCode = -1;
  EXPECT_EQ(words::PieceFailure(f), "第4段：没有生成输出文件");

  JobSummary s;
  s.pieces = 5;
  s.written = 3;
  s.empty = 1;
  s.failed = 1;
  EXPECT_EQ(words::JobCounts(s), "已写入 3/5 段，1 段为空");
  EXPECT_EQ(words::FailureSummary(s), "共 5 段，其中 1 段分割失败；已写入的 3 段已保留。");
  EXPECT_EQ(words::Progress(42), "完成 42%");
}

TEST(Words, StartRefusals) {
  StartCheck c;
  EXPECT_EQ(words::StartRefusal(c), "");
  c.problem = StartProblem::kPlanInvalid;
  c.plan.error = PlanError::kTooManyParts;
  c.plan.parts = 61;
  c.plan.seconds = 60;
  EXPECT_EQ(words::StartRefusal(c), "分割段数（61）超过了视频的秒数（60），每段至少要有一秒，请减少段数！");
  c.plan.error = PlanError::kNoSecondsPerPart;
  EXPECT_EQ(words::StartRefusal(c), "每段秒数必须大于0，请重新输入！");
  c.problem = StartProblem::kFolderNotWritable;
  c.folder = "/o/";
  c.errnoValue = EROFS;
  EXPECT_EQ(words::StartRefusal(c), "无法写入输出文件夹（磁盘是只读的）：\n/o/\n请选择其他保存位置！");
  c.problem = StartProblem::kFolderNotCreated;
  c.folder = "";
  EXPECT_EQ(words::StartRefusal(c), "无法创建输出文件夹：\n.\n请选择其他保存位置！");
  EXPECT_EQ(words::ReplaceFailed("/o/a[1].mp4", EISDIR), "无法替换已有的文件：\n/o/a[1].mp4：这是一个文件夹");
  EXPECT_EQ(words::ReplaceFailed("/o/a[1].mp4", EACCES), "无法替换已有的文件：\n/o/a[1].mp4：没有写入权限");
}
