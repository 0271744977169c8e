#pragma once
#include "qt/formview.h"

class TfrmProps;

// The main window as the user sees it: the seven pages and the bottom row.
class TPropsView : public TFormView {
public:
    explicit TPropsView(TfrmProps& props);

private:
    QWidget* GeneralPage();
    QWidget* MyDetailsPage();
    QWidget* ServersPage();
    QWidget* HistoryPage();
    QWidget* QueuePage();
    QWidget* PreferencesPage();
    QWidget* AboutPage();
    TfrmProps& props_;
};
