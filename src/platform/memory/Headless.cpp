#include "platform/memory/Headless.h"

#include <stdexcept>

namespace liaison::memory {

HeadlessWindow::HeadlessWindow(const WindowLayout& window_layout, IWindowEvents& events)
    : layout(window_layout),
      outer_width_twips(window_layout.client_width + 2.0 * window_layout.frame_left),
      outer_height_twips(window_layout.client_height + window_layout.frame_top +
                         static_cast<double>(window_layout.frame_left)),
      events_(events) {
  controls_.reserve(layout.controls.size());
  for (const ControlLayout& c : layout.controls) {
    Control state;
    state.text.assign(c.text);
    state.visible = c.visible;
    state.checked =
        (c.kind == ControlKind::kOption || c.kind == ControlKind::kCheck) && c.value == 1;
    state.value = c.kind == ControlKind::kProgress ? static_cast<float>(c.value) : 0.0f;
    state.maximum = static_cast<float>(c.maximum);
    controls_.push_back(state);
  }
}

void HeadlessWindow::SetText(int control, std::string_view text) {
  controls_.at(static_cast<std::size_t>(control)).text.assign(text);
}
std::string HeadlessWindow::GetText(int control) const {
  return State(control).text;
}
void HeadlessWindow::SetVisible(int control, bool visible) {
  controls_.at(static_cast<std::size_t>(control)).visible = visible;
}
void HeadlessWindow::SetEnabled(int control, bool enabled) {
  controls_.at(static_cast<std::size_t>(control)).enabled = enabled;
}
bool HeadlessWindow::IsChecked(int control) const {
  return State(control).checked;
}
float HeadlessWindow::GetProgressMax(int control) const {
  return State(control).maximum;
}
float HeadlessWindow::GetProgress(int control) const {
  return State(control).value;
}
void HeadlessWindow::SetProgress(int control, float value) {
  auto& c = controls_.at(static_cast<std::size_t>(control));
  if (value < 0 || value > c.maximum) throw std::out_of_range("progress value out of range");
  c.value = value;
}
void HeadlessWindow::SetTimerEnabled(int control, bool enabled) {
  controls_.at(static_cast<std::size_t>(control)).timer = enabled;
}
double HeadlessWindow::OuterWidth() const {
  return outer_width_twips;
}
double HeadlessWindow::OuterHeight() const {
  return outer_height_twips;
}

void HeadlessWindow::ShowModal() {
  shown = true;
  modal = true;
  while (modal) {
    if (script == nullptr || script->empty()) {
      throw std::logic_error("the test's script ended while the window was still open");
    }
    auto step = std::move(script->front());
    script->pop_front();
    step(*this);
  }
}

void HeadlessWindow::Hide() {
  shown = false;
  modal = false;
}

bool HeadlessWindow::Showing(int control) const {
  if (!shown) return false;
  for (int row = control; row >= 0;
       row = layout.controls[static_cast<std::size_t>(row)].container) {
    if (!State(row).visible) return false;
  }
  return true;
}

bool HeadlessWindow::Click(int control) {
  if (!Showing(control) || !State(control).enabled) return false;
  const ControlLayout& c = layout.controls[static_cast<std::size_t>(control)];
  if (c.kind == ControlKind::kOption) {
    for (std::size_t row = 0; row < layout.controls.size(); ++row) {
      if (layout.controls[row].kind == ControlKind::kOption &&
          layout.controls[row].container == c.container) {
        controls_[row].checked = false;
      }
    }
    controls_[static_cast<std::size_t>(control)].checked = true;
  } else if (c.kind == ControlKind::kCheck) {
    controls_[static_cast<std::size_t>(control)].checked = !State(control).checked;
  }
  events_.OnClick(control);
  return true;
}

bool HeadlessWindow::Tick(int control) {
  if (!State(control).timer) return false;
  events_.OnTimer(control);
  return true;
}

std::unique_ptr<IWindow> HeadlessToolkit::Create(const WindowLayout& layout,
                                                 IWindowEvents& events) {
  // The window tells the toolkit when it goes, so that `window` never dangles.
  struct Owned final : IWindow {
    Owned(HeadlessToolkit& toolkit, std::unique_ptr<HeadlessWindow> inner)
        : toolkit_(toolkit), inner_(std::move(inner)) {}
    ~Owned() override {
      if (toolkit_.window == inner_.get()) toolkit_.window = nullptr;
    }
    void SetText(int c, std::string_view t) override { inner_->SetText(c, t); }
    std::string GetText(int c) const override { return inner_->GetText(c); }
    void SetVisible(int c, bool v) override { inner_->SetVisible(c, v); }
    void SetEnabled(int c, bool e) override { inner_->SetEnabled(c, e); }
    bool IsChecked(int c) const override { return inner_->IsChecked(c); }
    float GetProgressMax(int c) const override { return inner_->GetProgressMax(c); }
    float GetProgress(int c) const override { return inner_->GetProgress(c); }
    void SetProgress(int c, float v) override { inner_->SetProgress(c, v); }
    void SetTimerEnabled(int c, bool e) override { inner_->SetTimerEnabled(c, e); }
    double OuterWidth() const override { return inner_->OuterWidth(); }
    double OuterHeight() const override { return inner_->OuterHeight(); }
    void SetLeft(std::int32_t t) override { inner_->SetLeft(t); }
    void SetTop(std::int32_t t) override { inner_->SetTop(t); }
    void SetZOrder(std::int32_t z) override { inner_->SetZOrder(z); }
    void ShowModal() override { inner_->ShowModal(); }
    void Show() override { inner_->Show(); }
    void Hide() override { inner_->Hide(); }

    HeadlessToolkit& toolkit_;
    std::unique_ptr<HeadlessWindow> inner_;
  };
  auto inner = std::make_unique<HeadlessWindow>(layout, events);
  inner->script = &script;
  window = inner.get();
  ++created;
  return std::make_unique<Owned>(*this, std::move(inner));
}

}  // namespace liaison::memory
