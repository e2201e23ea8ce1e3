#include "skin/skin_engine.h"

#include <QImageReader>
#include <QPainter>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unordered_map>

#include "platform/drive_map.h"
#include "platform/log.h"
#include "skin/skin_text_private.h"

namespace cs {

namespace {

constexpr int kMaxPictureSide = 8192;
constexpr int kMaxActionDepth = 16;
constexpr int kTextMargin = 4;

void Diag(std::string_view text) { LogDiag("skin", text); }

std::string Located(const std::string& path, int line, const std::string& message) {
  return line > 0 ? path + ":" + std::to_string(line) + ": " + message : path + ": " + message;
}

// A picture's file under the skin's folder: as written if it exists, else each component
// matched without regard to case (skins made on systems that ignore case).
std::filesystem::path PicturePath(const std::filesystem::path& dir, const std::string& file) {
  std::filesystem::path exact = dir / file;
  std::error_code ec;
  if (std::filesystem::exists(exact, ec)) return exact;
  std::filesystem::path p = dir;
  for (const auto& part : std::filesystem::path(file)) p = MatchCaseInsensitive(p, part.string());
  return p;
}

bool AllOpaque(const QImage& img) {
  for (int y = 0; y < img.height(); ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(img.constScanLine(y));
    for (int x = 0; x < img.width(); ++x) {
      if ((row[x] >> 24) != 0xFF) return false;
    }
  }
  return true;
}

// Cross-fade of two premultiplied ARGB32 pictures of one size into the canvas at `at`;
// a is the share of `to`, 0..256. Two channels at a time: each 16-bit lane holds at most
// 255 * 256, so no lane overflows into the next.
void Blend(const QImage& from, const QImage& to, int a, QImage* canvas, QPoint at) {
  const std::uint32_t b = static_cast<std::uint32_t>(256 - a);
  const std::uint32_t ua = static_cast<std::uint32_t>(a);
  for (int y = 0; y < from.height(); ++y) {
    const auto* f = reinterpret_cast<const std::uint32_t*>(from.constScanLine(y));
    const auto* t = reinterpret_cast<const std::uint32_t*>(to.constScanLine(y));
    auto* d = reinterpret_cast<std::uint32_t*>(canvas->scanLine(at.y() + y)) + at.x();
    for (int x = 0; x < from.width(); ++x) {
      const std::uint32_t rb = (((f[x] & 0xFF00FF) * b + (t[x] & 0xFF00FF) * ua) >> 8) & 0xFF00FF;
      const std::uint32_t ag =
          (((f[x] >> 8) & 0xFF00FF) * b + ((t[x] >> 8) & 0xFF00FF) * ua) & 0xFF00FF00;
      d[x] = rb | ag;
    }
  }
}

}  // namespace

struct SkinPicture {
  std::string name;
  QImage image;  // premultiplied ARGB32; null when the file could not be read
  bool opaque = false;
};

struct LoadedSkin {
  std::vector<SkinPicture> pictures;
  std::unordered_map<std::string, int> picture_index;  // lower-case name
  std::vector<std::unique_ptr<SkinObject>> objects;    // drawing order

