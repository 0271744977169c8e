#pragma once
class QString;
class QUrl;

// Opens Tolvar's help page at a context's section. The desktop's opener
// (xdg-open, else Qt's own way to the user's browser) gets a small page that
// jumps to the section, as openers drop the "#section" of a file URL. When
// there is no opener, or it fails, the page opens in a built-in viewer.
// TOLVAR_HELP=builtin in the environment always uses the built-in viewer
// (for tests, and for users who want no browser).
// modal: the caller is a modal box or window, which would otherwise block
// the viewer; it then runs modally until closed.
void OpenHelp(int helpContext, bool modal);
// The help page's URL at the context's section.
QUrl HelpUrl(int helpContext);
// The built-in viewer, showing url; returns it for tests.
class QTextBrowser;
QTextBrowser* ShowBuiltInHelp(const QUrl& url, bool modal);
