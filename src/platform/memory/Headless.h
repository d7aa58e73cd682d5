// A GUI toolkit without a screen for the unit tests: it keeps every
// control's state, and a test drives it as a user would (clicks, timer ticks,
// close requests) through a script that the modal loop runs.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "wizard/Layout.h"

namespace liaison::memory {

class HeadlessWindow final : public IWindow {
 public:
  struct Control {
    std::string text;
    bool visible = true;
    bool enabled = true;
    bool checked = false;
    float value = 0;
    float maximum = 0;
    bool timer = false;
  };

  HeadlessWindow(const WindowLayout& layout, IWindowEvents& events);

  // --- What the program calls.
  void SetText(int control, std::string_view text) override;
  std::string GetText(int control) const override;
  void SetVisible(int control, bool visible) override;
  void SetEnabled(int control, bool enabled) override;
  bool IsChecked(int control) const override;
  float GetProgressMax(int control) const override;
  float GetProgress(int control) const override;
  void SetProgress(int control, float value) override;
  void SetTimerEnabled(int control, bool enabled) override;
  double OuterWidth() const override;
  double OuterHeight() const override;
  void SetLeft(std::int32_t twips) override { left = twips; }
  void SetTop(std::int32_t twips) override { top = twips; }
  void SetZOrder(std::int32_t insert_after) override { z_order = insert_after; }
  void ShowModal() override;
  void Show() override { shown = true; }
  void Hide() override;

  // --- What a user does. A click on a control that cannot be seen or is
  // disabled does nothing, as on a screen; it returns whether it reached it.
  bool Click(int control);
  // One tick of the timer `control` when it is running; returns whether it was.
  bool Tick(int control);
  void RequestClose() { events_.OnCloseRequest(); }
  IWindowEvents& events() const { return events_; }

  // --- What a user sees.
  const Control& State(int control) const {
    return controls_.at(static_cast<std::size_t>(control));
  }
  // Shown, and every container up to the window shown too.
  bool Showing(int control) const;

  const WindowLayout& layout;
  bool shown = false;
  bool modal = false;
  std::int32_t left = 0, top = 0, z_order = 0;
  double outer_width_twips;
  double outer_height_twips;
  // Run by ShowModal, one step at a time, while the window stays modal.
  std::deque<std::function<void(HeadlessWindow&)>>* script = nullptr;

 private:
  IWindowEvents& events_;
  std::vector<Control> controls_;
};

class HeadlessToolkit final : public IToolkit {
 public:
  std::unique_ptr<IWindow> Create(const WindowLayout& layout, IWindowEvents& events) override;

  // What the user does once the next window shows modally.
  std::deque<std::function<void(HeadlessWindow&)>> script;
  // The window that is loaded now, or null.
  HeadlessWindow* window = nullptr;
  int created = 0;
};

}  // namespace liaison::memory
