<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>TaviPaste</name>
    <message id="Key.Ctrl">
        <source>Ctrl</source>
        <translation>Ctrl</translation>
    </message>
    <message id="Key.Alt">
        <source>Alt</source>
        <translation>Alt</translation>
    </message>
    <message id="Key.Shift">
        <source>Shift</source>
        <translation>Shift</translation>
    </message>
    <message id="Key.Super">
        <source>Super</source>
        <translation>Super</translation>
    </message>
    <message id="Key.Enter">
        <source>Enter</source>
        <translation>Enter</translation>
    </message>
</context>
</TS>
