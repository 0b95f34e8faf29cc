#include "WebEngineView.h"

#include <QCoreApplication>
#include <QWebEngineView>
#include <unistd.h>

WebEngineView::WebEngineView(QWidget* parent) : m_view(new QWebEngineView(parent))
{
    m_view->setContextMenuPolicy(Qt::NoContextMenu);
}

QWidget* WebEngineView::widget() const
{
    return m_view;
}

void WebEngineView::load(const QUrl& url)
{
    m_view->load(url);
}

void WebEngineView::installForProgram()
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    WebPanel::setViewFactory([](QWidget* parent) { return std::make_unique<WebEngineView>(parent); });
}
