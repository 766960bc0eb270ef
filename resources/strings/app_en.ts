<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>TaviPaste</name>
    <message id="App.name">
        <source>TaviPaste</source>
        <translation>TaviPaste</translation>
    </message>
</context>
</TS>
