// Shows the information page's rich captions, and a line of every mark-up, in one window.
// Clicked links are written to standard output.
#include "MD_Label.h"

#include <QApplication>
#include <QFontDatabase>
#include <QLabel>
#include <QWidget>

#include <cstdio>

namespace {

rv58::TMDLabel* AddLabel(QWidget* parent, int x, int y, const char* caption, int linkPixels) {
  auto* label = new rv58::TMDLabel(parent);
  rv58::TLabelFont normal = label->LinkFontNormal();
  rv58::TLabelFont hover = label->LinkFontHover();
  normal.Name = hover.Name = "Tahoma";
  normal.Height = hover.Height = linkPixels;
  label->SetLinkFontNormal(normal);
  label->SetLinkFontHover(hover);
  label->SetCaptionUTF8(caption);
  label->move(x, y);
  std::printf("label at %d,%d: %dx%d, %zu line(s)\n", x, y, label->width(), label->height(),
              label->Core().Lines().size());
  label->OnLinkClicked = [](rv58::TMDLabel*, int index, const QString& text) {
    std::printf("link %d: %s\n", index, text.toUtf8().constData());
    std::fflush(stdout);
  };
  return label;
}

} // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle("TMDLabel");
  window.resize(680, 460);
  QFont font("Tahoma");
  font.setPixelSize(13);
  window.setFont(font);
  window.setAutoFillBackground(true);

  AddLabel(&window, 17, 16, "Elérhető soros portok (<a>frissítés</a>)", 13);
  AddLabel(&window, 17, 240, "Az <a>eszközkezelő indítása</a><br>A .rv5 <a>file társítása</a> a programhoz",
           13);
  auto* version = new QLabel("Programverzió:", &window);
  version->move(17, 296);
  (new QLabel("0.2", &window))->move(192, 296);
  (new QLabel("Terméktámogatás:", &window))->move(17, 320);
  AddLabel(&window, 192, 322, "<a>https://www.rv58led.hu/tamogatas</a>", 11);

  auto* mixed = AddLabel(&window, 17, 360,
                         "<b>félkövér</b> <i>dőlt</i> <u>aláhúzott</u> <s>áthúzott</s> <c:clred>piros</c> "
                         "<bc:clyellow>sárga háttér</bc> <fs:14>14 pont</fs> &lt;jelek&gt;<br>"
                         "<tf:40>behúzott bekezdés, amely a címke szélességénél tördelődik, és minden "
                         "sora 40 képponttól indul <a:cel>célzott hivatkozás</a>",
                         13);
  mixed->SetAutoSizeWidth(false);
  mixed->resize(420, mixed->height());
  mixed->LayoutLines(); // hidden: Qt's resize event comes only at show
  std::printf("mixed label at 420 px: %dx%d, %zu line(s)\n", mixed->width(), mixed->height(),
              mixed->Core().Lines().size());
  std::fflush(stdout);

  window.show();
  return app.exec();
}
