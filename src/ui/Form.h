// Top-level window model: caption, outer size, opacity, main menu, and every
// control and timer that lives on it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ui/Control.h"
#include "ui/Menu.h"
#include "ui/Timer.h"

namespace ui {

enum class CloseAction { None, Free };

class FormPeer {
public:
    virtual ~FormPeer() = default;
    virtual void captionChanged() {}
    virtual void sizeChanged() {}
    virtual void opacityChanged() {}
    virtual void visibleChanged() {}
    // The close was accepted: the window goes away.
    virtual void closed() {}
};

class Form : public ControlRegistry {
public:
    explicit Form(std::string name);
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;
    virtual ~Form() = default;

    const std::string& name() const { return name_; }

    const std::string& caption() const { return caption_; }
    void setCaption(const std::string& caption);

    int outerWidth() const { return outerWidth_; }
    int outerHeight() const { return outerHeight_; }
    void setOuterSize(int width, int height);

    // Layered-window opacity: 0 invisible, 255 opaque.
    bool alphaBlend() const { return alphaBlend_; }
    void setAlphaBlend(bool on);
    std::uint8_t alphaBlendValue() const { return alphaBlendValue_; }
    void setAlphaBlendValue(std::uint8_t value);

    bool visible() const { return visible_; }
    void show();
    bool closed() const { return closed_; }

    // The close request: onClose may refuse it by setting the action to None.
    // An accepted close hides the window for good and runs onClosed.
    void close();
    std::function<void(CloseAction&)> onClose;
    std::function<void()> onClosed;

    // The query Windows sends before shutdown or log-off; the answer says whether
    // the session may end. Without a handler the answer is yes.
    bool queryEndSession();
    std::function<bool()> onQueryEndSession;
    // The answer that follows the query: true when the session ends now,
    // false when something cancelled the end.
    void endSession(bool ending);
    std::function<void(bool)> onEndSession;

    // The system resumed from sleep or hibernation.
    std::function<void()> onResume;
    // The machine went from mains to battery or back, or its battery changed.
    std::function<void()> onPowerSourceChanged;

    std::string fontName = "MS Sans Serif";
    int fontHeight = -11;

    MenuItem& mainMenu() { return mainMenu_; }
    const std::vector<Control*>& controls() const { return controls_; }
    const std::vector<Timer*>& timers() const { return timers_; }
    Control* findControl(const std::string& name) const;
    MenuItem* findMenuItem(const std::string& name);

    void registerControl(Control& control) override { controls_.push_back(&control); }
    void registerTimer(Timer& timer) { timers_.push_back(&timer); }

    void attachPeer(FormPeer* peer) { peer_ = peer; }

private:
    void notify(void (FormPeer::*fn)()) {
        if (peer_ != nullptr) (peer_->*fn)();
    }
    std::string name_;
    std::string caption_;
    int outerWidth_ = 0;
    int outerHeight_ = 0;
    bool alphaBlend_ = false;
    std::uint8_t alphaBlendValue_ = 255;
    bool visible_ = false;
    bool closed_ = false;
    MenuItem mainMenu_;
    std::vector<Control*> controls_;
    std::vector<Timer*> timers_;
    FormPeer* peer_ = nullptr;
};

}  // namespace ui
