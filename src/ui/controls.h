#pragma once
#include <functional>
#include <string>
#include <vector>

#include "ui/strings.h"

// Toolkit-free models of the controls a window is made of. They hold state
// and fire events; a desktop binds them to real widgets both ways through
// ViewSync (model changed) and the setters (user changed it).
//
// Events fire the way the program's handlers expect: a check box or radio
// group fires OnClick whenever its value changes, also from code; an edit
// fires OnChange whenever its text changes; a combo box and a page control
// fire OnChange only for the user's choice (UserSelect).

using TNotifyEvent = std::function<void()>;

class TComponent {
public:
    explicit TComponent(std::string name = {}) : name_(std::move(name)) {}
    virtual ~TComponent() = default;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    // The class name error reports quote as the place ("TButton", "TfrmProps").
    virtual std::string ClassName() const = 0;
    const std::string& Name() const { return name_; }

private:
    std::string name_;
};

class TControl : public TComponent {
public:
    using TComponent::TComponent;

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool v) { Set(enabled_, v); }
    bool Visible() const { return visible_; }
    void SetVisible(bool v) { Set(visible_, v); }
    const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& v) { Set(hint_, v); }
    int HelpContext() const { return helpContext_; }
    void SetHelpContext(int v) { helpContext_ = v; }
    // Asks the view to give this control the keyboard focus.
    void SetFocus();

    // Called after every change of the model; the view repaints from it.
    std::function<void()> ViewSync;
    std::function<void()> ViewFocus;

protected:
    template <class T> void Set(T& field, const T& v)
    {
        if (field == v) return;
        field = v;
        Changed();
    }
    void Changed()
    {
        if (ViewSync) ViewSync();
    }

private:
    bool enabled_ = true;
    bool visible_ = true;
    std::string hint_;
    int helpContext_ = 0;
};

class TLabel : public TControl {
public:
    explicit TLabel(std::string name = {}, std::string caption = {})
        : TControl(std::move(name)), caption_(std::move(caption)) {}
    std::string ClassName() const override { return "TLabel"; }
    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& v) { Set(caption_, v); }

private:
    std::string caption_;
};

class TButton : public TControl {
public:
    explicit TButton(std::string name = {}, std::string caption = {})
        : TControl(std::move(name)), caption_(std::move(caption)) {}
    std::string ClassName() const override { return "TButton"; }
    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& v) { Set(caption_, v); }
    // The default button is pressed by Enter, the cancel button by Esc.
    bool Default() const { return default_; }
    void SetDefault(bool v) { default_ = v; }
    bool Cancel() const { return cancel_; }
    void SetCancel(bool v) { cancel_ = v; }
    void Click()
    {
        if (OnClick) OnClick();
    }
    TNotifyEvent OnClick;

private:
    std::string caption_;
    bool default_ = false;
    bool cancel_ = false;
};

class TEdit : public TControl {
public:
    using TControl::TControl;
    std::string ClassName() const override { return "TEdit"; }
    const std::string& Text() const { return text_; }
    void SetText(const std::string& v);
    TNotifyEvent OnChange;

private:
    std::string text_;
};

class TCheckBox : public TControl {
public:
    explicit TCheckBox(std::string name = {}, std::string caption = {})
        : TControl(std::move(name)), caption_(std::move(caption)) {}
    std::string ClassName() const override { return "TCheckBox"; }
    const std::string& Caption() const { return caption_; }
    bool Checked() const { return checked_; }
    void SetChecked(bool v);
    TNotifyEvent OnClick;

private:
    std::string caption_;
    bool checked_ = false;
};

class TRadioGroup : public TControl {
public:
    TRadioGroup(std::string name, std::string caption, std::vector<std::string> items)
        : TControl(std::move(name)), caption_(std::move(caption)), items_(std::move(items)) {}
    std::string ClassName() const override { return "TRadioGroup"; }
    const std::string& Caption() const { return caption_; }
    const std::vector<std::string>& Items() const { return items_; }
    int ItemIndex() const { return itemIndex_; }
    void SetItemIndex(int v);
    TNotifyEvent OnClick;

private:
    std::string caption_;
    std::vector<std::string> items_;
    int itemIndex_ = -1;
};

// A drop-down list: the text is always that of the selected item.
class TComboBox : public TControl {
public:
    explicit TComboBox(std::string name = {});
    std::string ClassName() const override { return "TComboBox"; }
    TStrings& Items() { return items_; }
    const TStrings& Items() const { return items_; }
    int ItemIndex() const { return itemIndex_; }
    void SetItemIndex(int v);
    std::string Text() const;
    // The user picked an item: select it and fire OnChange.
    void UserSelect(int index);
    TNotifyEvent OnChange;

private:
    TStrings items_;
    int itemIndex_ = -1;
};

