#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace rv58 {

class TMDLabel;

// A rich label of the window: the rich text label widget of the project, showing `markupUtf8`,
// sizing itself to its text, reporting link clicks by link number (from 1).
struct RichLabelOptions {
  int linkPixelSize = 13;
  bool autoSizeWidth = true; // false: the owner sets the width, the height follows the text
};

TMDLabel* CreateRichLabel(QWidget* parent, const char* name, const QString& markupUtf8,
                          const RichLabelOptions& options, std::function<void(int linkIndex)> onLinkClicked);

// Lays the label out again at a new width (labels whose width the owner sets).
void SetRichLabelWidth(TMDLabel* label, int width);

} // namespace rv58
