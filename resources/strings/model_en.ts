<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>TaviPaste</name>
    <message id="Category.unknown">
        <source>Unknown</source>
        <translation>Unknown</translation>
    </message>
    <message id="Category.all">
        <source>All</source>
        <translation>All</translation>
    </message>
    <message id="Category.text">
        <source>Text</source>
        <translation>Text</translation>
    </message>
    <message id="Category.link">
        <source>Links</source>
        <translation>Links</translation>
    </message>
    <message id="Category.image">
        <source>Images</source>
        <translation>Images</translation>
    </message>
    <message id="Category.file">
        <source>Files</source>
        <translation>Files</translation>
    </message>
    <message id="Category.note">
        <source>Notes</source>
        <translation>Notes</translation>
    </message>
    <message id="Category.other">
        <source>Other</source>
        <translation>Other</translation>
    </message>
    <message id="Category.email">
        <source>E-mail</source>
        <translation>E-mail</translation>
    </message>
    <message id="Workspace.XClient">
        <source>X client %1</source>
        <translation>X client %1</translation>
    </message>
    <message id="Item.Invisible.Spaces.singular">
        <source>1 space</source>
        <translation>1 space</translation>
    </message>
    <message id="Item.Invisible.Spaces.plural">
        <source>%1 spaces</source>
        <translation>%1 spaces</translation>
    </message>
    <message id="Item.Invisible.Tabs.singular">
        <source>1 tab</source>
        <translation>1 tab</translation>
    </message>
    <message id="Item.Invisible.Tabs.plural">
        <source>%1 tabs</source>
        <translation>%1 tabs</translation>
    </message>
    <message id="Item.Invisible.LineBreaks.singular">
        <source>1 line break</source>
        <translation>1 line break</translation>
    </message>
    <message id="Item.Invisible.LineBreaks.plural">
        <source>%1 line breaks</source>
        <translation>%1 line breaks</translation>
    </message>
    <message id="Item.Invisible.Characters.singular">
        <source>1 invisible character</source>
        <translation>1 invisible character</translation>
    </message>
    <message id="Item.Invisible.Characters.plural">
        <source>%1 invisible characters</source>
        <translation>%1 invisible characters</translation>
    </message>
    <message id="Item.Invisible.WhiteSpaceLines">
        <source>Whitespace (%1 lines)</source>
        <translation>Whitespace (%1 lines)</translation>
    </message>
    <message id="Item.Invisible.WhiteSpaceCharacters">
        <source>Whitespace (%1 characters)</source>
        <translation>Whitespace (%1 characters)</translation>
    </message>
    <message id="Item.Invisible.Start">
        <source>Starts with %1 invisible characters</source>
        <translation>Starts with %1 invisible characters</translation>
    </message>
    <message id="Item.Title.Image">
        <source>Image</source>
        <translation>Image</translation>
    </message>
    <message id="Item.Title.ImageSize">
        <source>Image %1 × %2</source>
        <translation>Image %1 × %2</translation>
    </message>
</context>
</TS>
