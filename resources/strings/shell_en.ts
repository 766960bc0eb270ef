<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>Shell</name>
    <message id="Accessibility.Permission.Title">
        <source>Quick paste needs to send keystrokes</source>
        <translation>Quick paste needs to send keystrokes</translation>
    </message>
    <message id="Accessibility.Permission.Message">
        <source>To paste an item straight into the window you were working in, TaviPaste sends the paste keystroke (Ctrl+V) to it. This desktop does not let TaviPaste send keystrokes: the X server needs the XTEST extension. Until it has it, TaviPaste copies the item you pick, and you paste it yourself with Ctrl+V.</source>
        <translation>To paste an item straight into the window you were working in, TaviPaste sends the paste keystroke (Ctrl+V) to it. This desktop does not let TaviPaste send keystrokes: the X server needs the XTEST extension. Until it has it, TaviPaste copies the item you pick, and you paste it yourself with Ctrl+V.</translation>
    </message>
    <message id="Accessibility.Permission.Open">
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message id="Accessibility.Permission.Cancel">
        <source>Turn Quick Paste Off</source>
        <translation>Turn Quick Paste Off</translation>
    </message>
    <message id="Accessibility.Permission.Help">
        <source>Help</source>
        <translation>Help</translation>
    </message>
    <message id="Accessibility.Permission.ImageName">
        <source>accessibility_en</source>
        <translation>accessibility_en</translation>
    </message>
    <message id="Accessibility.Permission.Alert.Title">
        <source>Turn off quick paste?</source>
        <translation>Turn off quick paste?</translation>
    </message>
    <message id="Accessibility.Permission.Alert.Message">
        <source>Items you pick are then only copied to the clipboard; you paste them yourself with Ctrl+V. You can turn quick paste on again in the preferences.</source>
        <translation>Items you pick are then only copied to the clipboard; you paste them yourself with Ctrl+V. You can turn quick paste on again in the preferences.</translation>
    </message>
    <message id="Accessibility.Permission.Alert.Confirm">
        <source>Turn Off</source>
        <translation>Turn Off</translation>
    </message>
    <message id="Accessibility.Permission.Alert.Cancel">
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message id="Server.Page.Quickpastehelp">
        <source>https://tavipaste.app/help/quick-paste</source>
        <translation>https://tavipaste.app/help/quick-paste</translation>
    </message>
    <message id="SearchTip.Title">
        <source>Search your whole history</source>
        <translation>Search your whole history</translation>
    </message>
    <message id="SearchTip.Message">
        <source>Press %1 anywhere to open the quick-paste panel. Type a few letters to find any item you copied and choose it with the arrow keys.</source>
        <translation>Press %1 anywhere to open the quick-paste panel. Type a few letters to find any item you copied and choose it with the arrow keys.</translation>
    </message>
    <message id="SearchTip.Message.NoHotKey">
        <source>Give the quick-paste panel a hot key in the preferences to open it anywhere. Type a few letters to find any item you copied and choose it with the arrow keys.</source>
        <translation>Give the quick-paste panel a hot key in the preferences to open it anywhere. Type a few letters to find any item you copied and choose it with the arrow keys.</translation>
    </message>
    <message id="SearchTip.Return.Paste">
        <source>Press Enter, and the item is pasted into the window you were working in.</source>
        <translation>Press Enter, and the item is pasted into the window you were working in.</translation>
    </message>
    <message id="SearchTip.Return.Copy">
        <source>Press Enter, and the item is copied: paste it with Ctrl+V where you want it.</source>
        <translation>Press Enter, and the item is copied: paste it with Ctrl+V where you want it.</translation>
    </message>
    <message id="SearchTip.OK">
        <source>Got It</source>
        <translation>Got It</translation>
    </message>
    <message id="HUD.ItemsCount.Label">
        <source>%1 items</source>
        <translation>%1 items</translation>
    </message>
    <message id="HUD.Copied.Label">
        <source>Copied</source>
        <translation>Copied</translation>
    </message>
    <message id="HUD.Pasted.Label">
        <source>Pasted</source>
        <translation>Pasted</translation>
    </message>
    <message id="Category.Alert.Warning.title">
        <source>Clear the whole history?</source>
        <translation>Clear the whole history?</translation>
    </message>
    <message id="Category.Alert.CategoryItemsClearAll.message">
        <source>Every item of the history is deleted. Pinned items go too. This cannot be undone.</source>
        <translation>Every item of the history is deleted. Pinned items go too. This cannot be undone.</translation>
    </message>
    <message id="Category.Alert.YES">
        <source>Clear</source>
        <translation>Clear</translation>
    </message>
    <message id="Category.Alert.NO">
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message id="ICP">
        <source>Clipboard history for the Linux desktop</source>
        <translation>Clipboard history for the Linux desktop</translation>
    </message>
    <message id="About.Version">
        <source>Version %1</source>
        <translation>Version %1</translation>
    </message>
    <message id="About.License">
        <source>© TaviPaste maintainers. All rights reserved.</source>
        <translation>© TaviPaste maintainers. All rights reserved.</translation>
    </message>
    <message id="About.Title">
        <source>About TaviPaste</source>
        <translation>About TaviPaste</translation>
    </message>
    <message id="Shortcut.Taken.title">
        <source>A shortcut is used by another program</source>
        <translation>A shortcut is used by another program</translation>
    </message>
    <message id="Shortcut.Taken.message">
        <source>Another program holds %1, so TaviPaste cannot use it. Choose another shortcut in Preferences → Shortcuts.</source>
        <translation>Another program holds %1, so TaviPaste cannot use it. Choose another shortcut in Preferences → Shortcuts.</translation>
    </message>
    <message id="Shortcut.Taken.OK">
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message id="NoTray.title">
        <source>Where TaviPaste’s menu is</source>
        <translation>Where TaviPaste’s menu is</translation>
    </message>
    <message id="NoTray.message">
        <source>Your desktop has no system tray, so TaviPaste’s menu, with your recent items, Pause, Preferences, Help and Quit, opens from two other places.</source>
        <translation>Your desktop has no system tray, so TaviPaste’s menu, with your recent items, Pause, Preferences, Help and Quit, opens from two other places.</translation>
    </message>
    <message id="NoTray.ColorBar">
        <source>• Right-click the “+” at the end of the color bar.</source>
        <translation>• Right-click the “+” at the end of the color bar.</translation>
    </message>
    <message id="NoTray.Panel.withKey">
        <source>• Open the quick-paste panel with %1 and click its menu button.</source>
        <translation>• Open the quick-paste panel with %1 and click its menu button.</translation>
    </message>
    <message id="NoTray.Panel">
        <source>• Click the menu button of the quick-paste panel.</source>
        <translation>• Click the menu button of the quick-paste panel.</translation>
    </message>
</context>
</TS>
