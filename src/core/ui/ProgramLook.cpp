#include "ProgramLook.h"

#include "ProgramStyle.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

// The picture lives in this static library's resources, which are registered by hand, outside
// any namespace, as Qt asks.
static void initCoreUiResources()
{
    Q_INIT_RESOURCE(coreui);
}

namespace {

// The program's users read Chinese whatever the machine's locale says, so the language is fixed
// here rather than taken from the environment.
QLocale programLocale()
{
    return QLocale(QLocale::Chinese, QLocale::China);
}

} // namespace

void SetUpProgramLook(QApplication& app)
{
    UseProgramFont(app);
    UseProgramStyle(app);
    UseProgramLocale();
    InstallQtTranslations(app);
    QApplication::setWindowIcon(ProgramIcon());
}

bool InstallQtTranslations(QCoreApplication& app)
{
    auto* translator = new QTranslator(&app);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(programLocale(), QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
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

void UseProgramLocale()
{
    QLocale::setDefault(programLocale());
}

QIcon ProgramIcon()
{
    initCoreUiResources();
    return QIcon(QStringLiteral(":/coreui/images/Quorvel.png"));
}
