#include "Form1.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>

namespace {

// Chinese captions need a font with CJK glyphs; the default font of a bare X server has none.
void useCjkFont(QApplication& app)
{
    const QString family = QStringLiteral("WenQuanYi Micro Hei");
    if (!QFontDatabase::families().contains(family))
        return;
    QFont font(family);
    font.setPointSizeF(app.font().pointSizeF());
    app.setFont(font);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("update"));
    useCjkFont(app);

    updater::Form1 window;
    window.Form_Load();
    window.show();
    return QApplication::exec();
}
