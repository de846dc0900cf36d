#include "ui/Form.h"

namespace ui {

Form::Form(std::string name) : name_(std::move(name)), mainMenu_("Menu", "") {}

void Form::setCaption(const std::string& caption) {
    if (caption == caption_) return;
    caption_ = caption;
    notify(&FormPeer::captionChanged);
}

void Form::setOuterSize(int width, int height) {
    if (width == outerWidth_ && height == outerHeight_) return;
    outerWidth_ = width;
    outerHeight_ = height;
    notify(&FormPeer::sizeChanged);
}

void Form::setAlphaBlend(bool on) {
    if (on == alphaBlend_) return;
    alphaBlend_ = on;
    notify(&FormPeer::opacityChanged);
}

void Form::setAlphaBlendValue(std::uint8_t value) {
    if (value == alphaBlendValue_) return;
    alphaBlendValue_ = value;
    notify(&FormPeer::opacityChanged);
}

void Form::show() {
    if (visible_ || closed_) return;
    visible_ = true;
    notify(&FormPeer::visibleChanged);
}

void Form::close() {
    if (closed_) return;
    CloseAction action = CloseAction::Free;
    if (onClose) onClose(action);
    if (action == CloseAction::None) return;
    closed_ = true;
    visible_ = false;
    notify(&FormPeer::closed);
    if (onClosed) onClosed();
}

bool Form::queryEndSession() { return onQueryEndSession ? onQueryEndSession() : true; }

void Form::endSession(bool ending) {
    if (onEndSession) onEndSession(ending);
}

Control* Form::findControl(const std::string& name) const {
    for (Control* c : controls_)
        if (c->name() == name) return c;
    return nullptr;
}

namespace {
MenuItem* findIn(MenuItem& item, const std::string& name) {
    if (item.name() == name) return &item;
    for (MenuItem* child : item.items())
        if (MenuItem* found = findIn(*child, name)) return found;
    return nullptr;
}
}  // namespace

MenuItem* Form::findMenuItem(const std::string& name) { return findIn(mainMenu_, name); }

}  // namespace ui
