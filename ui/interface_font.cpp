#include "ui/interface_font.h"

#include <QStringList>

namespace tessaly {

QFont InterfaceFont() {
  QFont font;
  font.setFamilies({QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Sans JP"),
                    QStringLiteral("Source Han Sans JP"), QStringLiteral("IPAexGothic"),
                    QStringLiteral("IPAGothic"), QStringLiteral("VL Gothic"),
                    QStringLiteral("TakaoGothic")});
  font.setPixelSize(12);  // 9 points at 96 dpi
  return font;
}

}  // namespace tessaly
