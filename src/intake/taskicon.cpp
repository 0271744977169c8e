#include "intake/taskicon.h"

TTaskIcon::~TTaskIcon()
{
    if (active_ && HasDesktop()) Desk().TrayDelete();
}

void TTaskIcon::SetActive(bool v)
{
    wanted_ = v;
    if (v == active_) return;
    bool accepted = v ? Desk().TrayAdd(State()) : Desk().TrayDelete();
    if (accepted) active_ = v;
}

bool TTaskIcon::Recheck()
{
    bool available = Desk().TrayAvailable();
    if (active_ && !available) {
        Desk().TrayDelete();
        active_ = false;
        return true;
    }
    if (!active_ && wanted_ && available && Desk().TrayAdd(State())) {
        active_ = true;
        return true;
    }
    return false;
}

void TTaskIcon::ShowMessage(const std::string& text)
{
    if (active_) Desk().TrayMessage(text);
}

void TTaskIcon::Update()
{
    if (active_) Desk().TrayModify(State());
}

void TTaskIcon::SetBright(bool v)
{
    if (v == bright_) return;
    bright_ = v;
    Update();
}

void TTaskIcon::SetToolTip(const std::string& v)
{
    std::string cut = v.substr(0, kMaxToolTip);
    if (cut == toolTip_) return;
    toolTip_ = cut;
    Update();
}

void TTaskIcon::TrayEvent(TTrayEvent e, TPoint at)
{
    switch (e) {
    case TTrayEvent::Click:
        if (OnClick) OnClick();
        break;
    case TTrayEvent::DblClick:
        if (OnDblClick) OnDblClick();
        break;
    case TTrayEvent::RightClick:
        if (OnRightClick) OnRightClick(at);
        break;
    }
}
