<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>TaviPaste</name>
    <message id="App.name">
        <source>TaviPaste</source>
        <translation>TaviPaste</translation>
    </message>
    <message id="App.noDisplay">
        <source>TaviPaste needs an X11 display and could not open one (in a Wayland session, XWayland must be running).</source>
        <translation>TaviPaste needs an X11 display and could not open one (in a Wayland session, XWayland must be running).</translation>
    </message>
    <message id="App.alreadyRunning">
        <source>TaviPaste is already running.</source>
        <translation>TaviPaste is already running.</translation>
    </message>
    <message id="App.alreadyRunningPanelShown">
        <source>TaviPaste is already running, so its quick-paste panel is shown instead.</source>
        <translation>TaviPaste is already running, so its quick-paste panel is shown instead.</translation>
    </message>
</context>
</TS>
