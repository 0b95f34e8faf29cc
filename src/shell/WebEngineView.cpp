#include "WebEngineView.h"

#include <QCoreApplication>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <unistd.h>

WebEngineView::WebEngineView(QWidget* parent) : m_view(new QWebEngineView(parent))
{
    m_view->setContextMenuPolicy(Qt::NoContextMenu);
    // The pages name no font, and the engine's default is its serif one, unlike every window
    // around them: it becomes its sans-serif one. Not the program's CJK font itself: that font
    // maps "℃" to an empty glyph, so the weather panel would lose its unit; the engine takes the
    // Chinese text from it all the same, as the one font that has it.
    QWebEngineSettings* settings = m_view->settings();
    settings->setFontFamily(QWebEngineSettings::StandardFont, settings->fontFamily(QWebEngineSettings::SansSerifFont));
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