  int FindPicture(std::string_view name) const {
    const auto it = picture_index.find(skin_text::ToLower(name));
    return it == picture_index.end() ? -1 : it->second;
  }
};

void SkinObject::SetText(std::string text) {
  text_ = std::move(text);
  qtext_ = QString::fromStdString(text_);
}

SkinEngine::SkinEngine(EventLoop& loop)
    : loop_(loop),
      tick_(loop, kSkinTickMs, false, [this] { Tick(); }),
      canvas_(kCanvasWidth, kCanvasHeight, QImage::Format_ARGB32_Premultiplied) {
  canvas_.fill(Qt::black);
}

SkinEngine::~SkinEngine() = default;

bool SkinEngine::Load(const std::string& iniPath) {
  // The old skin goes first, with its scripts: nothing of it runs on.
  skin_.reset();
  ++generation_;
  auto fail = [&](const std::string& message) {
    last_error_ = message;
    Diag(message);
    Clear();
    UpdateTimer();
    return false;
  };

  std::ifstream in(iniPath, std::ios::binary);
  if (!in) return fail(iniPath + ": cannot open the skin file");
  std::string text;
  char buf[65536];
  while (in.read(buf, sizeof buf) || in.gcount() > 0) {
    text.append(buf, static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxSkinTextBytes) return fail(iniPath + ": larger than 4 MiB");
  }
  if (in.bad()) return fail(iniPath + ": read error");

  SkinParseResult parsed = ParseSkin(text);
  for (const SkinDiagnostic& w : parsed.warnings) Diag(Located(iniPath, w.line, w.message));
  if (!parsed.ok) return fail(Located(iniPath, parsed.error.line, parsed.error.message));

  auto skin = std::make_shared<LoadedSkin>();
  const std::filesystem::path dir = std::filesystem::path(iniPath).parent_path();
  for (const PictureDescription& pd : parsed.skin.pictures) {
    SkinPicture pic;
    pic.name = pd.name;
    const std::filesystem::path file = PicturePath(dir, pd.file);
    QImageReader reader(QString::fromStdString(file.string()));
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > kMaxPictureSide || size.height() > kMaxPictureSide)) {
      Diag(
          Located(iniPath, pd.line, "picture " + pd.name + " is larger than 8192 x 8192: skipped"));
    } else {
      QImage img = reader.read();
      if (img.isNull()) {
        Diag(Located(iniPath, pd.line,
                     "picture " + pd.name + " (" + file.string() +
                         ") cannot be read: " + reader.errorString().toStdString()));
      } else {
        pic.image = img.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        pic.opaque = !img.hasAlphaChannel() || AllOpaque(pic.image);
      }
    }
    skin->picture_index.emplace(skin_text::ToLower(pd.name),
                                static_cast<int>(skin->pictures.size()));
    skin->pictures.push_back(std::move(pic));
  }

  for (std::size_t i = 0; i < parsed.skin.objects.size(); ++i) {
    const ObjectDescription& d = parsed.skin.objects[i];
    std::unique_ptr<SkinObject> o(new SkinObject());
    o->owner_ = skin.get();
    o->index_ = static_cast<int>(i);
    o->subtree_end_ = d.subtree_end;
    o->name_ = d.name;
    o->rect_ = QRect(d.left, d.top, d.width, d.height);
    if (d.parent >= 0) {
      o->parent_ = skin->objects[d.parent].get();
      o->parent_->children_.push_back(o.get());
    }
    if (d.image) {
      o->picture_ = skin->FindPicture(d.image->picture);
      o->source_ = QRect(d.image->x1, d.image->y1, d.image->Width(), d.image->Height());
    }
    o->SetText(d.text);
    o->text_enabled_ = d.text_enabled;
    o->font_ = QFont(QString::fromStdString(d.font_name));
    o->font_.setPixelSize(d.font_size);
    o->font_.setBold(d.bold);
    o->font_.setItalic(d.italic);
    o->font_.setUnderline(d.underline);
    o->font_.setStyleStrategy(QFont::PreferAntialias);
    const int horizontal = d.align == TextAlign::kLeft     ? Qt::AlignLeft
                           : d.align == TextAlign::kCenter ? Qt::AlignHCenter
                                                           : Qt::AlignRight;
    o->align_flags_ = horizontal | Qt::AlignVCenter | Qt::TextSingleLine;
    o->text_color_ = QColor(static_cast<QRgb>(d.text_color));
    o->disabled_text_color_ = QColor(static_cast<QRgb>(d.disabled_text_color));
    o->shown_ = d.visible;
    o->drawn_ = d.visible && (o->parent_ == nullptr || o->parent_->drawn_);
    o->scripts_ = d.scripts;
    skin->objects.push_back(std::move(o));
  }

  skin_ = std::move(skin);
  last_error_.clear();
  RepaintSkin();
  UpdateTimer();
  return true;
}

SkinObject* SkinEngine::RootObject() const {
  return skin_ && !skin_->objects.empty() ? skin_->objects.front().get() : nullptr;
}

