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
</context>
</TS>
