<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>Actions</name>
    <message id="Category.List.Menu.Copy">
        <source>Copy</source>
        <translation>Copy</translation>
    </message>
    <message id="Category.List.Menu.Paste">
        <source>Paste</source>
        <translation>Paste</translation>
    </message>
    <message id="Category.List.Menu.CopyToApp">
        <source>Paste into %1</source>
        <translation>Paste into %1</translation>
    </message>
    <message id="Category.List.Menu.MarkTop">
        <source>Pin to Top</source>
        <translation>Pin to Top</translation>
    </message>
    <message id="Category.List.Menu.CancelTop">
        <source>Unpin</source>
        <translation>Unpin</translation>
    </message>
    <message id="Category.List.Menu.EditText">
        <source>Edit Text…</source>
        <translation>Edit Text…</translation>
    </message>
    <message id="Category.List.Menu.AddComment">
        <source>Add Comment…</source>
        <translation>Add Comment…</translation>
    </message>
    <message id="Category.List.Menu.AddToCategory">
        <source>Add to Category</source>
        <translation>Add to Category</translation>
    </message>
    <message id="Category.List.Menu.Open">
        <source>Open Note</source>
        <translation>Open Note</translation>
    </message>
    <message id="Category.List.Menu.OpenInFinder">
        <source>Show in File Manager</source>
        <translation>Show in File Manager</translation>
    </message>
    <message id="Category.List.Menu.OpenViaBrowser">
        <source>Open in Browser</source>
        <translation>Open in Browser</translation>
    </message>
    <message id="Category.List.Menu.SendEmail">
        <source>Send E-mail</source>
        <translation>Send E-mail</translation>
    </message>
    <message id="Category.List.Menu.OCR">
        <source>Recognise Text</source>
        <translation>Recognise Text</translation>
    </message>
    <message id="Category.List.Menu.Delete">
        <source>Delete</source>
        <translation>Delete</translation>
    </message>
    <message id="Category.Alert.Tips.title">
        <source>Notice</source>
        <translation>Notice</translation>
    </message>
    <message id="Category.Alert.NotNow">
        <source>Not Now</source>
        <translation>Not Now</translation>
    </message>
    <message id="Category.Alert.NoCustomCategory.message">
        <source>You have no categories of your own yet. Create one to file items under it.</source>
        <translation>You have no categories of your own yet. Create one to file items under it.</translation>
    </message>
    <message id="Category.Alert.CategoryFilterItemsClear.message">
        <source>Delete the items this search found? This cannot be undone.</source>
        <translation>Delete the items this search found? This cannot be undone.</translation>
    </message>
    <message id="Category.Alert.CategoryItemsClear.message">
        <source>Delete the items of this category? This cannot be undone.</source>
        <translation>Delete the items of this category? This cannot be undone.</translation>
    </message>
    <message id="Note.Alert.Discard">
        <source>Discard</source>
        <translation>Discard</translation>
    </message>
    <message id="Category.Alert.NoteExitWithContent.message">
        <source>This note has text that is not saved. Close it and discard the text?</source>
        <translation>This note has text that is not saved. Close it and discard the text?</translation>
    </message>
    <message id="Alert.OCR.Msg.Failed">
        <source>The text in this image could not be recognised. Check that recognition data for the chosen language is installed.</source>
        <translation>The text in this image could not be recognised. Check that recognition data for the chosen language is installed.</translation>
    </message>
    <message id="Alert.OCR.Msg.NotFound">
        <source>No text was found in this image.</source>
        <translation>No text was found in this image.</translation>
    </message>
    <message id="Alert.OCR.Msg.Unreadable">
        <source>This image could not be read, so no text could be recognised in it.</source>
        <translation>This image could not be read, so no text could be recognised in it.</translation>
    </message>
    <message id="Note.Alert.MissingDetails.title">
        <source>The note is incomplete</source>
        <translation>The note is incomplete</translation>
    </message>
    <message id="Note.Alert.Title.message">
        <source>Give the note a title before saving it.</source>
        <translation>Give the note a title before saving it.</translation>
    </message>
    <message id="Note.Alert.Content.message">
        <source>Write something in the note before saving it.</source>
        <translation>Write something in the note before saving it.</translation>
    </message>
    <message id="Note.AutoSave.Title">
        <source>Saved automatically on %1</source>
        <translation>Saved automatically on %1</translation>
    </message>
    <message id="Actions.Browser.NotWebLink">
        <source>Only web links (http and https) open in the browser.</source>
        <translation>Only web links (http and https) open in the browser.</translation>
    </message>
    <message id="Actions.Email.NoAddress">
        <source>This item holds no e-mail address to write to.</source>
        <translation>This item holds no e-mail address to write to.</translation>
    </message>
    <message id="Actions.Clear.IncludeSticky">
        <source>Clear pinned items too</source>
        <translation>Clear pinned items too</translation>
    </message>
    <message id="Actions.Clear.IncludeLocked">
        <source>Clear items of locked categories too</source>
        <translation>Clear items of locked categories too</translation>
    </message>
    <message id="Actions.Clear.IncludeCustom">
        <source>Clear items filed in my categories too</source>
        <translation>Clear items filed in my categories too</translation>
    </message>
    <message id="Actions.Sheet.Save">
        <source>Save</source>
        <translation>Save</translation>
    </message>
    <message id="Actions.Sheet.Close">
        <source>Close</source>
        <translation>Close</translation>
    </message>
    <message id="Actions.Sheet.Cancel">
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message id="Actions.EditText.title">
        <source>Edit Text</source>
        <translation>Edit Text</translation>
    </message>
    <message id="Actions.Comment.title">
        <source>Comment</source>
        <translation>Comment</translation>
    </message>
    <message id="Actions.OCR.title">
        <source>Recognised Text</source>
        <translation>Recognised Text</translation>
    </message>
    <message id="Actions.OCR.Recognising">
        <source>Recognising text…</source>
        <translation>Recognising text…</translation>
    </message>
    <message id="Actions.OCR.Progress">
        <source>Recognising text… %1%</source>
        <translation>Recognising text… %1%</translation>
    </message>
    <message id="Actions.OCR.Copy">
        <source>Copy Text</source>
        <translation>Copy Text</translation>
    </message>
    <message id="Actions.Note.title">
        <source>Note</source>
        <translation>Note</translation>
    </message>
    <message id="Actions.Note.TitlePlaceholder">
        <source>Title</source>
        <translation>Title</translation>
    </message>
    <message id="Actions.Note.Lines">
        <source>Lines</source>
        <translation>Lines</translation>
    </message>
    <message id="Actions.Note.Characters">
        <source>Characters</source>
        <translation>Characters</translation>
    </message>
    <message id="Actions.Note.Words">
        <source>Words</source>
        <translation>Words</translation>
    </message>
    <message id="Actions.Sort.Default">
        <source>Default Order</source>
        <translation>Default Order</translation>
    </message>
    <message id="Actions.Sort.CreatedAt">
        <source>Date Created</source>
        <translation>Date Created</translation>
    </message>
    <message id="Actions.Sort.Title">
        <source>Title</source>
        <translation>Title</translation>
    </message>
    <message id="Actions.Sort.SourceApp">
        <source>Source Application</source>
        <translation>Source Application</translation>
    </message>
</context>
</TS>
