// Toolkit-neutral control models. The model is the one source of truth for a
// control's state; a toolkit binding (Win32 HWNDs in the product, nothing at all
// in the headless tests) attaches a peer that mirrors every change and feeds the
// user's input back into the model.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ui {

struct Rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const Rect&) const = default;
};

// What a binding learns about a change. The peer reads the new state back from
// the model, so each notification carries no data.
class ControlPeer {
public:
    virtual ~ControlPeer() = default;
    virtual void textChanged() {}
    virtual void visibleChanged() {}
    virtual void enabledChanged() {}
    virtual void boundsChanged() {}
    virtual void checkedChanged() {}
    virtual void itemsChanged() {}
    virtual void selectionChanged() {}
    virtual void focusRequested() {}
};

enum class ControlKind {
    Label,
    Button,
    SpeedButton,
    CheckBox,
    RadioButton,
    Edit,
    ListBox,
    ComboBox,
    GroupBox,
    StatusBar,
    Chart,
};

class Control;

// Something controls can be registered with: the form keeps every control in
// creation order, which is also the keyboard order within each parent.
class ControlRegistry {
public:
    virtual void registerControl(Control& control) = 0;

protected:
    ~ControlRegistry() = default;
};

class Control {
public:
    Control(ControlRegistry& registry, ControlKind kind, const char* name, Control* parent,
            Rect bounds);
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    ControlKind kind() const { return kind_; }
    const std::string& name() const { return name_; }
    Control* parent() const { return parent_; }
    const std::vector<Control*>& children() const { return children_; }

    // Caption of a button, check box, group box or label; content of an edit.
    const std::string& text() const { return text_; }
    void setText(const std::string& text);

    bool visible() const { return visible_; }
    void setVisible(bool visible);
    // Visible itself and every parent visible too.
    bool showing() const;

    bool enabled() const { return enabled_; }
    void setEnabled(bool enabled);

    const Rect& bounds() const { return bounds_; }
    void setBounds(const Rect& bounds);
    void moveTo(int left, int top);

    // Whether the keyboard can reach the control with the Tab key.
    bool tabStop() const { return tabStop_; }

    void setFocus();
    void attachPeer(ControlPeer* peer) { peer_ = peer; }
    ControlPeer* peer() const { return peer_; }

    // Called by a binding when the user changed the text (an edit being typed in):
    // the model takes the text without echoing it back to the peer.
    void takeTextFromUser(const std::string& text) { text_ = text; }

protected:
    template <typename Fn>
    void notify(Fn fn) {
        if (peer_ != nullptr) (peer_->*fn)();
    }
    void setTabStop(bool tabStop) { tabStop_ = tabStop; }

private:
    ControlKind kind_;
    std::string name_;
    Control* parent_;
    std::vector<Control*> children_;
    std::string text_;
    bool visible_ = true;
    bool enabled_ = true;
    bool tabStop_ = false;
    Rect bounds_;
    ControlPeer* peer_ = nullptr;
};

class Label : public Control {
public:
    Label(ControlRegistry& r, const char* name, Control* parent, Rect bounds)
        : Control(r, ControlKind::Label, name, parent, bounds) {}
    bool wordWrap = true;
};

// Push button. click() is the user's click: it does nothing on a disabled button.
class Button : public Control {
public:
    Button(ControlRegistry& r, const char* name, Control* parent, Rect bounds)
        : Button(r, ControlKind::Button, name, parent, bounds) {}
    void click();
    std::function<void()> onClick;

protected:
    Button(ControlRegistry& r, ControlKind kind, const char* name, Control* parent, Rect bounds);
};

// Flat button that takes no keyboard focus.
class SpeedButton : public Button {
public:
    SpeedButton(ControlRegistry& r, const char* name, Control* parent, Rect bounds);
};

// Setting the state in code fires onClick when the state changes, exactly as a
// click by the user does; handlers that must react to loaded settings rely on it.
class CheckBox : public Control {
public:
    CheckBox(ControlRegistry& r, const char* name, Control* parent, Rect bounds);
    bool checked() const { return checked_; }
    void setChecked(bool checked);
    void click();
    std::function<void()> onClick;

private:
    bool checked_ = false;
};

