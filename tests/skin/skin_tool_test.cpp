// coinshell-skin render, run as a skin designer runs it.
#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>
#include <cstdlib>

#include "skin_fixture.h"

namespace cs {
namespace {

struct ToolRun {
  int exit_code;
  std::string out;
  std::string err;
};

ToolRun Tool(const QStringList& args) {
  const char* bin = std::getenv("COINSHELL_BINARY_DIR");
  QProcess p;
  p.start(QString::fromUtf8(bin ? bin : ".") + "/tools/coinshell-skin/coinshell-skin", args);
  EXPECT_TRUE(p.waitForFinished(60000));
  return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
          p.readAllStandardOutput().toStdString(), p.readAllStandardError().toStdString()};
}

TEST(SkinTool, RenderAppliesOptionsInOrderAndReportsFaults) {
  test::SkinFolder folder;
  const QString ini = QString::fromStdString(folder.Write("skin.ini", test::kBaseSkin));
  const QString png = QString::fromStdString(folder.Path("out.png"));

  // Hover lights A and its action is reported; the leave of B and the hover of C change nothing.
  const ToolRun ok = Tool({"render", "--skin", ini, "--out", png, "--leave", "B", "--hover", "a",
                           "--text", "A=Hi", "--text-disabled", "A", "--hover", "c"});
  EXPECT_EQ(ok.exit_code, 0) << ok.err;
  EXPECT_EQ(ok.out, "action 11\naction 1\n");
  const QImage img(png);
  ASSERT_EQ(img.size(), QSize(640, 480));
  EXPECT_EQ(img.pixel(10, 10) & 0xFFFFFF, test::kLit);
  EXPECT_EQ(img.pixel(200, 10) & 0xFFFFFF, test::kBackground);  // C stays hidden

  // --no-settle writes the canvas as it is: B's click fade half-way.
  const ToolRun mid =
      Tool({"render", "--skin", ini, "--out", png, "--click", "B", "--wait", "50", "--no-settle"});
  EXPECT_EQ(mid.exit_code, 0) << mid.err;
  EXPECT_EQ(QImage(png).pixel(100, 10) & 0xFFFFFF, 0x006464u);

  struct Fault {
    QStringList args;
    int code;
    const char* says;
  };
  const Fault faults[] = {
      {{}, 2, "usage:"},
      {{"paint"}, 2, "unknown command"},
      {{"render", "--skin", ini}, 2, "--out is required"},
      {{"render", "--skin", ini, "--out"}, 2, "needs a value"},
      {{"render", "--skin", ini, "--out", png, "--text", "A"}, 2, "OBJ=TEXT"},
      {{"render", "--skin", ini, "--out", png, "--hover", "NOPE"}, 2, "no object named NOPE"},
      {{"render", "--skin", ini + ".missing", "--out", png}, 1, "cannot open"},
  };
  for (const Fault& f : faults) {
    const ToolRun r = Tool(f.args);
    EXPECT_EQ(r.exit_code, f.code) << f.args.join(' ').toStdString();
    EXPECT_NE(r.err.find(f.says), std::string::npos) << r.err;
  }
}

}  // namespace
}  // namespace cs
