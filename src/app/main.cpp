#include "FormLogin.h"
#include "MultiThread.h"
#include "WebEngineView.h"

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
    // Before the application object: the browser engine of the web panels is set up here
    // (it runs without Chromium's sandbox only when the process runs as root).
    WebEngineView::installForProgram();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    useCjkFont(app);

    auto* login = new FormLogin();
    login->setAttribute(Qt::WA_DeleteOnClose);
    login->show();
    const int code = QApplication::exec();
    // No worker may outlive the window thread's objects.
    TerminateAllThreads();
    return code;
}