class TListBox : public TControl {
public:
    explicit TListBox(std::string name = {});
    std::string ClassName() const override { return "TListBox"; }
    TStrings& Items() { return items_; }
    const TStrings& Items() const { return items_; }
    int ItemIndex() const { return itemIndex_; }
    void SetItemIndex(int v);
    int TopIndex() const { return topIndex_; }
    void SetTopIndex(int v);
    TNotifyEvent OnClick;

private:
    TStrings items_;
    int itemIndex_ = -1;
    int topIndex_ = 0;
};

class TProgressBar : public TControl {
public:
    using TControl::TControl;
    std::string ClassName() const override { return "TProgressBar"; }
    int Position() const { return position_; }
    void SetPosition(int v) { Set(position_, v < 0 ? 0 : v > 100 ? 100 : v); }

private:
    int position_ = 0;
};

class TMenuItem : public TComponent {
public:
    TMenuItem(std::string name, std::string caption)
        : TComponent(std::move(name)), caption_(std::move(caption)) {}
    std::string ClassName() const override { return "TMenuItem"; }
    const std::string& Caption() const { return caption_; }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool v) { enabled_ = v; }
    void Click()
    {
        if (OnClick) OnClick();
    }
    TNotifyEvent OnClick;

private:
    std::string caption_;
    bool enabled_ = true;
};

// A pop-up menu: its items in order; the desktop shows it at a point.
class TPopupMenu : public TComponent {
public:
    using TComponent::TComponent;
    std::string ClassName() const override { return "TPopupMenu"; }
    std::vector<TMenuItem*> Items;
};

class TPageControl : public TControl {
public:
    TPageControl(std::string name, std::vector<std::string> pages)
        : TControl(std::move(name)), pages_(std::move(pages)) {}
    std::string ClassName() const override { return "TPageControl"; }
    const std::vector<std::string>& Pages() const { return pages_; }
    int ActivePageIndex() const { return active_; }
    void SetActivePageIndex(int v);
    // The user chose a page tab: select it and fire OnChange.
    void UserSelect(int index);
    TNotifyEvent OnChange;

private:
    std::vector<std::string> pages_;
    int active_ = 0;
};

// A message timer: it ticks on the event loop, never interrupting a handler.
class TTimer : public TComponent {
public:
    explicit TTimer(std::string name = {}, int interval = 1000)
        : TComponent(std::move(name)), interval_(interval) {}
    ~TTimer() override;
    std::string ClassName() const override { return "TTimer"; }
    int Interval() const { return interval_; }
    void SetInterval(int ms);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool v);
    void Tick()
    {
        if (OnTimer) OnTimer();
    }
    TNotifyEvent OnTimer;

private:
    int interval_;
    bool enabled_ = false;
};

struct TRect {
    int left = 0, top = 0, width = 0, height = 0;
};

enum TModalResult { mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6, mrNo = 7 };

enum TShiftFlag : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4 };

class TForm : public TControl {
public:
    explicit TForm(std::string name = {}) : TControl(std::move(name)) { SetVisible(false); }
    std::string ClassName() const override { return "TForm"; }
    ~TForm() override;

    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& v) { Set(caption_, v); }
    const TRect& Bounds() const { return bounds_; }
    void SetBounds(const TRect& r);
    void SetPosition(int left, int top);
    int Width() const { return bounds_.width; }
    int Height() const { return bounds_.height; }

    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Shown but minimised: a window kept in the task bar. BringToFront
    // restores it.
    void Minimize();
    bool Minimized() const { return minimized_; }
    // The user minimised or restored the window itself; the view says so.
    void SetMinimizedByUser(bool v) { minimized_ = v; }
    // Runs a nested event loop until ModalResult is set or the form closes.
    int ShowModal();
    int ModalResult() const { return modalResult_; }
    // Setting a result ends a modal loop; the view is told so it can quit it.
    void SetModalResult(int v)
    {
        modalResult_ = v;
        Changed();
    }
    // The close box or Alt+F4: asks OnCloseQuery, then hides.
    void Close();
    // Brings the window to the front (it is shown, and restored when
    // minimised, first).
    void BringToFront();
    // The help context F1 or a Help button opens when no control has one of
    // its own.
    virtual int CurrentHelpContext() const { return HelpContext(); }

    // Minimised by the user; the window decides what that means.
    TNotifyEvent OnMinimize;
    TNotifyEvent OnShow;
    std::function<bool()> OnCloseQuery;
    // Sees every key pressed in the window first; true when it acted on the
    // key, which then goes no further.
    std::function<bool(int key, unsigned shift)> OnKeyDown;

    void SetModalLoopActive(bool v) { inModalLoop_ = v; }
    bool InModalLoop() const { return inModalLoop_; }

private:
    std::string caption_;
    TRect bounds_;
    int modalResult_ = mrNone;
    bool inModalLoop_ = false;
    bool minimized_ = false;
};
