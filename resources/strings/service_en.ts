<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>Service</name>
    <message id="CheckUpdate.Msg.AlreadyLatest">
        <source>You are using the latest version of TaviPaste.</source>
        <translation>You are using the latest version of TaviPaste.</translation>
    </message>
    <message id="CheckUpdate.Msg.NetworkError">
        <source>TaviPaste could not check for updates. Check your internet connection and try again later.</source>
        <translation>TaviPaste could not check for updates. Check your internet connection and try again later.</translation>
    </message>
    <message id="CheckUpdate.Msg.NewVersion">
        <source>A new version of TaviPaste is available</source>
        <translation>A new version of TaviPaste is available</translation>
    </message>
    <message id="CheckUpdate.Msg.NewVersionDetail">
        <source>Choose OK to open the download page in your browser.</source>
        <translation>Choose OK to open the download page in your browser.</translation>
    </message>
    <message id="CheckUpdate.Msg.IgnoreCurrent">
        <source>Skip This Version</source>
        <translation>Skip This Version</translation>
    </message>
    <message id="CheckUpdate.Msg.NoService">
        <source>TaviPaste has no update service set, so it cannot check for updates. Your package manager keeps it up to date.</source>
        <translation>TaviPaste has no update service set, so it cannot check for updates. Your package manager keeps it up to date.</translation>
    </message>
    <message id="CheckUpdate.Btn.OK">
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message id="Authorization.Title">
        <source>Allow TaviPaste to read the files you copy</source>
        <translation>Allow TaviPaste to read the files you copy</translation>
    </message>
    <message id="Authorization.Unreadable">
        <source>TaviPaste could not read a file you copied</source>
        <translation>TaviPaste could not read a file you copied</translation>
    </message>
    <message id="Authorization.Desc">
        <source>TaviPaste reads the files you copy with your own permissions, and it could not read one you copied from the folder below: your history keeps its name and place, without a preview. Granting the folder changes no permission; TaviPaste remembers it and no longer asks about files copied from there. To let TaviPaste read them, give yourself read permission in your file manager.</source>
        <translation>TaviPaste reads the files you copy with your own permissions, and it could not read one you copied from the folder below: your history keeps its name and place, without a preview. Granting the folder changes no permission; TaviPaste remembers it and no longer asks about files copied from there. To let TaviPaste read them, give yourself read permission in your file manager.</translation>
    </message>
    <message id="Authorization.OK">
        <source>Choose Folder</source>
        <translation>Choose Folder</translation>
    </message>
    <message id="Authorization.Cancel">
        <source>Not Now</source>
        <translation>Not Now</translation>
    </message>
    <message id="Authorization.NotPrompt">
        <source>Don't ask again</source>
        <translation>Don't ask again</translation>
    </message>
    <message id="Authorization.Folder">
        <source>Folder: %1</source>
        <translation>Folder: %1</translation>
    </message>
    <message id="Authorization.Failed">
        <source>The folder was not granted</source>
        <translation>The folder was not granted</translation>
    </message>
    <message id="Authorization.Invalid">
        <source>That is not the folder TaviPaste asked for</source>
        <translation>That is not the folder TaviPaste asked for</translation>
    </message>
    <message id="Welcome.Window.Title">
        <source>Welcome to TaviPaste</source>
        <translation>Welcome to TaviPaste</translation>
    </message>
    <message id="Welcome.Back">
        <source>Back</source>
        <translation>Back</translation>
    </message>
    <message id="Welcome.Next">
        <source>Next</source>
        <translation>Next</translation>
    </message>
    <message id="Welcome.sideBar.Title">
        <source>Everything you copy, at the edge of your screen</source>
        <translation>Everything you copy, at the edge of your screen</translation>
    </message>
    <message id="Welcome.sideBar.Text">
        <source>TaviPaste keeps a history of what you copy. The color bar at the side of your screen has one row per category: move the pointer to it whenever you need something again.</source>
        <translation>TaviPaste keeps a history of what you copy. The color bar at the side of your screen has one row per category: move the pointer to it whenever you need something again.</translation>
    </message>
    <message id="Welcome.drag.Title">
        <source>Put your categories in order</source>
        <translation>Put your categories in order</translation>
    </message>
    <message id="Welcome.drag.Text">
        <source>Drag a row up or down the color bar to move a category. Keep the ones you use most where your pointer reaches them first.</source>
        <translation>Drag a row up or down the color bar to move a category. Keep the ones you use most where your pointer reaches them first.</translation>
    </message>
    <message id="Welcome.click.Title">
        <source>Click a row to see its items</source>
        <translation>Click a row to see its items</translation>
    </message>
    <message id="Welcome.click.Text">
        <source>A click on a row opens the list of that category. Pick an item to copy it again, or press Super+J anywhere to search the whole history and paste without leaving the keyboard.</source>
        <translation>A click on a row opens the list of that category. Pick an item to copy it again, or press Super+J anywhere to search the whole history and paste without leaving the keyboard.</translation>
    </message>
    <message id="Welcome.tag.Title">
        <source>Tag items with your own categories</source>
        <translation>Tag items with your own categories</translation>
    </message>
    <message id="Welcome.tag.Text">
        <source>Make categories of your own with a name and a color, and file any item under one or more of them. Pin the items you need every day so they stay at the top.</source>
        <translation>Make categories of your own with a name and a color, and file any item under one or more of them. Pin the items you need every day so they stay at the top.</translation>
    </message>
    <message id="Welcome.autoTag.Title">
        <source>Sorted for you as you copy</source>
        <translation>Sorted for you as you copy</translation>
    </message>
    <message id="Welcome.autoTag.Text">
        <source>Every copy is filed by its kind on its own: text, links, images, files, e-mail addresses and notes. Choose an active category and new copies are tagged with it too.</source>
        <translation>Every copy is filed by its kind on its own: text, links, images, files, e-mail addresses and notes. Choose an active category and new copies are tagged with it too.</translation>
    </message>
    <message id="Welcome.autoTag.OK">
        <source>Start Using TaviPaste</source>
        <translation>Start Using TaviPaste</translation>
    </message>
    <message id="WhatsNew.Title">
        <source>What's new in TaviPaste</source>
        <translation>What's new in TaviPaste</translation>
    </message>
    <message id="WhatsNew.Content">
        <source>• Pick up any recent copy from the menu of the tray icon.
• Search the whole history with Super+J and paste without leaving the keyboard.
• Tag items with categories of your own, and pin the ones you need every day.
• TaviPaste can start with your desktop session.</source>
        <translation>• Pick up any recent copy from the menu of the tray icon.
• Search the whole history with Super+J and paste without leaving the keyboard.
• Tag items with categories of your own, and pin the ones you need every day.
• TaviPaste can start with your desktop session.</translation>
    </message>
    <message id="WhatsNew.Btn">
        <source>Visit the TaviPaste Website</source>
        <translation>Visit the TaviPaste Website</translation>
    </message>
</context>
</TS>
