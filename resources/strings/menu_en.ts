<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>Menu</name>
    <message id="StatusBarMenu.Pause.title">
        <source>&amp;Pause Capture</source>
        <translation>&amp;Pause Capture</translation>
    </message>
    <message id="StatusBarMenu.Resume.title">
        <source>&amp;Resume Capture</source>
        <translation>&amp;Resume Capture</translation>
    </message>
    <message id="StatusBarMenu.ClearAll.title">
        <source>&amp;Clear History…</source>
        <translation>&amp;Clear History…</translation>
    </message>
    <message id="StatusBarMenu.Preferences.title">
        <source>Pr&amp;eferences…</source>
        <translation>Pr&amp;eferences…</translation>
    </message>
    <message id="StatusBarMenu.CheckUpdate.title">
        <source>Check for &amp;Updates…</source>
        <translation>Check for &amp;Updates…</translation>
    </message>
    <message id="StatusBarMenu.Help.title">
        <source>&amp;Help</source>
        <translation>&amp;Help</translation>
    </message>
    <message id="StatusBarMenu.Contact.title">
        <source>C&amp;ontact Us</source>
        <translation>C&amp;ontact Us</translation>
    </message>
    <message id="StatusBarMenu.Feedback.title">
        <source>Send &amp;Feedback…</source>
        <translation>Send &amp;Feedback…</translation>
    </message>
    <message id="StatusBarMenu.MoreTools.title">
        <source>&amp;More Tools</source>
        <translation>&amp;More Tools</translation>
    </message>
    <message id="StatusBarMenu.About.title">
        <source>&amp;About TaviPaste</source>
        <translation>&amp;About TaviPaste</translation>
    </message>
    <message id="StatusBarMenu.Quit.title">
        <source>&amp;Quit TaviPaste</source>
        <translation>&amp;Quit TaviPaste</translation>
    </message>
    <message id="AutoLaunchHint.Window.title">
        <source>Quit TaviPaste</source>
        <translation>Quit TaviPaste</translation>
    </message>
    <message id="AutoLaunchHint.Title">
        <source>Start TaviPaste when you log in?</source>
        <translation>Start TaviPaste when you log in?</translation>
    </message>
    <message id="AutoLaunchHint.Message">
        <source>TaviPaste keeps your clipboard history only while it runs. Let it start each time you log in, so nothing you copy is missed.</source>
        <translation>TaviPaste keeps your clipboard history only while it runs. Let it start each time you log in, so nothing you copy is missed.</translation>
    </message>
    <message id="AutoLaunchHint.NoPrompt">
        <source>Don't ask again</source>
        <translation>Don't ask again</translation>
    </message>
    <message id="AutoLaunchHint.Quit">
        <source>Quit</source>
        <translation>Quit</translation>
    </message>
    <message id="AutoLaunchHint.Cancel">
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message id="AutoLaunchHint.LaunchAndQuit">
        <source>Start at Login and Quit</source>
        <translation>Start at Login and Quit</translation>
    </message>
    <message id="AutoLaunch.Failed.title">
        <source>TaviPaste could not be set to start at login</source>
        <translation>TaviPaste could not be set to start at login</translation>
    </message>
    <message id="AutoLaunch.Failed.OK">
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message id="AutoLaunch.Lost.title">
        <source>TaviPaste no longer starts at login</source>
        <translation>TaviPaste no longer starts at login</translation>
    </message>
    <message id="AutoLaunch.Lost.NoHelper">
        <source>The program that started TaviPaste at login was moved or removed, and this copy of TaviPaste has no login helper next to it. Reinstall TaviPaste, then turn on “Start TaviPaste when I log in” again.</source>
        <translation>The program that started TaviPaste at login was moved or removed, and this copy of TaviPaste has no login helper next to it. Reinstall TaviPaste, then turn on “Start TaviPaste when I log in” again.</translation>
    </message>
    <message id="AutoLaunch.Failed.NoHelper">
        <source>The login helper (TaviPasteHelper) is not installed next to TaviPaste. Reinstall TaviPaste to start it at login.</source>
        <translation>The login helper (TaviPasteHelper) is not installed next to TaviPaste. Reinstall TaviPaste to start it at login.</translation>
    </message>
</context>
</TS>
