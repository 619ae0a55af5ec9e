#pragma once

#include <QString>

class QLineEdit;
class QPlainTextEdit;

namespace rv58 {

// A length limit for what the user types, pastes or drops into a text box. Unlike the boxes' own
// limit it never cuts text the program puts there (a stored name or description is shown and
// saved whole), and an edit never removes text the user did not remove: an edit may not make the
// text longer than the limit, or than the text was; what goes past that is taken from the end of
// what the edit inserted.
void LimitTyping(QLineEdit* edit, int maxLength);
void LimitTyping(QPlainTextEdit* edit, int maxLength);

// Puts the text into a box limited by LimitTyping, whole.
void SetTextWhole(QLineEdit* edit, const QString& text);
void SetTextWhole(QPlainTextEdit* edit, const QString& text);

// The plain text of the box, every character as it is (non-breaking spaces stay), lines
// separated by "\n".
QString ExactPlainText(const QPlainTextEdit* edit);

} // namespace rv58
