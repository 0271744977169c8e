#pragma once
#include <string>

#include "ui/controls.h"
#include "ui/desktop.h"

// The small borderless window beside the pointer: a two-second notice, or
// the progress of a request being sent.
class TfrmProgress : public TForm {
public:
    TfrmProgress();
    ~TfrmProgress() override;
    std::string ClassName() const override { return "TfrmProgress"; }

    static constexpr int kWidth = 192;
    static constexpr int kHeight = 32;
    // Top-left corner for a window of size w x h opened at the pointer: kept
    // clear of the screen edges, the bottom and right rules winning.
    static TPoint Placement(TPoint pointer, TSize screen, int w, int h);
    // The URL without its scheme, cut in the middle when longer than 32
    // characters so that its host (the front) and its file (the end) show.
    static std::string ProgressCaption(const std::string& url);

    TLabel Label1{"Label1"};
    TProgressBar ProgressBar1{"ProgressBar1"};
    TTimer Timer1{"Timer1", 2000};

    void Timer1Timer();
};

// Shows text for two seconds as a modal notice, then records "Requesting"
// as the last status. A failure while showing it goes no further.
void ShowTransientMessage(const std::string& text);
