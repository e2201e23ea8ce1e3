#pragma once
// The skin engine (the screens call their instance Ske): loads a skin, draws it onto a 640 x 480
// canvas and runs the objects' scripts on a 10 ms tick of the main thread's event loop.
// Main thread only.
//
// Timing of a script (RunScript):
//   - the first command starts at once, inside RunScript;
//   - ChangeImage and Action end as they start; FadeImage ends when its time has passed, at the
//     first tick at or after start + ms, where it draws its final frame; in between, every tick
//     draws the cross-fade at the time passed;
//   - each next command starts on the first engine tick after the previous one ended;
//   - a new script on an object first ends the old one's running step (a fade jumps to its end)
//     and runs the step after it at once, then drops the rest.
// The tick is one Timer for all objects, enabled only while some script is in progress, so a
// script started while others run joins their tick phase.
//
// Re-entrancy: OnCustomAction's handler may run scripts, change objects, repaint or Load another
// skin. The engine keeps the skin being worked on alive until the call that raised the action
// returns, and after every handler it checks whether the skin or the object's script changed:
//   - if the handler reloaded, the work on the old skin stops there; until the raising call
//     returns, engine calls given an object of the old skin ignore it (after that, its pointers
//     dangle like after any Load);
//   - if the handler started another script on the object whose step raised the action (or whose
//     old script was being ended), the handler's script holds and the rest of the old one, or of
//     the interrupted RunScript, is dropped: the script started last wins.
// Actions nested deeper than 16 handlers are dropped with a diagnostic line (a handler that
// restarts its own action would otherwise recurse without end). Destroying the engine inside a
// handler is not supported.
#include <QImage>
#include <QRect>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/event_loop.h"
#include "platform/timer.h"
#include "skin/skin_object.h"

namespace cs {

inline constexpr int kCanvasWidth = 640;
inline constexpr int kCanvasHeight = 480;
inline constexpr int kSkinTickMs = 10;

class SkinEngine final {
 public:
  explicit SkinEngine(EventLoop& loop);
  ~SkinEngine();
  SkinEngine(const SkinEngine&) = delete;
  SkinEngine& operator=(const SkinEngine&) = delete;

  // Loads the skin INI at path and its pictures, and draws it. On failure the engine holds no
  // skin, the canvas is black, and LastError() says why ("<path>:<line>: <what>"). Either way
  // the objects of the skin held before are gone, with their scripts.
  bool Load(const std::string& iniPath);
  bool Loaded() const { return skin_ != nullptr; }
  const std::string& LastError() const { return last_error_; }
  // Changes at every Load: lets holders of object pointers notice that theirs are stale.
  std::uint64_t Generation() const { return generation_; }

  // The root object, or nullptr when no skin is loaded.
  SkinObject* RootObject() const;
  // The object itself if its name equals name (case ignored), else the first match among its
  // descendants, depth first in child order; nullptr if absent or object is nullptr.
  SkinObject* FindObject(SkinObject* object, std::string_view name) const;
  // Sets the shown state of object and its descendants and redraws their place. Hiding stops
  // their scripts at once, without running what is left of them.
  void ShowObject(SkinObject* object, bool on);

  // Runs a script on object (timing above). An object not drawn (hidden) ignores it; a text
  // without a valid command does nothing, and leaves a running script alone.
  void RunScript(SkinObject* object, std::string_view text);
  // RunScript with the stored script; if recurse, then the same on every descendant in order.
  void RunHoverEvent(SkinObject* object, bool recurse);
  void RunLeaveEvent(SkinObject* object, bool recurse);
  void RunClickEvent(SkinObject* object, bool recurse);
  void RunRightClickEvent(SkinObject* object, bool recurse);
  void RunEvent(SkinObject* object, ScriptKind kind, bool recurse);

  // Applies the first ChangeImage of command at once and paints the new image without the
  // object's caption; every other command is ignored. A fade still running on the object stops
  // where it is (the newer image holds); the rest of its script goes on. A hidden object takes
  // the image without drawing it.
  void ExecuteCommand(SkinObject* object, std::string_view command);

  // Redraws the whole skin: every drawn object's image in drawing order, then every caption.
  void RepaintSkin();
  // Redraws the object's rectangle the same way (with the captions of every object there).
  void RepaintObject(SkinObject* object);

  // The topmost drawn object whose rectangle holds the canvas point, or nullptr.
  SkinObject* ObjectAt(int x, int y) const;
  // Whether some script is still in progress (the tick runs).
  bool ScriptsRunning() const;

  // The canvas: 640 x 480, premultiplied ARGB32, opaque.
  const QImage& Canvas() const { return canvas_; }

  // Raised when an Action(n) step starts.
  std::function<void(int n)> OnCustomAction;
  // Raised after every change of the canvas, with the rectangle that changed.
  std::function<void(const QRect& changed)> OnCanvasChanged;

 private:
  bool Owns(const SkinObject* o) const { return o != nullptr && skin_ && o->owner_ == skin_.get(); }
  void Run(SkinObject* object, std::string_view text, bool logProblems);
  void Tick();
  void UpdateTimer();
  // Starts step i of o's script; returns false when a handler replaced the script or the skin.
  bool StartStep(SkinObject* o, int i);
  // Ends o's running script as a new one requires (see above).
  void CutScript(SkinObject* o);
  void FadeFrame(SkinObject* o);
  bool SetImage(SkinObject* o, const ImageRef& ref);
  void RaiseAction(int n);
  void PaintRegion(QRect region, const SkinObject* noText, bool notify = true);
  void Changed(const QRect& r);
  void Clear();

  EventLoop& loop_;
  Timer tick_;
  std::shared_ptr<LoadedSkin> skin_;
  std::string last_error_;
  std::uint64_t generation_ = 0;
  std::uint64_t tick_count_ = 0;
  std::uint64_t serial_ = 0;
  int action_depth_ = 0;
  QImage canvas_;
};

}  // namespace cs
