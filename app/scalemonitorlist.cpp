#include "scalemonitorlist.h"

#include "qtext.h"

#include <QFontDatabase>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace rv58 {

namespace {

QString Human(std::string_view bytes) {
  return FromCp1250(FrameForHuman(bytes));
}

} // namespace

TFrameList::TFrameList(QWidget* parent) : QTextEdit(parent) {
  setObjectName(QStringLiteral("frames"));
  setReadOnly(true);
  setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  setLineWrapMode(QTextEdit::NoWrap);
  // Lines come and go for as long as the window is open: no undo history may pile up.
  document()->setUndoRedoEnabled(false);
  const QColor grey(0x99, 0x99, 0x99);
  formats_[stCut].setForeground(grey);
  formats_[stCut].setFontStrikeOut(true);
  formats_[stShown].setFontWeight(QFont::Bold);
  formats_[stTerminator].setForeground(QColor(0x88, 0x88, 0x88));
  formats_[stNoFit].setForeground(QColor(0xbb, 0x66, 0x00));
  formats_[stError].setForeground(QColor(0xcc, 0x00, 0x00));
  formats_[stErrorBold] = formats_[stError];
  formats_[stErrorBold].setFontWeight(QFont::Bold);
  formats_[stInvalid].setForeground(grey);
  formats_[stInvalid].setFontItalic(true);
}

TFrameList::TLine TFrameList::LineOf(const DisplayFrame& f) {
  const std::string_view bytes = f.bytes;
  const QString text = FromCp1250(f.text);
  if (f.kind == FrameKind::fkERROR)
    return {{Human(bytes) + QStringLiteral(" → "), stError},
            {text, stErrorBold},
            {QStringLiteral(" (hibajelzés)"), stError}};
  if (f.kind != FrameKind::fkOK)
    return {{Human(bytes) + QStringLiteral(" (érvénytelen: nincs benne a kötelező karakter)"), stInvalid}};
  const std::size_t body = bytes.size() - f.terminator;
  const std::size_t mid = body - f.cutFront - f.cutBack;
  TLine line = {{Human(bytes.substr(0, f.cutFront)), stCut},
                {Human(bytes.substr(f.cutFront, mid)), stShown},
                {Human(bytes.substr(f.cutFront + mid, f.cutBack)), stCut},
                {Human(bytes.substr(body)), stTerminator},
                {QStringLiteral(" → "), stPlain},
                {text, stShown}};
  if (!f.fits)
    line.insert(line.end(), {{QStringLiteral(" "), stPlain}, {QStringLiteral("(nem fér el)"), stNoFit}});
  return line;
}

void TFrameList::ShowFrames(const std::deque<DisplayFrame>& frames) {
  std::vector<TLine> lines;
  lines.reserve(frames.size());
  for (const auto& f : frames)
    lines.push_back(LineOf(f));
  // The fewest lines to drop from the top so that the rest of what is shown starts the new list.
  const std::size_t count = shown_.size();
  std::size_t drop = 0;
  while (drop < count && !(count - drop <= lines.size() &&
                           std::equal(shown_.begin() + static_cast<long>(drop), shown_.end(), lines.begin())))
    ++drop;
  const std::size_t kept = count - drop;
  if (drop == 0 && kept == lines.size())
    return;
  // Each line is a block, and an empty block ends the document, where the cursor rests: the view
  // then keeps a free line below the newest frame.
  QTextCursor cursor(document());
  cursor.beginEditBlock(); // one layout for the whole change
  cursor.setPosition(document()->findBlockByNumber(static_cast<int>(drop)).position(),
                     QTextCursor::KeepAnchor);
  cursor.removeSelectedText();
  shown_.erase(shown_.begin(), shown_.begin() + static_cast<long>(drop));
  cursor.movePosition(QTextCursor::End);
  for (std::size_t i = kept; i < lines.size(); ++i) {
    for (const auto& run : lines[i])
      if (!run.text.isEmpty())
        cursor.insertText(run.text, formats_[run.style]);
    cursor.insertBlock(QTextBlockFormat(), formats_[stPlain]);
    shown_.push_back(std::move(lines[i]));
  }
  cursor.endEditBlock();
  moveCursor(QTextCursor::End);
}

} // namespace rv58
