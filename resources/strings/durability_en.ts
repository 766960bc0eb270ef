<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>TaviPaste</name>
    <message id="Store.Problem.Foreign">
        <source>The file at %1 is not a TaviPaste clipboard history; it looks like another program's database. It was left intact and moved to %2, and a new, empty history was started.</source>
        <translation>The file at %1 is not a TaviPaste clipboard history; it looks like another program's database. It was left intact and moved to %2, and a new, empty history was started.</translation>
    </message>
    <message id="Store.Problem.ForeignNotMoved">
        <source>The file at %1 is not a TaviPaste clipboard history and could not be moved aside. It was left as it is; copies made now are kept only until TaviPaste quits.</source>
        <translation>The file at %1 is not a TaviPaste clipboard history and could not be moved aside. It was left as it is; copies made now are kept only until TaviPaste quits.</translation>
    </message>
    <message id="Settings.Problem.title">
        <source>Settings problem</source>
        <translation>Settings problem</translation>
    </message>
    <message id="Settings.Problem.KeptAside">
        <source>Your TaviPaste settings file could not be read. It was kept at %1 and the default settings apply until you change them.</source>
        <translation>Your TaviPaste settings file could not be read. It was kept at %1 and the default settings apply until you change them.</translation>
    </message>
    <message id="Settings.Problem.AutoCleanIgnored">
        <source>The saved setting “%1” could not be read or holds a value Preferences cannot set, so old history is not cleaned automatically. Choose the setting again in Preferences to turn automatic cleaning back on.</source>
        <translation>The saved setting “%1” could not be read or holds a value Preferences cannot set, so old history is not cleaned automatically. Choose the setting again in Preferences to turn automatic cleaning back on.</translation>
    </message>
    <message id="Settings.Problem.SizeLimitIgnored">
        <source>The saved setting “%1” could not be read or holds a value Preferences cannot set, so copies of every size are recorded. Choose the size limit again in Preferences to turn it back on.</source>
        <translation>The saved setting “%1” could not be read or holds a value Preferences cannot set, so copies of every size are recorded. Choose the size limit again in Preferences to turn it back on.</translation>
    </message>
    <message id="Settings.Name.historyKeepLastCount">
        <source>Keep the last (number of days or items)</source>
        <translation>Keep the last (number of days or items)</translation>
    </message>
    <message id="Settings.Name.historyClearType">
        <source>Clean history by (days or items)</source>
        <translation>Clean history by (days or items)</translation>
    </message>
    <message id="Settings.Name.ignoreDataSize">
        <source>Do not record copies larger than (size)</source>
        <translation>Do not record copies larger than (size)</translation>
    </message>
    <message id="Settings.Name.ignoreDataSizeType">
        <source>Do not record copies larger than (KB or MB)</source>
        <translation>Do not record copies larger than (KB or MB)</translation>
    </message>
    <message id="Save.Problem.title">
        <source>Clipboard history not saved</source>
        <translation>Clipboard history not saved</translation>
    </message>
    <message id="Save.Problem.DiskFull">
        <source>Your clipboard history could not be saved because the disk is full. TaviPaste keeps your recent copies in memory and tries again; free some disk space so they are not lost when TaviPaste quits.</source>
        <translation>Your clipboard history could not be saved because the disk is full. TaviPaste keeps your recent copies in memory and tries again; free some disk space so they are not lost when TaviPaste quits.</translation>
    </message>
    <message id="Save.Problem.ReadOnly">
        <source>Your clipboard history could not be saved because its folder or file cannot be written (read-only or no permission). TaviPaste keeps your recent copies in memory and tries again.</source>
        <translation>Your clipboard history could not be saved because its folder or file cannot be written (read-only or no permission). TaviPaste keeps your recent copies in memory and tries again.</translation>
    </message>
    <message id="Save.Problem.IOError">
        <source>Your clipboard history could not be saved because the disk reported an error while writing. TaviPaste keeps your recent copies in memory and tries again.</source>
        <translation>Your clipboard history could not be saved because the disk reported an error while writing. TaviPaste keeps your recent copies in memory and tries again.</translation>
    </message>
    <message id="Save.Problem.Other">
        <source>Your clipboard history could not be saved (%1). TaviPaste keeps your recent copies in memory and tries again.</source>
        <translation>Your clipboard history could not be saved (%1). TaviPaste keeps your recent copies in memory and tries again.</translation>
    </message>
    <message id="Save.Problem.UnsavedOne">
        <source>One item of your clipboard history could not be written to disk; its latest changes are lost now that TaviPaste quits.</source>
        <translation>One item of your clipboard history could not be written to disk; its latest changes are lost now that TaviPaste quits.</translation>
    </message>
    <message id="Save.Problem.UnsavedMany">
        <source>%1 items of your clipboard history could not be written to disk; their latest changes are lost now that TaviPaste quits.</source>
        <translation>%1 items of your clipboard history could not be written to disk; their latest changes are lost now that TaviPaste quits.</translation>
    </message>
    <message id="Read.Problem.title">
        <source>Clipboard item not available</source>
        <translation>Clipboard item not available</translation>
    </message>
    <message id="Read.Problem.CopyOut">
        <source>The item could not be read from your clipboard history, so nothing was copied and the clipboard was left as it was. Try again; if it keeps failing, the history file may be damaged or its disk failing.</source>
        <translation>The item could not be read from your clipboard history, so nothing was copied and the clipboard was left as it was. Try again; if it keeps failing, the history file may be damaged or its disk failing.</translation>
    </message>
    <message id="Capture.Lost.title">
        <source>Clipboard copy not recorded</source>
        <translation>Clipboard copy not recorded</translation>
    </message>
    <message id="Capture.Lost.Replaced">
        <source>A copy was replaced by a newer one before TaviPaste could read it, so it is not in your clipboard history. This can happen when copies follow each other very quickly on a busy computer; copy it again if you need it. The tooltip of TaviPaste's tray icon counts the copies missed this session.</source>
        <translation>A copy was replaced by a newer one before TaviPaste could read it, so it is not in your clipboard history. This can happen when copies follow each other very quickly on a busy computer; copy it again if you need it. The tooltip of TaviPaste's tray icon counts the copies missed this session.</translation>
    </message>
    <message id="Capture.Lost.NoAnswer">
        <source>The program you copied from did not answer, or stopped sending the copy before TaviPaste had all of it, so the copy is not in your clipboard history. Copy it again while that program is running. The tooltip of TaviPaste's tray icon counts the copies missed this session.</source>
        <translation>The program you copied from did not answer, or stopped sending the copy before TaviPaste had all of it, so the copy is not in your clipboard history. Copy it again while that program is running. The tooltip of TaviPaste's tray icon counts the copies missed this session.</translation>
    </message>
    <message id="Capture.Lost.NotTaken">
        <source>Copies came faster than TaviPaste could take them, and some of them are not in your clipboard history. The tooltip of TaviPaste's tray icon counts the copies missed this session.</source>
        <translation>Copies came faster than TaviPaste could take them, and some of them are not in your clipboard history. The tooltip of TaviPaste's tray icon counts the copies missed this session.</translation>
    </message>
    <message id="Capture.Lost.TooltipOne">
        <source>1 copy could not be recorded this session</source>
        <translation>1 copy could not be recorded this session</translation>
    </message>
    <message id="Capture.Lost.TooltipMany">
        <source>%1 copies could not be recorded this session</source>
        <translation>%1 copies could not be recorded this session</translation>
    </message>
</context>
</TS>
