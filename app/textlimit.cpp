#include "textlimit.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QValidator>

#include <algorithm>

namespace rv58 {

namespace {

// The length an edit may reach: the limit, or the length of the text before the edit.
int Allowed(int maxLength, int lengthBefore) {
  return std::max(maxLength, lengthBefore);
}

// A line edit runs its validator on every change, the program's setText included, with the cursor
// after what was inserted.
class TLineLimit : public QValidator {
public:
  TLineLimit(QLineEdit* edit, int maxLength) : QValidator(edit), maxLength_(maxLength) {
    lengthBefore_ = static_cast<int>(edit->text().size());
    QObject::connect(edit, &QLineEdit::textChanged, this,
                     [this](const QString& text) { lengthBefore_ = static_cast<int>(text.size()); });
  }

  State validate(QString& input, int& pos) const override {
    if (programSets_)
      return Acceptable;
    const int excess = static_cast<int>(input.size()) - Allowed(maxLength_, lengthBefore_);
    if (excess > 0) {
      const int from = std::max(0, pos - excess);
      input.remove(from, pos - from);
      pos = from;
    }
    return Acceptable;
  }

  void SetWhole(QLineEdit* edit, const QString& text) {
    programSets_ = true;
    edit->setText(text);
    programSets_ = false;
  }

private:
  int maxLength_;
  int lengthBefore_ = 0;
  bool programSets_ = false;
};

// A text edit reports a change only after the fact: the inserted part is what lies between the
// common beginning and end of the text before and after.
class TTextLimit : public QObject {
public:
  TTextLimit(QPlainTextEdit* edit, int maxLength) : QObject(edit), edit_(edit), maxLength_(maxLength) {
    before_ = ExactPlainText(edit);
    QObject::connect(edit, &QPlainTextEdit::textChanged, this, [this] { Changed(); });
  }

  void SetWhole(const QString& text) {
    programSets_ = true;
    edit_->setPlainText(text);
    programSets_ = false;
    before_ = ExactPlainText(edit_);
  }

private:
  void Changed() {
    if (programSets_)
      return;
    const QString after = ExactPlainText(edit_);
    const int excess = static_cast<int>(after.size()) - Allowed(maxLength_, static_cast<int>(before_.size()));
    if (excess <= 0) {
      before_ = after;
      return;
    }
    const qsizetype limit = std::min(before_.size(), after.size());
    qsizetype prefix = 0;
    while (prefix < limit && before_[prefix] == after[prefix])
      ++prefix;
    qsizetype suffix = 0;
    while (suffix < limit - prefix &&
           before_[before_.size() - 1 - suffix] == after[after.size() - 1 - suffix])
      ++suffix;
    const int insertEnd = static_cast<int>(after.size() - suffix);
    const int from = std::max(static_cast<int>(prefix), insertEnd - excess);
    // One step with the edit for the undo history.
    QTextCursor cursor(edit_->document());
    cursor.joinPreviousEditBlock();
    cursor.setPosition(from);
    cursor.setPosition(insertEnd, QTextCursor::KeepAnchor);
    programSets_ = true;
    cursor.removeSelectedText();
    programSets_ = false;
    cursor.endEditBlock();
    edit_->setTextCursor(cursor);
    before_ = ExactPlainText(edit_);
  }

  QPlainTextEdit* edit_;
  int maxLength_;
  QString before_;
  bool programSets_ = false;
};

} // namespace

void LimitTyping(QLineEdit* edit, int maxLength) {
  edit->setMaxLength(32767); // the box's own limit, which would cut what the program puts there
  edit->setValidator(new TLineLimit(edit, maxLength));
}

void LimitTyping(QPlainTextEdit* edit, int maxLength) {
  new TTextLimit(edit, maxLength);
}

void SetTextWhole(QLineEdit* edit, const QString& text) {
  if (auto* limit = const_cast<TLineLimit*>(dynamic_cast<const TLineLimit*>(edit->validator())))
    limit->SetWhole(edit, text);
  else
    edit->setText(text);
}

void SetTextWhole(QPlainTextEdit* edit, const QString& text) {
  for (QObject* child : edit->children()) {
    if (auto* limit = dynamic_cast<TTextLimit*>(child)) {
      limit->SetWhole(text);
      return;
    }
  }
  edit->setPlainText(text);
}

QString ExactPlainText(const QPlainTextEdit* edit) {
  QString text = edit->document()->toRawText();
  for (QChar& c : text)
    if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator)
      c = QLatin1Char('\n');
  return text;
}

} // namespace rv58
