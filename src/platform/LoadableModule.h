#pragma once
// A part of the program built as a library of its own (what only a preview, text recognition or a
// sound needs), loaded on first use so that start-up maps none of the libraries it links. Modules
// sit in the program's module folder of the install, or in the build tree's. Any thread.

#include <QString>

#include <functional>

namespace LoadableModule {

// Whether the module's file is there; nothing is loaded.
bool isInstalled(const QString &name);
// The function the module exports under the symbol, the module loaded on first use (slow: its
// libraries are mapped). Null where the module or a library it needs is missing, told once in
// the log; later calls do not try again.
QFunctionPointer entry(const QString &name, const char *symbol);
// entry() on a worker thread, the answer handed to `done` on the GUI thread.
void entryLater(const QString &name, const char *symbol, std::function<void(QFunctionPointer)> done);

} // namespace LoadableModule
