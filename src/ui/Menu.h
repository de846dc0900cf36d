// Menu model: a main menu bar whose items hold submenus.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/Control.h"

namespace ui {

class MenuItem {
public:
    MenuItem(const char* name, const char* caption) : name_(name), caption_(caption) {}
    MenuItem(const MenuItem&) = delete;
    MenuItem& operator=(const MenuItem&) = delete;

    const std::string& name() const { return name_; }
    MenuItem* parent() const { return parent_; }
    const std::vector<MenuItem*>& items() const { return items_; }
    void add(MenuItem& child);

    const std::string& caption() const { return caption_; }
    void setCaption(const std::string& caption);
    bool visible() const { return visible_; }
    void setVisible(bool visible);
    bool enabled() const { return enabled_; }
    void setEnabled(bool enabled);
    bool checked() const { return checked_; }
    // Checking a radio item unchecks the other radio items of its group.
    void setChecked(bool checked);

    // Radio items of one parent with the same group number exclude each other.
    bool radioItem = false;
    int groupIndex = 0;
    // An auto-check item checks itself when the user chooses it.
    bool autoCheck = false;

    // The user's choice of the item: nothing happens when it is disabled.
    void click();
    std::function<void()> onClick;

    void attachPeer(ControlPeer* peer) { peer_ = peer; }

private:
    void notify(void (ControlPeer::*fn)()) {
        if (peer_ != nullptr) (peer_->*fn)();
    }
    std::string name_;
    std::string caption_;
    MenuItem* parent_ = nullptr;
    std::vector<MenuItem*> items_;
    bool visible_ = true;
    bool enabled_ = true;
    bool checked_ = false;
    ControlPeer* peer_ = nullptr;
};

}  // namespace ui
