#pragma once
// One object of a loaded skin: a named rectangle of the canvas with an image, a caption and four
// stored scripts. Objects belong to the SkinEngine that loaded them and live until the next
// Load (a pointer kept across a Load is stale: see SkinEngine::Load).
#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "skin/skin_parser.h"
#include "skin/skin_script.h"

namespace cs {

struct LoadedSkin;

class SkinObject final {
 public:
  SkinObject(const SkinObject&) = delete;
  SkinObject& operator=(const SkinObject&) = delete;

  const std::string& Name() const { return name_; }
  // Screen coordinates of the 640 x 480 canvas (not relative to the parent).
  int Left() const { return rect_.left(); }
  int Top() const { return rect_.top(); }
  int Width() const { return rect_.width(); }
  int Height() const { return rect_.height(); }
  QRect Rect() const { return rect_; }

  // The caption. Setting it draws nothing: the object's next image step (or a repaint) shows it.
  const std::string& Text() const { return text_; }
  void SetText(std::string text);
  // false: the caption is drawn in DisabledTextColor. Draws nothing by itself either.
  bool TextEnabled() const { return text_enabled_; }
  void SetTextEnabled(bool on) { text_enabled_ = on; }

  // The object's own shown state (SkinEngine::ShowObject changes it). It is drawn only when it
  // and all its ancestors are shown.
  bool Visible() const { return shown_; }

  // The stored scripts (RunHoverEvent and the like run them). Setting one takes effect at the
  // next run; a script already running goes on.
  const std::string& Script(ScriptKind kind) const { return scripts_[static_cast<int>(kind)]; }
  void SetScript(ScriptKind kind, std::string text) {
    scripts_[static_cast<int>(kind)] = std::move(text);
  }
  const std::string& HoverEvent() const { return Script(ScriptKind::kHover); }
  const std::string& LeaveEvent() const { return Script(ScriptKind::kLeave); }
  const std::string& ClickEvent() const { return Script(ScriptKind::kClick); }
  const std::string& RightClickEvent() const { return Script(ScriptKind::kRightClick); }
  void SetHoverEvent(std::string t) { SetScript(ScriptKind::kHover, std::move(t)); }
  void SetLeaveEvent(std::string t) { SetScript(ScriptKind::kLeave, std::move(t)); }
  void SetClickEvent(std::string t) { SetScript(ScriptKind::kClick, std::move(t)); }
  void SetRightClickEvent(std::string t) { SetScript(ScriptKind::kRightClick, std::move(t)); }

  SkinObject* Parent() const { return parent_; }
  const std::vector<SkinObject*>& Children() const { return children_; }

 private:
  friend class SkinEngine;
  SkinObject() = default;

  // The step of a running script, and what it needs between ticks.
  struct ScriptRun {
    bool active = false;
    std::uint64_t serial = 0;  // tells one run from the next on the same object
    std::vector<ScriptCommand> commands;
    int current = -1;                    // the step last started
    bool fading = false;                 // the current step is a FadeImage still in progress
    std::uint64_t ready_after_tick = 0;  // the next step (or fade frame) waits for a later tick
    std::int64_t fade_start_ms = 0;
    int fade_ms = 0;
    QRect fade_rect;            // the object's rectangle on the canvas
    QImage fade_from, fade_to;  // the canvas there before and after the new image
  };

  LoadedSkin* owner_ = nullptr;
  int index_ = 0;        // in drawing order
  int subtree_end_ = 0;  // one past the last descendant
  std::string name_;
  QRect rect_;
  SkinObject* parent_ = nullptr;
  std::vector<SkinObject*> children_;

  int picture_ = -1;  // current image: picture index (-1 none) and its rectangle (x1, y1, w, h)
  QRect source_;

  std::string text_;
  QString qtext_;
  bool text_enabled_ = true;
  QFont font_;
  int align_flags_ = 0;
  QColor text_color_;
  QColor disabled_text_color_;

  bool shown_ = true;
  bool drawn_ = true;  // shown and every ancestor shown
  std::array<std::string, kScriptKinds> scripts_;
  ScriptRun run_;
};

}  // namespace cs
