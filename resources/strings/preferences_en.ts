<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>TaviPaste</name>
    <message id="Category.Alert.CategoryItemsClearLast.message">
        <source>Clean the history now, keeping only the last %1 %2? This cannot be undone.</source>
        <translation>Clean the history now, keeping only the last %1 %2? This cannot be undone.</translation>
    </message>
    <message id="Category.Alert.OK">
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message id="Settings.Window.title">
        <source>TaviPaste Preferences</source>
        <translation>TaviPaste Preferences</translation>
    </message>
    <message id="Settings.Tab.General">
        <source>General</source>
        <translation>General</translation>
    </message>
    <message id="Settings.Tab.Apperance">
        <source>Appearance</source>
        <translation>Appearance</translation>
    </message>
    <message id="Settings.Tab.Category">
        <source>Categories</source>
        <translation>Categories</translation>
    </message>
    <message id="Settings.Tab.Shortcuts">
        <source>Shortcuts</source>
        <translation>Shortcuts</translation>
    </message>
    <message id="Settings.Tab.Blacklist">
        <source>Ignored Applications</source>
        <translation>Ignored Applications</translation>
    </message>
    <message id="Settings.Tab.Sync">
        <source>Sync</source>
        <translation>Sync</translation>
    </message>
    <message id="Settings.Apperance.Section.ColorBar">
        <source>Color bar</source>
        <translation>Color bar</translation>
    </message>
    <message id="Settings.Apperance.Section.List">
        <source>History list</source>
        <translation>History list</translation>
    </message>
    <message id="Settings.Apperance.Section.Menu">
        <source>Status menu and quick selection</source>
        <translation>Status menu and quick selection</translation>
    </message>
    <message id="Settings.Apperance.Size">
        <source>Size:</source>
        <translation>Size:</translation>
    </message>
    <message id="Settings.Apperance.Appearance">
        <source>Shape:</source>
        <translation>Shape:</translation>
    </message>
    <message id="Settings.Apperance.Position">
        <source>Screen edge:</source>
        <translation>Screen edge:</translation>
    </message>
    <message id="Settings.Apperance.ScreenOption">
        <source>Show on:</source>
        <translation>Show on:</translation>
    </message>
    <message id="Settings.Apperance.ScreenOption.Initial">
        <source>The screen it started on</source>
        <translation>The screen it started on</translation>
    </message>
    <message id="Settings.Apperance.ScreenOption.Active">
        <source>The screen with the mouse</source>
        <translation>The screen with the mouse</translation>
    </message>
    <message id="Settings.Apperance.ScreenOption.Specific">
        <source>A chosen screen</source>
        <translation>A chosen screen</translation>
    </message>
    <message id="Settings.Apperance.Screen">
        <source>Screen:</source>
        <translation>Screen:</translation>
    </message>
    <message id="Settings.Apperance.AutoHide">
        <source>Hide the color bar when the mouse leaves it</source>
        <translation>Hide the color bar when the mouse leaves it</translation>
    </message>
    <message id="Settings.Apperance.HideDelay">
        <source>Hide after:</source>
        <translation>Hide after:</translation>
    </message>
    <message id="Settings.Apperance.Seconds">
        <source>seconds</source>
        <translation>seconds</translation>
    </message>
    <message id="Settings.Apperance.ShowWhenEntered">
        <source>Show it again when the mouse touches the screen edge</source>
        <translation>Show it again when the mouse touches the screen edge</translation>
    </message>
    <message id="Settings.Apperance.ShowWhenFullscreen">
        <source>Show the color bar over full-screen windows</source>
        <translation>Show the color bar over full-screen windows</translation>
    </message>
    <message id="Settings.Apperance.AnimateWhenAdd">
        <source>Flash the category of each new copy</source>
        <translation>Flash the category of each new copy</translation>
    </message>
    <message id="Settings.Apperance.AutoHideWindow">
        <source>Close the list when another window is activated</source>
        <translation>Close the list when another window is activated</translation>
    </message>
    <message id="Settings.Apperance.LiteMode">
        <source>Compact rows (lite mode)</source>
        <translation>Compact rows (lite mode)</translation>
    </message>
    <message id="Settings.Apperance.ShowHUD">
        <source>Show a notice after each copy and paste</source>
        <translation>Show a notice after each copy and paste</translation>
    </message>
    <message id="Settings.Apperance.DisplayMenuBarButton">
        <source>Show the TaviPaste icon in the system tray</source>
        <translation>Show the TaviPaste icon in the system tray</translation>
    </message>
    <message id="Settings.Apperance.HistoryCapacity">
        <source>Recent items:</source>
        <translation>Recent items:</translation>
    </message>
    <message id="Settings.Apperance.Items">
        <source>items in the menu and on the digit keys</source>
        <translation>items in the menu and on the digit keys</translation>
    </message>
    <message id="Settings.Category.Apperance.ColorBarAppearance.Right">
        <source>Square</source>
        <translation>Square</translation>
    </message>
    <message id="Settings.Category.Apperance.ColorBarAppearance.Rounded">
        <source>Rounded</source>
        <translation>Rounded</translation>
    </message>
    <message id="Settings.Category.Apperance.ColorBarPosition.Left">
        <source>Left</source>
        <translation>Left</translation>
    </message>
    <message id="Settings.Category.Apperance.ColorBarPosition.Right">
        <source>Right</source>
        <translation>Right</translation>
    </message>
    <message id="Settings.Category.Apperance.ColorBarSize.Large">
        <source>Large</source>
        <translation>Large</translation>
    </message>
    <message id="Settings.Category.Apperance.ColorBarSize.Medium">
        <source>Medium</source>
        <translation>Medium</translation>
    </message>
    <message id="Settings.Category.Apperance.ColorBarSize.Small">
        <source>Small</source>
        <translation>Small</translation>
    </message>
    <message id="Settings.Field.Corrected">
        <source>Corrected to the nearest allowed value (%1 to %2).</source>
        <translation>Corrected to the nearest allowed value (%1 to %2).</translation>
    </message>
    <message id="Settings.Field.NumberRange">
        <source>Enter a number from %1 to %2; the previous value is kept.</source>
        <translation>Enter a number from %1 to %2; the previous value is kept.</translation>
    </message>
    <message id="Settings.Field.WholeNumberRange">
        <source>Enter a whole number from %1 to %2; the previous value is kept.</source>
        <translation>Enter a whole number from %1 to %2; the previous value is kept.</translation>
    </message>
    <message id="Settings.General.Section.Behaviour">
        <source>Behaviour</source>
        <translation>Behaviour</translation>
    </message>
    <message id="Settings.General.QuickPaste">
        <source>Paste the chosen item into the active window</source>
        <translation>Paste the chosen item into the active window</translation>
    </message>
    <message id="Settings.General.QuickPasteHelp">
        <source>How does quick paste work?</source>
        <translation>How does quick paste work?</translation>
    </message>
    <message id="Settings.General.LaunchAtLogin">
        <source>Start TaviPaste when I log in</source>
        <translation>Start TaviPaste when I log in</translation>
    </message>
    <message id="Settings.General.LaunchAtLogin.Failed.title">
        <source>TaviPaste could not change how it starts at login</source>
        <translation>TaviPaste could not change how it starts at login</translation>
    </message>
    <message id="Settings.General.LaunchAtLogin.NoApplication">
        <source>TaviPaste is not running as an application.</source>
        <translation>TaviPaste is not running as an application.</translation>
    </message>
    <message id="Settings.General.PlainText">
        <source>Copy text items as plain text</source>
        <translation>Copy text items as plain text</translation>
    </message>
    <message id="Settings.General.AutoSaveNote">
        <source>Save notes automatically while editing</source>
        <translation>Save notes automatically while editing</translation>
    </message>
    <message id="Settings.General.Sound">
        <source>Play a sound on copy and paste</source>
        <translation>Play a sound on copy and paste</translation>
    </message>
    <message id="Settings.General.Section.Ignore">
        <source>Do not record</source>
        <translation>Do not record</translation>
    </message>
    <message id="Settings.General.IgnoreDirectory">
        <source>Copied folders</source>
        <translation>Copied folders</translation>
    </message>
    <message id="Settings.General.IgnoreFile">
        <source>Copied files</source>
        <translation>Copied files</translation>
    </message>
    <message id="Settings.General.IgnoreImage">
        <source>Images</source>
        <translation>Images</translation>
    </message>
    <message id="Settings.General.IgnoreWhiteSpace">
        <source>Text that is only spaces and line breaks</source>
        <translation>Text that is only spaces and line breaks</translation>
    </message>
    <message id="Settings.General.IgnoreOtherDevices">
        <source>Copies from other devices</source>
        <translation>Copies from other devices</translation>
    </message>
    <message id="Settings.General.IgnoreDataSize">
        <source>Copies larger than:</source>
        <translation>Copies larger than:</translation>
    </message>
    <message id="Settings.General.Unit.KB">
        <source>KB</source>
        <translation>KB</translation>
    </message>
    <message id="Settings.General.Unit.MB">
        <source>MB</source>
        <translation>MB</translation>
    </message>
    <message id="Settings.General.Section.Clean">
        <source>Clean-up</source>
        <translation>Clean-up</translation>
    </message>
    <message id="Settings.General.AutoClean">
        <source>Clean the history automatically</source>
        <translation>Clean the history automatically</translation>
    </message>
    <message id="Settings.General.KeepLast">
        <source>Keep the last</source>
        <translation>Keep the last</translation>
    </message>
    <message id="Settings.General.ClearType.Days">
        <source>days</source>
        <translation>days</translation>
    </message>
    <message id="Settings.General.ClearType.Items">
        <source>items</source>
        <translation>items</translation>
    </message>
    <message id="Settings.General.CleanNow">
        <source>Clean Now</source>
        <translation>Clean Now</translation>
    </message>
    <message id="Settings.General.IncludeSticky">
        <source>Also remove pinned items</source>
        <translation>Also remove pinned items</translation>
    </message>
    <message id="Settings.General.IncludeNote">
        <source>Also remove notes</source>
        <translation>Also remove notes</translation>
    </message>
    <message id="Settings.General.IncludeLock">
        <source>Also remove items of locked categories</source>
        <translation>Also remove items of locked categories</translation>
    </message>
    <message id="Settings.General.IncludeCustom">
        <source>Also remove items of your own categories</source>
        <translation>Also remove items of your own categories</translation>
    </message>
    <message id="Settings.General.Unit.Items.singular">
        <source>item</source>
        <translation>item</translation>
    </message>
    <message id="Settings.General.Unit.Items.plural">
        <source>items</source>
        <translation>items</translation>
    </message>
    <message id="Settings.General.Unit.Days.singular">
        <source>day</source>
        <translation>day</translation>
    </message>
    <message id="Settings.General.Unit.Days.plural">
        <source>days</source>
        <translation>days</translation>
    </message>
    <message id="Settings.General.Section.Recognition">
        <source>Text recognition</source>
        <translation>Text recognition</translation>
    </message>
    <message id="Settings.General.OCRLanguage">
        <source>Language in images:</source>
        <translation>Language in images:</translation>
    </message>
    <message id="Settings.General.Section.Access">
        <source>File access</source>
        <translation>File access</translation>
    </message>
    <message id="Settings.General.AllowRootFolderAccess">
        <source>Allow TaviPaste to read copied files anywhere under %1</source>
        <translation>Allow TaviPaste to read copied files anywhere under %1</translation>
    </message>
    <message id="Settings.Blacklist.Title">
        <source>Ignored applications</source>
        <translation>Ignored applications</translation>
    </message>
    <message id="Settings.Blacklist.Tips">
        <source>Nothing you copy in these applications is recorded. Add an application with + or drop its .desktop file on the list.</source>
        <translation>Nothing you copy in these applications is recorded. Add an application with + or drop its .desktop file on the list.</translation>
    </message>
    <message id="Settings.Blacklist.OpenPanel.Prompt">
        <source>Choose the applications whose copies TaviPaste ignores</source>
        <translation>Choose the applications whose copies TaviPaste ignores</translation>
    </message>
    <message id="Settings.Blacklist.OpenPanel.Filter">
        <source>Applications (*.desktop)</source>
        <translation>Applications (*.desktop)</translation>
    </message>
    <message id="Settings.Blacklist.PasswordManagers">
        <source>Password and key managers</source>
        <translation>Password and key managers</translation>
    </message>
    <message id="Settings.Blacklist.PasswordManagers.detail">
        <source>KeePassXC, Passwords and Keys, KWallet, Secrets, Bitwarden and others</source>
        <translation>KeePassXC, Passwords and Keys, KWallet, Secrets, Bitwarden and others</translation>
    </message>
    <message id="Settings.Blacklist.Refused.NotDesktopFile">
        <source>“%1” is not an application's .desktop file.</source>
        <translation>“%1” is not an application's .desktop file.</translation>
    </message>
    <message id="Settings.Blacklist.Refused.Unreadable">
        <source>“%1” cannot be read (a broken link or a loop of links).</source>
        <translation>“%1” cannot be read (a broken link or a loop of links).</translation>
    </message>
    <message id="Settings.Blacklist.Refused.NotApplication">
        <source>“%1” does not describe an application.</source>
        <translation>“%1” does not describe an application.</translation>
    </message>
    <message id="Settings.Blacklist.Refused.NoName">
        <source>“%1” gives the application no name.</source>
        <translation>“%1” gives the application no name.</translation>
    </message>
    <message id="Settings.Blacklist.NotInstalled">
        <source>Not installed</source>
        <translation>Not installed</translation>
    </message>
    <message id="Settings.Blacklist.Add">
        <source>Add applications</source>
        <translation>Add applications</translation>
    </message>
    <message id="Settings.Blacklist.Delete">
        <source>Remove the selected applications</source>
        <translation>Remove the selected applications</translation>
    </message>
    <message id="Settings.Category.Color">
        <source>Color</source>
        <translation>Color</translation>
    </message>
    <message id="Settings.Category.Name">
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message id="Settings.Category.Items">
        <source>Items</source>
        <translation>Items</translation>
    </message>
    <message id="Settings.Category.Active">
        <source>Active</source>
        <translation>Active</translation>
    </message>
    <message id="Settings.Category.Type">
        <source>Type</source>
        <translation>Type</translation>
    </message>
    <message id="Settings.Category.Display">
        <source>Shown</source>
        <translation>Shown</translation>
    </message>
    <message id="Settings.Category.Lock">
        <source>Locked</source>
        <translation>Locked</translation>
    </message>
    <message id="Settings.Category.Manage">
        <source>Manage</source>
        <translation>Manage</translation>
    </message>
    <message id="Settings.Category.Type.Custom">
        <source>Custom</source>
        <translation>Custom</translation>
    </message>
    <message id="Settings.Category.Type.Default">
        <source>Built-in</source>
        <translation>Built-in</translation>
    </message>
    <message id="Settings.Category.Active.tip">
        <source>New copies are also filed under the active category</source>
        <translation>New copies are also filed under the active category</translation>
    </message>
    <message id="Settings.Category.Clear">
        <source>Clear</source>
        <translation>Clear</translation>
    </message>
    <message id="Settings.Category.Clear.tip">
        <source>Remove the items of this category</source>
        <translation>Remove the items of this category</translation>
    </message>
    <message id="Settings.Category.ClearAll">
        <source>Clear History…</source>
        <translation>Clear History…</translation>
    </message>
    <message id="Settings.Category.Add">
        <source>Add a category</source>
        <translation>Add a category</translation>
    </message>
    <message id="Settings.Category.Delete">
        <source>Delete the selected category</source>
        <translation>Delete the selected category</translation>
    </message>
    <message id="Settings.Category.Tips">
        <source>Double-click a category to rename or recolor it. Locked categories keep their items when the history is cleaned.</source>
        <translation>Double-click a category to rename or recolor it. Locked categories keep their items when the history is cleaned.</translation>
    </message>
    <message id="Settings.Shortcut.Section.HotKeys">
        <source>Global shortcuts</source>
        <translation>Global shortcuts</translation>
    </message>
    <message id="Settings.Shortcut.QuickPaste">
        <source>Show the quick-paste panel:</source>
        <translation>Show the quick-paste panel:</translation>
    </message>
    <message id="Settings.Shortcut.ColorBar">
        <source>Show or collapse the color bar:</source>
        <translation>Show or collapse the color bar:</translation>
    </message>
    <message id="Settings.Shortcut.ClearAll">
        <source>Clear the history:</source>
        <translation>Clear the history:</translation>
    </message>
    <message id="Settings.Shortcut.ShowAll">
        <source>Open the list of all items:</source>
        <translation>Open the list of all items:</translation>
    </message>
    <message id="Settings.Shortcut.PreviousCategory">
        <source>Open the previous category:</source>
        <translation>Open the previous category:</translation>
    </message>
    <message id="Settings.Shortcut.NextCategory">
        <source>Open the next category:</source>
        <translation>Open the next category:</translation>
    </message>
    <message id="Settings.Shortcut.HideList">
        <source>Close the history list:</source>
        <translation>Close the history list:</translation>
    </message>
    <message id="Settings.Shortcut.Tips">
        <source>Click a field and press the keys. Escape cancels, Backspace removes the shortcut.</source>
        <translation>Click a field and press the keys. Escape cancels, Backspace removes the shortcut.</translation>
    </message>
    <message id="Settings.Shortcut.Record">
        <source>Click to record</source>
        <translation>Click to record</translation>
    </message>
    <message id="Settings.Shortcut.TypeShortcut">
        <source>Press the keys…</source>
        <translation>Press the keys…</translation>
    </message>
    <message id="Settings.Shortcut.Clear">
        <source>Remove the shortcut</source>
        <translation>Remove the shortcut</translation>
    </message>
    <message id="Settings.Shortcut.Refused.NoKey">
        <source>This key cannot be used in a shortcut.</source>
        <translation>This key cannot be used in a shortcut.</translation>
    </message>
    <message id="Settings.Shortcut.Refused.NeedsModifier">
        <source>A shortcut needs Super, Ctrl or Alt (Shift alone is not enough).</source>
        <translation>A shortcut needs Super, Ctrl or Alt (Shift alone is not enough).</translation>
    </message>
    <message id="Settings.Shortcut.Refused.UsedBy">
        <source>%1 is already the shortcut for “%2”.</source>
        <translation>%1 is already the shortcut for “%2”.</translation>
    </message>
    <message id="Settings.Shortcut.Refused.QuickSelection">
        <source>%1 pastes a recent item (quick selection).</source>
        <translation>%1 pastes a recent item (quick selection).</translation>
    </message>
    <message id="Settings.Shortcut.Refused.TakenElsewhere">
        <source>%1 is used by another program.</source>
        <translation>%1 is used by another program.</translation>
    </message>
    <message id="Settings.Shortcut.Section.QuickSelection">
        <source>Quick selection</source>
        <translation>Quick selection</translation>
    </message>
    <message id="Settings.Shortcut.EnableQuickSelection">
        <source>Paste the recent items with the digit keys 1 to 9</source>
        <translation>Paste the recent items with the digit keys 1 to 9</translation>
    </message>
    <message id="Settings.Shortcut.QuickSelectionModifier">
        <source>Digit keys with:</source>
        <translation>Digit keys with:</translation>
    </message>
    <message id="Settings.Shortcut.QuickSelectionKey">
        <source>%1 + 1 … 9</source>
        <translation>%1 + 1 … 9</translation>
    </message>
</context>
</TS>