SkinObject* SkinEngine::FindObject(SkinObject* object, std::string_view name) const {
  if (!Owns(object)) return nullptr;
  for (int i = object->index_; i < object->subtree_end_; ++i) {
    SkinObject* o = skin_->objects[i].get();
    if (skin_text::IEquals(o->name_, name)) return o;
  }
  return nullptr;
}

void SkinEngine::ShowObject(SkinObject* object, bool on) {
  if (!Owns(object)) return;
  QRect area;
  for (int i = object->index_; i < object->subtree_end_; ++i) {
    SkinObject* o = skin_->objects[i].get();
    o->shown_ = on;
    // Drawing order puts a parent before its descendants, so its drawn_ is already up to date.
    const bool drawn = on && (o->parent_ == nullptr || o->parent_->drawn_);
    if (drawn != o->drawn_) {
      o->drawn_ = drawn;
      area |= o->rect_;
    }
    if (!drawn) o->run_ = {};
  }
  if (!area.isEmpty()) PaintRegion(area, nullptr);
  UpdateTimer();
}

void SkinEngine::RunScript(SkinObject* object, std::string_view text) {
  Run(object, text, /*logProblems=*/true);
}

void SkinEngine::Run(SkinObject* object, std::string_view text, bool logProblems) {
  if (!Owns(object) || !object->drawn_) return;
  ParsedScript parsed = ParseScript(text);
  if (logProblems) {
    for (const std::string& p : parsed.problems) Diag("object " + object->name_ + ": " + p);
  }
  if (parsed.commands.empty()) return;
  const std::shared_ptr<LoadedSkin> keep = skin_;
  CutScript(object);
  // A handler raised while the old script ended may have reloaded, hidden the object or
  // started its own script on it: the newest state holds.
  if (skin_ != keep || !object->drawn_ || object->run_.active) return;
  SkinObject::ScriptRun& run = object->run_;
  run = {};
  run.active = true;
  run.serial = ++serial_;
  run.commands = std::move(parsed.commands);
  StartStep(object, 0);
  UpdateTimer();
}

void SkinEngine::RunEvent(SkinObject* object, ScriptKind kind, bool recurse) {
  if (!Owns(object)) return;
  const std::shared_ptr<LoadedSkin> keep = skin_;
  const int end = recurse ? object->subtree_end_ : object->index_ + 1;
  for (int i = object->index_; i < end; ++i) {
    if (skin_ != keep) return;
    SkinObject* o = keep->objects[i].get();
    // Stored scripts were checked at load: their problems are not logged again at every run.
    const std::string script = o->Script(kind);
    Run(o, script, /*logProblems=*/false);
  }
}

void SkinEngine::RunHoverEvent(SkinObject* o, bool recurse) {
  RunEvent(o, ScriptKind::kHover, recurse);
}
void SkinEngine::RunLeaveEvent(SkinObject* o, bool recurse) {
  RunEvent(o, ScriptKind::kLeave, recurse);
}
void SkinEngine::RunClickEvent(SkinObject* o, bool recurse) {
  RunEvent(o, ScriptKind::kClick, recurse);
}
void SkinEngine::RunRightClickEvent(SkinObject* o, bool recurse) {
  RunEvent(o, ScriptKind::kRightClick, recurse);
}

void SkinEngine::ExecuteCommand(SkinObject* object, std::string_view command) {
  if (!Owns(object)) return;
  const ParsedScript parsed = ParseScript(command);
  const ScriptCommand* change = nullptr;
  for (const ScriptCommand& c : parsed.commands) {
    if (c.op == ScriptOp::kChangeImage) {
      change = &c;
      break;
    }
  }
  if (change == nullptr) return;
  SkinObject::ScriptRun& run = object->run_;
  if (run.fading) {
    run.fading = false;
    run.fade_from = run.fade_to = QImage();
    run.ready_after_tick = tick_count_;
    if (run.current + 1 >= static_cast<int>(run.commands.size())) run.active = false;
  }
  if (SetImage(object, change->image) && object->drawn_) PaintRegion(object->rect_, object);
  UpdateTimer();
}

