#include "Form1.h"
#include "ProgramLook.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("update"));
    SetUpProgramLook(app);

    updater::Form1 window;
    window.Form_Load();
    window.show();
    return QApplication::exec();
}