// Radio buttons that share a parent form one group: checking one unchecks the rest.
class RadioButton : public Control {
public:
    RadioButton(ControlRegistry& r, const char* name, Control* parent, Rect bounds);
    bool checked() const { return checked_; }
    void setChecked(bool checked);
    void click() {
        if (enabled()) setChecked(true);
    }
    std::function<void()> onClick;

private:
    bool checked_ = false;
};

class Edit : public Control {
public:
    Edit(ControlRegistry& r, const char* name, Control* parent, Rect bounds);
    // 0 means no limit. Applies to typing; text set in code is taken whole.
    int maxLength = 0;
    // Caption of the label that sits to the right of the edit (empty: none).
    const std::string& labelText() const { return labelText_; }
    void setLabelText(const std::string& text);
    // What the user does: typing replaces the content, clicking fires onClick.
    void type(const std::string& text);
    void click();
    std::function<void()> onClick;

private:
    std::string labelText_;
};

class ListBox : public Control {
public:
    ListBox(ControlRegistry& r, const char* name, Control* parent, Rect bounds);
    const std::vector<std::string>& items() const { return items_; }
    int count() const { return static_cast<int>(items_.size()); }
    void add(const std::string& item);
    void remove(int index);
    // Removes the selected entry, if any, and selects the one that took its
    // place (the new last where it was the last).
    void removeSelected();
    void exchange(int a, int b);
    void clear();
    // -1 when nothing is selected.
    int itemIndex() const { return itemIndex_; }
    void setItemIndex(int index);
    // Called by a binding when the user picked an entry.
    void takeSelectionFromUser(int index) { itemIndex_ = index; }

private:
    std::vector<std::string> items_;
    int itemIndex_ = -1;
};

// Drop-down list that cannot be typed into. onSelect fires on the user's choice only.
class ComboBox : public Control {
public:
    ComboBox(ControlRegistry& r, const char* name, Control* parent, Rect bounds);
    const std::vector<std::string>& items() const { return items_; }
    int count() const { return static_cast<int>(items_.size()); }
    void add(const std::string& item);
    void clear();
    int itemIndex() const { return itemIndex_; }
    void setItemIndex(int index);
    void select(int index);  // the user's choice
    std::function<void()> onSelect;

private:
    std::vector<std::string> items_;
    int itemIndex_ = -1;
};

class GroupBox : public Control {
public:
    GroupBox(ControlRegistry& r, const char* name, Control* parent, Rect bounds)
        : Control(r, ControlKind::GroupBox, name, parent, bounds) {
        setTabStop(true);
    }
};

// One column of a strip chart.
struct ChartPoint {
    enum class Kind : std::uint8_t { Gap, Value, Mark };
    Kind kind = Kind::Gap;
    // Drawn over a ground of its own colour.
    bool shaded = false;
    std::uint32_t value = 0;
    // Flagged at the bottom edge.
    bool flagged = false;
    bool operator==(const ChartPoint&) const = default;
};

// A strip chart, oldest point at the left: values on a logarithmic scale
// from lowest to highest (beyond it at its ends), marks at the top, gaps
// left empty. It knows nothing of what the points stand for.
class Chart : public Control {
public:
    Chart(ControlRegistry& r, const char* name, Control* parent, Rect bounds)
        : Control(r, ControlKind::Chart, name, parent, bounds) {}
    const std::vector<ChartPoint>& points() const { return points_; }
    void setPoints(std::vector<ChartPoint> points);
    std::uint32_t lowest = 1;
    std::uint32_t highest = 100;
    // Below the plot, at its left end, middle and right end; no band for
    // them where all three are empty.
    std::array<std::string, 3> timeLabels;

private:
    std::vector<ChartPoint> points_;
};

// Status bar along the bottom edge of the window, with fixed-width panels.
class StatusBar : public Control {
public:
    struct Panel {
        std::string text;
        int width = 0;
    };
    StatusBar(ControlRegistry& r, const char* name, std::vector<Panel> panels, int height);
    const std::vector<Panel>& panels() const { return panels_; }
    const std::string& panelText(int index) const;
    void setPanelText(int index, const std::string& text);

private:
    std::vector<Panel> panels_;
};

}  // namespace ui