void SkinEngine::RepaintSkin() { PaintRegion(canvas_.rect(), nullptr); }

void SkinEngine::RepaintObject(SkinObject* object) {
  if (Owns(object)) PaintRegion(object->rect_, nullptr);
}

SkinObject* SkinEngine::ObjectAt(int x, int y) const {
  if (!skin_) return nullptr;
  for (auto it = skin_->objects.rbegin(); it != skin_->objects.rend(); ++it) {
    SkinObject* o = it->get();
    if (o->drawn_ && o->rect_.contains(x, y)) return o;
  }
  return nullptr;
}

bool SkinEngine::ScriptsRunning() const {
  if (!skin_) return false;
  for (const auto& o : skin_->objects) {
    if (o->run_.active) return true;
  }
  return false;
}

void SkinEngine::UpdateTimer() { tick_.SetEnabled(ScriptsRunning()); }

void SkinEngine::Tick() {
  ++tick_count_;
  const std::shared_ptr<LoadedSkin> keep = skin_;
  if (keep) {
    std::vector<std::pair<SkinObject*, std::uint64_t>> due;
    for (const auto& o : keep->objects) {
      if (o->run_.active) due.emplace_back(o.get(), o->run_.serial);
    }
    for (const auto& [o, serial] : due) {
      if (skin_ != keep) break;
      SkinObject::ScriptRun& run = o->run_;
      // Skip scripts replaced during this tick and steps that ended during it.
      if (!run.active || run.serial != serial || tick_count_ <= run.ready_after_tick) continue;
      if (run.fading) {
        FadeFrame(o);
      } else {
        StartStep(o, run.current + 1);
      }
    }
  }
  UpdateTimer();
}

bool SkinEngine::StartStep(SkinObject* o, int i) {
  SkinObject::ScriptRun& run = o->run_;
  const int count = static_cast<int>(run.commands.size());
  if (i >= count) {
    run.active = false;
    return true;
  }
  run.current = i;
  run.ready_after_tick = tick_count_;
  const bool last = i + 1 >= count;
  const ScriptCommand& cmd = run.commands[i];
  switch (cmd.op) {
    case ScriptOp::kChangeImage:
      if (SetImage(o, cmd.image)) PaintRegion(o->rect_, nullptr);
      if (last) run.active = false;
      return true;
    case ScriptOp::kFadeImage: {
      const QRect r = o->rect_ & canvas_.rect();
      if (cmd.fade_ms <= 0) {
        if (SetImage(o, cmd.image)) PaintRegion(r, nullptr);
        if (last) run.active = false;
        return true;
      }
      run.fading = true;
      run.fade_start_ms = loop_.NowMs();
      run.fade_ms = cmd.fade_ms;
      run.fade_rect = r;
      // An unknown picture leaves the image as it was: the step then only takes its time.
      const bool changed = SetImage(o, cmd.image);
      if (changed && !r.isEmpty()) {
        run.fade_from = canvas_.copy(r);
        PaintRegion(r, nullptr, /*notify=*/false);
        run.fade_to = canvas_.copy(r);
        QPainter p(&canvas_);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(r.topLeft(), run.fade_from);
      }
      return true;
    }
    case ScriptOp::kAction: {
      if (last) run.active = false;
      const std::uint64_t serial = run.serial;
      const int n = cmd.action;
      RaiseAction(n);
      return Owns(o) && o->run_.serial == serial;
    }
  }
  return true;
}

void SkinEngine::FadeFrame(SkinObject* o) {
  SkinObject::ScriptRun& run = o->run_;
  const std::int64_t elapsed = loop_.NowMs() - run.fade_start_ms;
  if (elapsed >= run.fade_ms) {
    run.fading = false;
    run.fade_from = run.fade_to = QImage();
    run.ready_after_tick = tick_count_;
    if (run.current + 1 >= static_cast<int>(run.commands.size())) run.active = false;
    PaintRegion(run.fade_rect, nullptr);
    return;
  }
  if (run.fade_from.isNull()) return;  // nothing changes: the step only takes its time
  const int a = static_cast<int>(elapsed * 256 / run.fade_ms);
  Blend(run.fade_from, run.fade_to, a, &canvas_, run.fade_rect.topLeft());
  Changed(run.fade_rect);
}

