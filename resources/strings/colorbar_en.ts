<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>ColorBar</name>
    <message id="ColorBar.Add.tooltip">
        <source>New category (drag to move the bar; right-click for TaviPaste’s menu)</source>
        <translation>New category (drag to move the bar; right-click for TaviPaste’s menu)</translation>
    </message>
    <message id="ColorBar.Menu.Edit">
        <source>Edit Category…</source>
        <translation>Edit Category…</translation>
    </message>
    <message id="ColorBar.Menu.Hide">
        <source>Hide Category</source>
        <translation>Hide Category</translation>
    </message>
    <message id="ColorBar.Menu.Remove">
        <source>Remove Category…</source>
        <translation>Remove Category…</translation>
    </message>
    <message id="Category.Alert.Delete">
        <source>Delete</source>
        <translation>Delete</translation>
    </message>
    <message id="Category.Alert.CategoryDelete.message">
        <source>Delete this category? Its items stay in your history.</source>
        <translation>Delete this category? Its items stay in your history.</translation>
    </message>
    <message id="ColorBar.HideHint.windowTitle">
        <source>Category Hidden</source>
        <translation>Category Hidden</translation>
    </message>
    <message id="ColorBar.HideHint.title">
        <source>The category is hidden</source>
        <translation>The category is hidden</translation>
    </message>
    <message id="ColorBar.HideHint.message">
        <source>Hidden categories no longer show in the color bar. You can show them again in Preferences, under Categories.</source>
        <translation>Hidden categories no longer show in the color bar. You can show them again in Preferences, under Categories.</translation>
    </message>
    <message id="ColorBar.HideHint.notPrompt">
        <source>Don't show this again</source>
        <translation>Don't show this again</translation>
    </message>
    <message id="ColorBar.HideHint.preferences">
        <source>Open Preferences</source>
        <translation>Open Preferences</translation>
    </message>
    <message id="ColorBar.HideHint.confirm">
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message id="ColorBar.Edit.windowTitle">
        <source>Category</source>
        <translation>Category</translation>
    </message>
    <message id="ColorBar.Edit.name">
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message id="ColorBar.Edit.namePlaceholder">
        <source>Category name</source>
        <translation>Category name</translation>
    </message>
    <message id="ColorBar.Edit.color">
        <source>Color</source>
        <translation>Color</translation>
    </message>
    <message id="ColorBar.Edit.textColor">
        <source>Text</source>
        <translation>Text</translation>
    </message>
    <message id="ColorBar.Edit.light">
        <source>Light</source>
        <translation>Light</translation>
    </message>
    <message id="ColorBar.Edit.dark">
        <source>Dark</source>
        <translation>Dark</translation>
    </message>
    <message id="ColorBar.Edit.save">
        <source>Save</source>
        <translation>Save</translation>
    </message>
    <message id="ColorBar.Edit.addColor">
        <source>Add a color</source>
        <translation>Add a color</translation>
    </message>
    <message id="ColorBar.Edit.colorPanel">
        <source>Colors</source>
        <translation>Colors</translation>
    </message>
    <message id="Category.Color.Delete">
        <source>Delete Color</source>
        <translation>Delete Color</translation>
    </message>
    <message id="Category.Color.Edit">
        <source>Edit Color…</source>
        <translation>Edit Color…</translation>
    </message>
    <message id="Category.Alert.MissingDetails.title">
        <source>Some details are missing</source>
        <translation>Some details are missing</translation>
    </message>
    <message id="Category.Alert.Name.message">
        <source>Please enter a name for the category.</source>
        <translation>Please enter a name for the category.</translation>
    </message>
    <message id="Category.Alert.Color.message">
        <source>Please choose a color for the category.</source>
        <translation>Please choose a color for the category.</translation>
    </message>
    <message id="Category.Alert.confirm">
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
</TS>
