#include "ui/Control.h"

#include <stdexcept>
#include <utility>

namespace ui {

Control::Control(ControlRegistry& registry, ControlKind kind, const char* name, Control* parent,
                 Rect bounds)
    : kind_(kind), name_(name), parent_(parent), bounds_(bounds) {
    if (parent_ != nullptr) parent_->children_.push_back(this);
    registry.registerControl(*this);
}

void Control::setText(const std::string& text) {
    if (text == text_) return;
    text_ = text;
    notify(&ControlPeer::textChanged);
}

void Control::setVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    notify(&ControlPeer::visibleChanged);
}

bool Control::showing() const {
    for (const Control* c = this; c != nullptr; c = c->parent_)
        if (!c->visible_) return false;
    return true;
}

void Control::setEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    notify(&ControlPeer::enabledChanged);
}

void Control::setBounds(const Rect& bounds) {
    if (bounds == bounds_) return;
    bounds_ = bounds;
    notify(&ControlPeer::boundsChanged);
}

void Control::moveTo(int left, int top) {
    setBounds(Rect{left, top, bounds_.width, bounds_.height});
}

void Control::setFocus() { notify(&ControlPeer::focusRequested); }

Button::Button(ControlRegistry& r, ControlKind kind, const char* name, Control* parent, Rect bounds)
    : Control(r, kind, name, parent, bounds) {
    setTabStop(kind == ControlKind::Button);
}

void Button::click() {
    if (enabled() && onClick) onClick();
}

SpeedButton::SpeedButton(ControlRegistry& r, const char* name, Control* parent, Rect bounds)
    : Button(r, ControlKind::SpeedButton, name, parent, bounds) {}

CheckBox::CheckBox(ControlRegistry& r, const char* name, Control* parent, Rect bounds)
    : Control(r, ControlKind::CheckBox, name, parent, bounds) {
    setTabStop(true);
}

void CheckBox::setChecked(bool checked) {
    if (checked == checked_) return;
    checked_ = checked;
    notify(&ControlPeer::checkedChanged);
    if (onClick) onClick();
}

void CheckBox::click() {
    if (enabled()) setChecked(!checked_);
}

RadioButton::RadioButton(ControlRegistry& r, const char* name, Control* parent, Rect bounds)
    : Control(r, ControlKind::RadioButton, name, parent, bounds) {
    setTabStop(true);
}

void RadioButton::setChecked(bool checked) {
    if (checked == checked_) return;
    checked_ = checked;
    notify(&ControlPeer::checkedChanged);
    if (!checked) return;
    if (parent() != nullptr) {
        for (Control* sibling : parent()->children()) {
            if (sibling == this || sibling->kind() != ControlKind::RadioButton) continue;
            static_cast<RadioButton*>(sibling)->setChecked(false);
        }
    }
    if (onClick) onClick();
}

Edit::Edit(ControlRegistry& r, const char* name, Control* parent, Rect bounds)
    : Control(r, ControlKind::Edit, name, parent, bounds) {
    setTabStop(true);
}

void Edit::setLabelText(const std::string& text) {
    if (text == labelText_) return;
    labelText_ = text;
    notify(&ControlPeer::textChanged);
}

void Edit::type(const std::string& text) {
    if (!enabled()) return;
    const bool limited = maxLength > 0 && text.size() > static_cast<size_t>(maxLength);
    setText(limited ? text.substr(0, static_cast<size_t>(maxLength)) : text);
}

void Edit::click() {
    if (enabled() && onClick) onClick();
}

ListBox::ListBox(ControlRegistry& r, const char* name, Control* parent, Rect bounds)
    : Control(r, ControlKind::ListBox, name, parent, bounds) {
    setTabStop(true);
}

void ListBox::add(const std::string& item) {
    items_.push_back(item);
    notify(&ControlPeer::itemsChanged);
}

void ListBox::remove(int index) {
    if (index < 0 || index >= count()) throw std::out_of_range("list index out of bounds");
    items_.erase(items_.begin() + index);
    // The selection does not survive a deletion, as with a native list box.
    itemIndex_ = -1;
    notify(&ControlPeer::itemsChanged);
}

void ListBox::removeSelected() {
    const int i = itemIndex();
    if (i < 0) return;
    remove(i);
    if (count() > 0) setItemIndex(i < count() ? i : i - 1);
}

void ListBox::exchange(int a, int b) {
    if (a < 0 || b < 0 || a >= count() || b >= count())
        throw std::out_of_range("list index out of bounds");
    std::swap(items_[static_cast<size_t>(a)], items_[static_cast<size_t>(b)]);
    if (itemIndex_ == a)
        itemIndex_ = b;
    else if (itemIndex_ == b)
        itemIndex_ = a;
    notify(&ControlPeer::itemsChanged);
}

void ListBox::clear() {
    items_.clear();
    itemIndex_ = -1;
    notify(&ControlPeer::itemsChanged);
}

void ListBox::setItemIndex(int index) {
    if (index < -1 || index >= count()) index = -1;
    itemIndex_ = index;
    notify(&ControlPeer::selectionChanged);
}

ComboBox::ComboBox(ControlRegistry& r, const char* name, Control* parent, Rect bounds)
    : Control(r, ControlKind::ComboBox, name, parent, bounds) {
    setTabStop(true);
}

void ComboBox::add(const std::string& item) {
    items_.push_back(item);
    notify(&ControlPeer::itemsChanged);
}

void ComboBox::clear() {
    items_.clear();
    itemIndex_ = -1;
    notify(&ControlPeer::itemsChanged);
}

void ComboBox::setItemIndex(int index) {
    if (index < -1 || index >= count()) index = -1;
    itemIndex_ = index;
    notify(&ControlPeer::selectionChanged);
}

void ComboBox::select(int index) {
    if (!enabled() || index < 0 || index >= count()) return;
    setItemIndex(index);
    if (onSelect) onSelect();
}

StatusBar::StatusBar(ControlRegistry& r, const char* name, std::vector<Panel> panels, int height)
    : Control(r, ControlKind::StatusBar, name, nullptr, Rect{0, 0, 0, height}),
      panels_(std::move(panels)) {}

const std::string& StatusBar::panelText(int index) const {
    return panels_.at(static_cast<size_t>(index)).text;
}

void StatusBar::setPanelText(int index, const std::string& text) {
    auto& panel = panels_.at(static_cast<size_t>(index));
    if (panel.text == text) return;
    panel.text = text;
    notify(&ControlPeer::itemsChanged);
}

void Chart::setPoints(std::vector<ChartPoint> points) {
    if (points == points_) return;
    points_ = std::move(points);
    notify(&ControlPeer::itemsChanged);
}

}  // namespace ui
