<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>TaviPaste</name>
    <message id="Store.Problem.title">
        <source>Clipboard history problem</source>
        <translation>Clipboard history problem</translation>
    </message>
    <message id="Store.Problem.OK">
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message id="Store.Problem.Damaged">
        <source>Your clipboard history could not be opened because its file is damaged. The file was kept at %1 and a new, empty history was started.</source>
        <translation>Your clipboard history could not be opened because its file is damaged. The file was kept at %1 and a new, empty history was started.</translation>
    </message>
    <message id="Store.Problem.DamagedNotMoved">
        <source>Your clipboard history at %1 could not be opened and could not be moved aside. It was left as it is; copies made now are kept only until TaviPaste quits.</source>
        <translation>Your clipboard history at %1 could not be opened and could not be moved aside. It was left as it is; copies made now are kept only until TaviPaste quits.</translation>
    </message>
    <message id="Store.Problem.NewerVersion">
        <source>Your clipboard history at %1 was saved by a newer version of TaviPaste and was left untouched. Update TaviPaste to use it; copies made now are kept only until TaviPaste quits.</source>
        <translation>Your clipboard history at %1 was saved by a newer version of TaviPaste and was left untouched. Update TaviPaste to use it; copies made now are kept only until TaviPaste quits.</translation>
    </message>
    <message id="Store.Problem.Unwritable">
        <source>TaviPaste cannot write its clipboard history in %1. Copies made now are kept only until TaviPaste quits.</source>
        <translation>TaviPaste cannot write its clipboard history in %1. Copies made now are kept only until TaviPaste quits.</translation>
    </message>
    <message id="Store.Problem.Busy">
        <source>Your clipboard history at %1 is in use by another program and could not be opened in time. It was left as it is; copies made now are kept only until TaviPaste quits. Close the other program and start TaviPaste again to use your history.</source>
        <translation>Your clipboard history at %1 is in use by another program and could not be opened in time. It was left as it is; copies made now are kept only until TaviPaste quits. Close the other program and start TaviPaste again to use your history.</translation>
    </message>
    <message id="Store.Problem.Unreadable">
        <source>Your clipboard history at %1 could not be read just now. It was left as it is; copies made now are kept only until TaviPaste quits. Start TaviPaste again to use your history.</source>
        <translation>Your clipboard history at %1 could not be read just now. It was left as it is; copies made now are kept only until TaviPaste quits. Start TaviPaste again to use your history.</translation>
    </message>
    <message id="Crash.LastRun.title">
        <source>TaviPaste stopped unexpectedly the last time it ran</source>
        <translation>TaviPaste stopped unexpectedly the last time it ran</translation>
    </message>
    <message id="Crash.LastRun.HistoryIntact">
        <source>Your clipboard history is intact: everything TaviPaste had saved is there. A copy made in the last moment before it stopped may be missing.</source>
        <translation>Your clipboard history is intact: everything TaviPaste had saved is there. A copy made in the last moment before it stopped may be missing.</translation>
    </message>
    <message id="Crash.LastRun.HistoryNotOpened">
        <source>Your clipboard history could not be opened as it was; the next message says what became of it.</source>
        <translation>Your clipboard history could not be opened as it was; the next message says what became of it.</translation>
    </message>
</context>
</TS>
