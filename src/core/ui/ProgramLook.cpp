#include "ProgramLook.h"

#include "ProgramStyle.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool InstallQtTranslations(QCoreApplication& app)
{
    // The program's users read Chinese whatever the machine's locale says, so the language is
    // fixed here rather than taken from the environment.
    auto* translator = new QTranslator(&app);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                          folder)) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

void UseProgramFont(QApplication& app)
{
    const QString family = QStringLiteral("WenQuanYi Micro Hei");
    if (!QFontDatabase::families().contains(family))
        return;
    QFont font(family);
    font.setPointSizeF(app.font().pointSizeF());
    QApplication::setFont(font);
}

void UseProgramStyle(QApplication& app)
{
    // The application takes the style over.
    app.setStyle(new ProgramStyle);
}
