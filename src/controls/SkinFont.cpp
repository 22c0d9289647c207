#include "SkinFont.h"

#include <QFontDatabase>
#include <QStringList>

#include "ResourcePaths.h"

namespace SkinFont {

QString Family() {
    static const QString family = [] {
        QString name = QStringLiteral("Noto Sans CJK SC");
        const int id = QFontDatabase::addApplicationFont(QString::fromUtf8(Resources::kFontFile));
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        if (!families.isEmpty()) {
            name = families.first();
        }
        for (const char* alias : {".\\font\\fanglan.TTF", "font/fanglan.TTF", "fanglan"}) {
            QFont::insertSubstitution(QString::fromUtf8(alias), name);
        }
        return name;
    }();
    return family;
}

QFont Make(int pixelHeight, int weight) {
    QFont font(Family());
    font.setPixelSize(pixelHeight);
    font.setWeight(QFont::Weight(weight));
    font.setStyleHint(QFont::SansSerif);
    return font;
}

}  // namespace SkinFont
