#include "ui/Menu.h"

namespace ui {

void MenuItem::add(MenuItem& child) {
    child.parent_ = this;
    items_.push_back(&child);
}

void MenuItem::setCaption(const std::string& caption) {
    if (caption == caption_) return;
    caption_ = caption;
    notify(&ControlPeer::textChanged);
}

void MenuItem::setVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    notify(&ControlPeer::visibleChanged);
}

void MenuItem::setEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    notify(&ControlPeer::enabledChanged);
}

void MenuItem::setChecked(bool checked) {
    if (checked == checked_) return;
    checked_ = checked;
    notify(&ControlPeer::checkedChanged);
    if (!checked || !radioItem || parent_ == nullptr) return;
    for (MenuItem* sibling : parent_->items_)
        if (sibling != this && sibling->radioItem && sibling->groupIndex == groupIndex)
            sibling->setChecked(false);
}

void MenuItem::click() {
    for (const MenuItem* m = this; m != nullptr; m = m->parent_)
        if (!m->enabled_) return;
    if (autoCheck) setChecked(radioItem ? true : !checked_);
    if (onClick) onClick();
}

}  // namespace ui