void SkinEngine::CutScript(SkinObject* o) {
  if (!o->run_.active) return;
  // Detach first: a handler raised below sees an object without a script.
  SkinObject::ScriptRun old = std::move(o->run_);
  o->run_ = {};
  if (old.fading) PaintRegion(old.fade_rect, nullptr);  // the fade jumps to its end
  const int next = old.current + 1;
  if (next >= static_cast<int>(old.commands.size())) return;
  const ScriptCommand& cmd = old.commands[next];
  if (cmd.op == ScriptOp::kAction) {
    RaiseAction(cmd.action);
  } else if (SetImage(o, cmd.image)) {
    PaintRegion(o->rect_, nullptr);
  }
}

bool SkinEngine::SetImage(SkinObject* o, const ImageRef& ref) {
  const int pic = skin_->FindPicture(ref.picture);
  if (pic < 0) {
    Diag("object " + o->name_ + ": unknown picture " + ref.picture);
    return false;
  }
  o->picture_ = pic;
  o->source_ = QRect(ref.x1, ref.y1, ref.Width(), ref.Height());
  return true;
}

void SkinEngine::RaiseAction(int n) {
  if (!OnCustomAction) return;
  if (action_depth_ >= kMaxActionDepth) {
    Diag("action " + std::to_string(n) + " dropped: custom actions nested 16 deep");
    return;
  }
  struct Depth {
    int& d;
    explicit Depth(int& v) : d(v) { ++d; }
    ~Depth() { --d; }
  } depth(action_depth_);
  const auto handler = OnCustomAction;  // the handler may replace itself
  handler(n);
}

void SkinEngine::PaintRegion(QRect region, const SkinObject* noText, bool notify) {
  region &= canvas_.rect();
  if (region.isEmpty()) return;
  QPainter p(&canvas_);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.fillRect(region, Qt::black);
  if (skin_) {
    for (const auto& u : skin_->objects) {
      const SkinObject& o = *u;
      if (!o.drawn_ || o.picture_ < 0) continue;
      const SkinPicture& pic = skin_->pictures[o.picture_];
      if (pic.image.isNull()) continue;
      const QRect src = o.source_ & pic.image.rect();
      if (src.isEmpty()) continue;
      // Unscaled, the rectangle's top-left at the object's top-left, clipped to the object.
      const QPoint offset(o.rect_.left() - o.source_.left(), o.rect_.top() - o.source_.top());
      const QRect dst = src.translated(offset) & o.rect_ & region;
      if (dst.isEmpty()) continue;
      p.setCompositionMode(pic.opaque ? QPainter::CompositionMode_Source
                                      : QPainter::CompositionMode_SourceOver);
      p.drawImage(dst.topLeft(), pic.image, dst.translated(-offset));
    }
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.setRenderHint(QPainter::TextAntialiasing);
    for (const auto& u : skin_->objects) {
      const SkinObject& o = *u;
      if (!o.drawn_ || &o == noText || o.qtext_.isEmpty()) continue;
      // The caption keeps 4 pixels from the object's left and right edges, even when clipped.
      const QRect box(o.rect_.left() + kTextMargin, o.rect_.top(),
                      o.rect_.width() - 2 * kTextMargin, o.rect_.height());
      const QRect clip = box & region;
      if (clip.isEmpty()) continue;
      p.setClipRect(clip);
      p.setFont(o.font_);
      p.setPen(o.text_enabled_ ? o.text_color_ : o.disabled_text_color_);
      p.drawText(box, o.align_flags_, o.qtext_);
    }
  }
  p.end();
  if (notify) Changed(region);
}

void SkinEngine::Changed(const QRect& r) {
  if (OnCanvasChanged) OnCanvasChanged(r);
}

void SkinEngine::Clear() {
  canvas_.fill(Qt::black);
  Changed(canvas_.rect());
}

}  // namespace cs
