<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>History</name>
    <message id="PBHUD.OR">
        <source>or</source>
        <translation>or</translation>
    </message>
    <message id="PBHUD.Delete.tooltip">
        <source>Delete this item</source>
        <translation>Delete this item</translation>
    </message>
    <message id="PBHUD.Clear.tooltip">
        <source>Clear the search</source>
        <translation>Clear the search</translation>
    </message>
    <message id="PBHUD.Close.tooltip">
        <source>Close the panel</source>
        <translation>Close the panel</translation>
    </message>
    <message id="PBHUD.Search.placeholder">
        <source>Search the history</source>
        <translation>Search the history</translation>
    </message>
    <message id="PBHUD.Close.Tip">
        <source>Press Escape to close the panel, or the hot key that opened it.</source>
        <translation>Press Escape to close the panel, or the hot key that opened it.</translation>
    </message>
    <message id="Note.Alert.confirm">
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
</TS>
