#pragma once
// Qt's own messages (the toolkit's and its plugins' warnings) go to the log instead of standard
// error, as their kind, category, length and short hash only, never the source place they name:
// they may quote what was handed to the desktop, such as an address to mail or a folder to show,
// and a web page's script messages name the page's address as their file. Qt's report that the X
// connection broke, after which it ends the process with exit(), runs the display-lost handler
// first.

#include <QString>
#include <QtGlobal>

#include <functional>

namespace QtMessages {

// Installs the handler (after Log::setup()). Main thread, once.
void install();

// Runs on the GUI thread when Qt reports that the X connection broke; Qt ends the process as soon
// as it returns. Any thread may set it.
void setDisplayLostHandler(std::function<void()> handler);

// The log line of a Qt message: never its text.
QString describe(QtMsgType type, const char *category, const QString &message);

} // namespace QtMessages
