<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>Controls</name>
    <message id="Note.Edit.PlaceholderString">
        <source>Write your note here…</source>
        <translation>Write your note here…</translation>
    </message>
    <message id="Category.Alert.IncludeNotes">
        <source>Clear the notes too</source>
        <translation>Clear the notes too</translation>
    </message>
</context>
</TS>
