#include "richlabel.h"

#include "MD_Label.h"
#include "windowfonts.h"

#include <QWidget>

namespace rv58 {

TMDLabel* CreateRichLabel(QWidget* parent, const char* name, const QString& markupUtf8,
                          const RichLabelOptions& options, std::function<void(int linkIndex)> onLinkClicked) {
  auto* label = new TMDLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  TLabelFont normal;
  normal.Name = TahomaFamily().toStdString();
  normal.Height = options.linkPixelSize;
  normal.Color = clLinkBlue;
  label->SetLinkFontNormal(normal);
  TLabelFont hover = normal;
  hover.Color = clLinkRed;
  hover.Style = fsUnderline;
  label->SetLinkFontHover(hover);
  label->SetCompressSpaces(false);
  label->SetTabWidth(8);
  label->SetMaxWidth(0);
  label->SetTextAlignment(taLeftJustify);
  label->SetAutoSizeWidth(options.autoSizeWidth);
  label->SetAutoSizeHeight(true);
  label->SetColor(0xFFFFFF);
  label->SetCaptionUTF8(markupUtf8.toUtf8().toStdString());
  if (onLinkClicked) {
    label->OnLinkClicked = [cb = std::move(onLinkClicked)](TMDLabel*, int index, const QString&) {
      cb(index);
    };
  }
  return label;
}

void SetRichLabelWidth(TMDLabel* label, int width) {
  label->resize(width, label->height());
}

} // namespace rv58
