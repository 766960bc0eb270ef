#pragma once
// What a feedback acknowledges: a captured copy, an item put back on the clipboard for the user,
// or an item put back and pasted into the application the user works in.

enum class OperationType { copy, paste, quickPaste };
