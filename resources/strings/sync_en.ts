<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>TaviPaste</name>
    <message id="Sync.Status.NoFolder">
        <source>No sync folder is chosen, or the chosen folder is not there.</source>
        <translation>No sync folder is chosen, or the chosen folder is not there.</translation>
    </message>
    <message id="Sync.Status.NoMarker">
        <source>This folder has not been set up for TaviPaste sync yet.</source>
        <translation>This folder has not been set up for TaviPaste sync yet.</translation>
    </message>
    <message id="Sync.Status.MarkerUnreadable">
        <source>The sync folder's set-up file (TaviPaste-sync.json) cannot be read; it may still be arriving. If it stays so, remove it and set the folder up again.</source>
        <translation>The sync folder's set-up file (TaviPaste-sync.json) cannot be read; it may still be arriving. If it stays so, remove it and set the folder up again.</translation>
    </message>
    <message id="Sync.Status.NewerFormat">
        <source>This sync folder was set up by a newer version of TaviPaste. Update TaviPaste to sync with it.</source>
        <translation>This sync folder was set up by a newer version of TaviPaste. Update TaviPaste to sync with it.</translation>
    </message>
    <message id="Sync.Status.WrongPassphrase">
        <source>The passphrase does not match the one this sync folder was set up with.</source>
        <translation>The passphrase does not match the one this sync folder was set up with.</translation>
    </message>
    <message id="Sync.Status.ReadOnly">
        <source>The sync folder cannot be written to right now (it may be on a read-only disk).</source>
        <translation>The sync folder cannot be written to right now (it may be on a read-only disk).</translation>
    </message>
    <message id="Sync.Error.NoPassphrase">
        <source>Enter a passphrase: everything TaviPaste puts into the sync folder is encrypted with it.</source>
        <translation>Enter a passphrase: everything TaviPaste puts into the sync folder is encrypted with it.</translation>
    </message>
    <message id="Sync.Error.KeyDerivation">
        <source>TaviPaste could not prepare the encryption key (the computer may be short of memory).</source>
        <translation>TaviPaste could not prepare the encryption key (the computer may be short of memory).</translation>
    </message>
    <message id="Sync.Error.FolderMissing">
        <source>The sync folder is missing. If it is on a removable or network disk, connect it again.</source>
        <translation>The sync folder is missing. If it is on a removable or network disk, connect it again.</translation>
    </message>
    <message id="Sync.Error.DiskFull">
        <source>The disk of the sync folder is full. Free some space; the history waits and syncs later.</source>
        <translation>The disk of the sync folder is full. Free some space; the history waits and syncs later.</translation>
    </message>
    <message id="Sync.Error.ReadOnly">
        <source>The sync folder cannot be written to. Check that its disk is not read-only and that you may write there.</source>
        <translation>The sync folder cannot be written to. Check that its disk is not read-only and that you may write there.</translation>
    </message>
    <message id="Sync.Error.InputOutput">
        <source>Reading or writing the sync folder failed: %1</source>
        <translation>Reading or writing the sync folder failed: %1</translation>
    </message>
    <message id="Sync.Error.Budget">
        <source>The history in the sync folder has reached the space allowed for it.</source>
        <translation>The history in the sync folder has reached the space allowed for it.</translation>
    </message>
    <message id="Sync.Error.TooLarge">
        <source>An item is larger than sync can carry (1 GB); it stays on this computer only.</source>
        <translation>An item is larger than sync can carry (1 GB); it stays on this computer only.</translation>
    </message>
    <message id="Sync.Pane.intro">
        <source>Keep the same history on each of your computers through a folder that a file-sync service (Syncthing, Nextcloud, a network drive) copies between them. Choose the same folder and passphrase on each computer.</source>
        <translation>Keep the same history on each of your computers through a folder that a file-sync service (Syncthing, Nextcloud, a network drive) copies between them. Choose the same folder and passphrase on each computer.</translation>
    </message>
    <message id="Sync.Pane.noFolder">
        <source>No folder chosen</source>
        <translation>No folder chosen</translation>
    </message>
    <message id="Sync.Pane.choose">
        <source>Choose…</source>
        <translation>Choose…</translation>
    </message>
    <message id="Sync.Pane.chooseTitle">
        <source>Choose the Sync Folder</source>
        <translation>Choose the Sync Folder</translation>
    </message>
    <message id="Sync.Pane.folder">
        <source>Sync folder:</source>
        <translation>Sync folder:</translation>
    </message>
    <message id="Sync.Pane.passphrase">
        <source>Passphrase:</source>
        <translation>Passphrase:</translation>
    </message>
    <message id="Sync.Pane.passphrasePlaceholder">
        <source>The same on every computer</source>
        <translation>The same on every computer</translation>
    </message>
    <message id="Sync.Pane.passphraseHint">
        <source>The history is encrypted with this passphrase before it reaches the folder. TaviPaste keeps only a key made from it; if you forget it, choose a new empty folder.</source>
        <translation>The history is encrypted with this passphrase before it reaches the folder. TaviPaste keeps only a key made from it; if you forget it, choose a new empty folder.</translation>
    </message>
    <message id="Sync.Pane.enable">
        <source>Sync history with this folder</source>
        <translation>Sync history with this folder</translation>
    </message>
    <message id="Sync.Pane.chooseFirst">
        <source>Choose a sync folder first.</source>
        <translation>Choose a sync folder first.</translation>
    </message>
    <message id="Sync.Pane.checking">
        <source>Checking the passphrase…</source>
        <translation>Checking the passphrase…</translation>
    </message>
    <message id="Sync.Pane.stateNoFolder">
        <source>Sync is not set up.</source>
        <translation>Sync is not set up.</translation>
    </message>
    <message id="Sync.Pane.stateOn">
        <source>Sync is on.</source>
        <translation>Sync is on.</translation>
    </message>
    <message id="Sync.Pane.stateReady">
        <source>Sync is off. The folder and passphrase are ready.</source>
        <translation>Sync is off. The folder and passphrase are ready.</translation>
    </message>
    <message id="Sync.Pane.stateNew">
        <source>This folder is new to TaviPaste: turning sync on sets it up with your passphrase.</source>
        <translation>This folder is new to TaviPaste: turning sync on sets it up with your passphrase.</translation>
    </message>
    <message id="Sync.Pane.stateNeedsPassphrase">
        <source>Enter the passphrase of this sync folder to turn sync on.</source>
        <translation>Enter the passphrase of this sync folder to turn sync on.</translation>
    </message>
    <message id="Sync.Pane.lastSync">
        <source>Last received changes: %1</source>
        <translation>Last received changes: %1</translation>
    </message>
    <message id="Sync.Pane.neverSynced">
        <source>No changes received from other computers yet.</source>
        <translation>No changes received from other computers yet.</translation>
    </message>
</context>
</TS>
