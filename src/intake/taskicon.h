#pragma once
#include <functional>
#include <string>

#include "ui/controls.h"
#include "ui/desktop.h"

// The icon in the notification area: bright while requests are enabled,
// dim while they are not. A left click toggles, a right click opens the
// window; the shell decides whether the icon can be shown at all.
class TTaskIcon : public TComponent {
public:
    static constexpr size_t kMaxToolTip = 64;

    using TComponent::TComponent;
    ~TTaskIcon() override;
    std::string ClassName() const override { return "TTaskIcon"; }

    bool Active() const { return active_; }
    // Adds or removes the icon; the value follows what the shell accepted.
    void SetActive(bool v);
    // Follows the tray coming and going: an icon asked for while no tray
    // was there is added once one is; one whose tray went away is inactive.
    // Returns whether Active changed.
    bool Recheck();
    // A short message from the icon (UTF-8), shown only while it is active.
    void ShowMessage(const std::string& text);
    bool Bright() const { return bright_; }
    void SetBright(bool v);
    const std::string& ToolTip() const { return toolTip_; }
    // Cut to 64 characters.
    void SetToolTip(const std::string& v);

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    std::function<void(TPoint)> OnRightClick;
    // What the shell reports about the icon.
    void TrayEvent(TTrayEvent e, TPoint at);

private:
    void Update();
    TTrayIconState State() const { return {bright_, toolTip_}; }
    bool active_ = false;
    // What the program asked for, whatever the shell made of it.
    bool wanted_ = false;
    bool bright_ = true;
    std::string toolTip_;
};
