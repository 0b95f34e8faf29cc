#include "FormLogin.h"
#include "MultiThread.h"
#include "ProgramLook.h"
#include "WebEngineView.h"

#include <QApplication>

int main(int argc, char** argv)
{
    // Before the application object: the browser engine of the web panels is set up here
    // (it runs without Chromium's sandbox only when the process runs as root).
    WebEngineView::installForProgram();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    SetUpProgramLook(app);

    auto* login = new FormLogin();
    login->setAttribute(Qt::WA_DeleteOnClose);
    login->show();
    const int code = QApplication::exec();
    // No worker may outlive the window thread's objects.
    TerminateAllThreads();
    return code;
}
