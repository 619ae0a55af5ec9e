#pragma once

// The information page shown, and where the words of its rich labels stand, for clicks at
// exactly those places.

#include "MD_Label.h"
#include "testutil_window.h"

#include <QPoint>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string_view>

namespace rv58::test {

inline TMDLabel* Rich(QWidget* widget) {
  return qobject_cast<TMDLabel*>(widget);
}

inline QPoint Centre(const TRect& r) {
  return QPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
}

// The middle of the first rectangle of link `linkIndex` (from 1).
inline std::optional<QPoint> LinkPoint(QWidget* label, int linkIndex) {
  for (const TLinkRect& r : Rich(label)->Core().LinkRects()) {
    if (r.LinkIndex == linkIndex) {
      return Centre(r.Rect);
    }
  }
  return std::nullopt;
}

// The middle of the plain (not linked) word `word`.
inline std::optional<QPoint> PlainWordPoint(QWidget* label, std::u16string_view word) {
  for (const auto& token : Rich(label)->Core().Tokens()) {
    if (token->Class() == TTokenClass::Word && token->LinkIndex == 0 && token->Text == word) {
      return Centre(token->Rect);
    }
  }
  return std::nullopt;
}

// The window shown on its "Info" page, reached through the tree as a user would.
inline std::unique_ptr<Trvform> StartOnInfoPage(WindowBench& bench) {
  auto form = bench.Start();
  QTest::mouseClick(form->tree1->viewport(), Qt::LeftButton, {},
                    form->tree1->visualItemRect(form->tree1->topLevelItem(2)).center());
  Settle();
  EXPECT_EQ(form->page1->currentIndex(), 11);
  return form;
}

// The items of a drop-down list, in order.
inline QStringList Items(const QComboBox* box) {
  QStringList items;
  for (int i = 0; i < box->count(); ++i) {
    items << box->itemText(i);
  }
  return items;
}

inline void ClickAt(QWidget* label, QPoint point) {
  QTest::mouseClick(label, Qt::LeftButton, {}, point);
}

} // namespace rv58::test
