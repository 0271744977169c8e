// Picks the desktop (Qt) and runs Tolvar's main window until it is unloaded;
// command-line verbs run without a window.
#include <QApplication>
#include <clocale>
#include <iostream>
#include <memory>

#include "app/cli.h"
#include "app/props.h"
#include "core/deblog.h"
#include "core/error.h"
#include "core/localroot.h"
#include "qt/instance.h"
#include "qt/progressview.h"
#include "qt/propsview.h"
#include "qt/qtdesktop.h"
#include "qt/qtpump.h"
#include "replies/savedmail.h"
#include "ui/application.h"
#include "ui/desktop.h"

int main(int argc, char** argv)
{
    // Decoding saved mail needs neither a display nor the lock.
    if (argc > 1 && std::string(argv[1]) == "decode") {
        SetLocalRoot(ExecutableFolder());
        return RunDecodeCommand(std::vector<std::string>(argv + 2, argv + argc));
    }
    std::vector<std::string> args(argv + 1, argv + argc);
    if (IsCommandLineVerb(args)) {
        // The lock and the local socket need Qt's core only, never a display.
        QCoreApplication core(argc, argv);
        TQtInstanceChannel channel("tolvar");
        return RunCommandLine(args, channel, std::cout, std::cerr);
    }
    QApplication app(argc, argv);
    // Log and history stamps use the user's regional date and time formats.
    std::setlocale(LC_TIME, "");
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName("Tolvar");

    QtDesktop desktop;
    RegisterQtViews();
    TQtMailPump pump;
    SetMailPump(&pump);
    bool previousInstance = !desktop.ClaimSingleInstance("tolvar");

    TProgramFolder folder = SetUpLocalRoot();
    LogDebug("Started Tolvar");
    if (!folder.installedData.empty()) LogDebug("Installed copy: program folder " + LocalRoot());
    if (!folder.seedFailures.empty()) LogDebug("Could not copy from " + folder.installedData + ":\n" + folder.seedFailures);
    SetErrorBox([](const std::string& text, int help, bool withHelp) {
        MessageDlg(text, TMsgDlgType::mtWarning, withHelp ? (mbOK | mbHelp) : mbOK, help);
    });

    TfrmProps props(args);
    if (!props.JustOne32(previousInstance)) return 0;
    auto view = std::make_unique<TPropsView>(props);
    desktop.SetActivateHandler([&props] {
        RunGuarded(props, [&props] { props.ComeForward(); });
        // A box or the wizard the user has yet to answer stays above it:
        // the main window takes no input until it is answered.
        if (QWidget* modal = QApplication::activeModalWidget()) {
            if (modal->isMinimized()) modal->showNormal();
            modal->raise();
            modal->activateWindow();
        }
    });
    RunGuarded(props, [&props] { props.FormCreate(); });
    desktop.SetRequestHandler([&props](const std::string& url) { return AnswerRequest(props, url); });
    if (!desktop.Terminated()) app.exec();
    props.FormDestroy();
    view.reset();
    SetMailPump(nullptr);
    return 0;
}
