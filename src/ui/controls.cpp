#include "ui/controls.h"

#include "ui/desktop.h"

void TControl::SetFocus()
{
    if (ViewFocus) ViewFocus();
}

void TEdit::SetText(const std::string& v)
{
    if (text_ == v) return;
    text_ = v;
    Changed();
    if (OnChange) OnChange();
}

void TCheckBox::SetChecked(bool v)
{
    if (checked_ == v) return;
    checked_ = v;
    Changed();
    if (OnClick) OnClick();
}

void TRadioGroup::SetItemIndex(int v)
{
    if (v < -1 || v >= static_cast<int>(items_.size())) v = -1;
    if (itemIndex_ == v) return;
    itemIndex_ = v;
    Changed();
    if (OnClick) OnClick();
}

TComboBox::TComboBox(std::string name) : TControl(std::move(name))
{
    items_.OnChange = [this] {
        if (itemIndex_ >= items_.Count()) itemIndex_ = -1;
        Changed();
    };
}

void TComboBox::SetItemIndex(int v)
{
    if (v < -1 || v >= items_.Count()) v = -1;
    Set(itemIndex_, v);
}

std::string TComboBox::Text() const { return itemIndex_ < 0 ? std::string() : items_[itemIndex_]; }

void TComboBox::UserSelect(int index)
{
    SetItemIndex(index);
    if (OnChange) OnChange();
}

TListBox::TListBox(std::string name) : TControl(std::move(name))
{
    items_.OnChange = [this] {
        if (itemIndex_ >= items_.Count()) itemIndex_ = -1;
        if (topIndex_ >= items_.Count()) topIndex_ = 0;
        Changed();
    };
}

void TListBox::SetItemIndex(int v)
{
    if (v < -1 || v >= items_.Count()) v = -1;
    Set(itemIndex_, v);
}

void TListBox::SetTopIndex(int v)
{
    if (v < 0 || v >= items_.Count()) v = 0;
    Set(topIndex_, v);
}

void TPageControl::SetActivePageIndex(int v)
{
    if (v < 0 || v >= static_cast<int>(pages_.size())) return;
    Set(active_, v);
}

void TPageControl::UserSelect(int index)
{
    SetActivePageIndex(index);
    if (OnChange) OnChange();
}

TTimer::~TTimer()
{
    if (HasDesktop()) Desk().TimerDestroyed(*this);
}

void TTimer::SetInterval(int ms)
{
    if (interval_ == ms) return;
    interval_ = ms;
    if (HasDesktop()) Desk().TimerChanged(*this);
}

void TTimer::SetEnabled(bool v)
{
    if (enabled_ == v) return;
    enabled_ = v;
    if (HasDesktop()) Desk().TimerChanged(*this);
}

TForm::~TForm() = default;

void TForm::SetBounds(const TRect& r)
{
    if (r.left == bounds_.left && r.top == bounds_.top && r.width == bounds_.width &&
        r.height == bounds_.height)
        return;
    bounds_ = r;
    Changed();
}

void TForm::SetPosition(int left, int top) { SetBounds({left, top, bounds_.width, bounds_.height}); }

int TForm::ShowModal()
{
    modalResult_ = mrNone;
    return Desk().ShowModal(*this);
}

void TForm::Close()
{
    if (OnCloseQuery && !OnCloseQuery()) return;
    if (inModalLoop_ && modalResult_ == mrNone) modalResult_ = mrCancel;
    Hide();
}

void TForm::Minimize()
{
    minimized_ = true;
    if (Visible())
        Changed();
    else
        Show();
}

void TForm::BringToFront()
{
    minimized_ = false;
    Show();
    if (HasDesktop()) Desk().BringToFront(*this);
}
