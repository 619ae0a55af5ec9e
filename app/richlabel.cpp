#include "richlabel.h"

#include "windowfonts.h"

#include <QLabel>
#include <QRegularExpression>
#include <QWidget>

#if __has_include("MD_Label.h")
#include "MD_Label.h"
#define RV58_HAVE_MDLABEL 1
#endif

namespace rv58 {

#ifndef RV58_HAVE_MDLABEL
namespace {

// Until the rich label widget is built in, Qt's rich text shows the same mark-up: each <a>
// gets its link number as its target.
QString ToQtRichText(const QString& markup) {
  QString out;
  int link = 0;
  qsizetype pos = 0;
  static const QRegularExpression anchor(QStringLiteral("<a>"), QRegularExpression::CaseInsensitiveOption);
  for (auto it = anchor.globalMatch(markup); it.hasNext();) {
    const QRegularExpressionMatch m = it.next();
    out += markup.mid(pos, m.capturedStart() - pos);
    out += QStringLiteral("<a href=\"%1\" style=\"color:#0000ff; text-decoration:none\">").arg(++link);
    pos = m.capturedEnd();
  }
  out += markup.mid(pos);
  return out;
}

} // namespace
#endif

QWidget* CreateRichLabel(QWidget* parent, const char* name, const QString& markupUtf8,
                         const RichLabelOptions& options, std::function<void(int linkIndex)> onLinkClicked) {
#ifdef RV58_HAVE_MDLABEL
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
#else
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setTextFormat(Qt::RichText);
  label->setText(ToQtRichText(markupUtf8));
  label->setWordWrap(!options.autoSizeWidth);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setAutoFillBackground(false);
  if (onLinkClicked) {
    QObject::connect(label, &QLabel::linkActivated, label,
                     [cb = std::move(onLinkClicked)](const QString& href) { cb(href.toInt()); });
  }
  label->adjustSize();
  return label;
#endif
}

void SetRichLabelWidth(QWidget* label, int width) {
#ifdef RV58_HAVE_MDLABEL
  label->resize(width, label->height());
#else
  auto* plain = static_cast<QLabel*>(label);
  plain->resize(width, plain->heightForWidth(width));
#endif
}

} // namespace rv58
