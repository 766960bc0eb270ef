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
    <message id="PBHUD.Menu.tooltip">
        <source>TaviPaste’s menu</source>
        <translation>TaviPaste’s menu</translation>
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
    <message id="Category.List.Search.placeholder">
        <source>Search this list</source>
        <translation>Search this list</translation>
    </message>
    <message id="ToolTip.List.NewNote">
        <source>New note</source>
        <translation>New note</translation>
    </message>
    <message id="ToolTip.List.Style">
        <source>Copy text with or without its formatting</source>
        <translation>Copy text with or without its formatting</translation>
    </message>
    <message id="ToolTip.List.Sort">
        <source>Sort by</source>
        <translation>Sort by</translation>
    </message>
    <message id="ToolTip.List.Order">
        <source>Oldest first</source>
        <translation>Oldest first</translation>
    </message>
    <message id="ToolTip.List.AutoTag">
        <source>File new copies in this category</source>
        <translation>File new copies in this category</translation>
    </message>
    <message id="ToolTip.List.Lock">
        <source>Lock this category against clearing</source>
        <translation>Lock this category against clearing</translation>
    </message>
    <message id="ToolTip.List.Delete">
        <source>Clear this category</source>
        <translation>Clear this category</translation>
    </message>
    <message id="ToolTip.List.Top">
        <source>Keep this window above the others</source>
        <translation>Keep this window above the others</translation>
    </message>
    <message id="ToolTip.List.Edit">
        <source>Edit this category</source>
        <translation>Edit this category</translation>
    </message>
    <message id="ToolTip.List.Settings">
        <source>Preferences</source>
        <translation>Preferences</translation>
    </message>
    <message id="Category.List.DeleteSelection">
        <source>Delete the selected items</source>
        <translation>Delete the selected items</translation>
    </message>
    <message id="Category.List.ItemsSelectedCount">
        <source>%1 items selected</source>
        <translation>%1 items selected</translation>
    </message>
    <message id="Category.Preview.FileMissing">
        <source>This file is no longer there or cannot be read.</source>
        <translation>This file is no longer there or cannot be read.</translation>
    </message>
    <message id="Category.Preview.Reload">
        <source>Load the page again</source>
        <translation>Load the page again</translation>
    </message>
    <message id="Category.Preview.NoPage">
        <source>There is no web page to show for this link.</source>
        <translation>There is no web page to show for this link.</translation>
    </message>
    <message id="Category.Preview.LoadPage">
        <source>Load This Page</source>
        <translation>Load This Page</translation>
    </message>
    <message id="Category.Preview.TryAgain">
        <source>Try Again</source>
        <translation>Try Again</translation>
    </message>
    <message id="Category.Preview.LocalAddress.title">
        <source>This page is on your computer or local network</source>
        <translation>This page is on your computer or local network</translation>
    </message>
    <message id="Category.Preview.LocalAddress.detail">
        <source>It is loaded only when you ask, so that a copied link cannot act on your devices.</source>
        <translation>It is loaded only when you ask, so that a copied link cannot act on your devices.</translation>
    </message>
    <message id="Category.Preview.CouldNotLoad.title">
        <source>Could not load this page</source>
        <translation>Could not load this page</translation>
    </message>
    <message id="Category.Preview.CouldNotLoad.detail">
        <source>Check your connection, then try again.</source>
        <translation>Check your connection, then try again.</translation>
    </message>
    <message id="Category.Preview.NoEngine.Root">
        <source>Pages are not previewed while TaviPaste runs as root.</source>
        <translation>Pages are not previewed while TaviPaste runs as root.</translation>
    </message>
    <message id="Category.Preview.NoEngine.Sandbox">
        <source>Pages are not previewed here: the web engine&apos;s sandbox is turned off or not available.</source>
        <translation>Pages are not previewed here: the web engine&apos;s sandbox is turned off or not available.</translation>
    </message>
    <message id="Category.Preview.NoEngine">
        <source>Pages cannot be previewed here.</source>
        <translation>Pages cannot be previewed here.</translation>
    </message>
</context>
</TS>
