// skinart: draws the pictures of the skins at build time.
//
//   skinart OUTDIR                          every picture of the menu as PNG into OUTDIR
//   skinart --skin NAME OUTDIR              every picture of an operator skin (test, settings,
//                                           inputs, monitor) as PNG into OUTDIR
//   skinart --skin NAME --design OUT.png    how that skin's screen looks with every object
//                                           showing its first picture
//   skinart --preview OUT.png [--scene S]   one menu screen put together from the pictures
//   skinart --scenes                        the names of the preview scenes

#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QGuiApplication>
#include <QStringList>
#include <cerrno>
#include <cstdio>
#include <exception>

#include "menu_art.h"
#include "menu_check.h"
#include "menu_preview.h"
#include "operator_art.h"
#include "operator_check.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: skinart OUTDIR\n"
               "       skinart --skin NAME OUTDIR\n"
               "       skinart --skin NAME --design OUT.png\n"
               "       skinart --preview OUT.png [--scene NAME]\n"
               "       skinart --scenes\n");
  return 2;
}

bool Save(const QImage& image, const QString& path) {
  if (image.convertToFormat(QImage::Format_RGB32).save(path, "PNG")) return true;
  std::fprintf(stderr, "skinart: cannot write %s\n", qPrintable(path));
  return false;
}

int Run(const QStringList& args) {
  using namespace cs::skinart;
  if (args.size() == 1 && args[0] == "--scenes") {
    for (const QString& s : PreviewScenes()) std::printf("%s\n", qPrintable(s));
    return 0;
  }
  if (!args.isEmpty() && args[0] == "--preview") {
    if (args.size() != 2 && !(args.size() == 4 && args[2] == "--scene")) return Usage();
    const QString scene = args.size() == 4 ? args[3] : QStringLiteral("menu");
    return Save(RenderPreview(DrawMenuPictures(), scene), args[1]) ? 0 : 1;
  }
  if (!args.isEmpty() && args[0] == "--skin") {
    if (args.size() < 3 || !OperatorSkins().contains(args[1])) return Usage();
    const OperatorSkinArt art = DrawOperatorSkin(args[1]);
    if (args.size() == 4 && args[2] == "--design") {
      return Save(ShowDesignedScreen(art, -1), args[3]) ? 0 : 1;
    }
    if (args.size() != 3 || args[2].startsWith("-")) return Usage();
    const QDir out(args[2]);
    if (!QDir().mkpath(out.path())) {
      std::fprintf(stderr, "skinart: cannot create %s\n", qPrintable(out.path()));
      return 1;
    }
    for (const SkinPicture& p : art.pictures) {
      if (!Save(p.image, out.filePath(p.file))) return 1;
    }
    const std::vector<std::string> faults = CheckOperatorSkin(args[1], art);
    for (const std::string& f : faults) std::fprintf(stderr, "skinart: %s\n", f.c_str());
    return faults.empty() ? 0 : 1;
  }
  if (args.size() != 1 || args[0].startsWith("-")) return Usage();

  const QDir out(args[0]);
  if (!QDir().mkpath(out.path())) {
    std::fprintf(stderr, "skinart: cannot create %s\n", qPrintable(out.path()));
    return 1;
  }
  const std::vector<SkinPicture> pictures = DrawMenuPictures();
  for (const SkinPicture& p : pictures) {
    if (!Save(p.image, out.filePath(p.file))) return 1;
  }
  const std::vector<std::string> faults = CheckMenuPictures(pictures);
  for (const std::string& f : faults) std::fprintf(stderr, "skinart: %s\n", f.c_str());
  return faults.empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  // No window is ever opened: the offscreen platform works with or without a display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Build machines often have no session: give Qt the private runtime folder it would fall back
  // to, so that the build log stays free of its warning.
  if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
    const QByteArray dir =
        QDir::tempPath().toLocal8Bit() + "/runtime-" + QByteArray::number(getuid());
    if (mkdir(dir.constData(), 0700) == 0 || errno == EEXIST) qputenv("XDG_RUNTIME_DIR", dir);
  }
  QGuiApplication app(argc, argv);
  QStringList args = QGuiApplication::arguments();
  args.removeFirst();
  try {
    return Run(args);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "skinart: %s\n", e.what());
    return 1;
  }
}
