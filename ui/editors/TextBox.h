#pragma once

class QLineEdit;

namespace kovi {

// Selects the whole text of the box, so that typing replaces it; an empty box is left as it is.
void SelectAllText(QLineEdit& box);

// SelectAllText each time the focus moves into the box from elsewhere in the program (not when
// its window is merely activated again).
void SelectAllTextOnFocus(QLineEdit& box);

// Keeps the box to one line as a single-line edit control does: pasted text is cut at its
// first line break. A line break would split a list entry into two lines of its list file.
void KeepToOneLine(QLineEdit& box);

} // namespace kovi
