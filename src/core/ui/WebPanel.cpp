#include "WebPanel.h"

#include <QVBoxLayout>

namespace {

WebPanel::ViewFactory& factory()
{
    static WebPanel::ViewFactory f;
    return f;
}

} // namespace

WebPanel::WebPanel(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (factory()) {
        m_view = factory()(this);
        if (m_view)
            layout->addWidget(m_view->widget());
    }
}

WebPanel::~WebPanel() = default;

void WebPanel::load(const QUrl& url)
{
    m_history.push_back(url);
    if (m_view)
        m_view->load(url);
}

QUrl WebPanel::url() const
{
    return m_history.isEmpty() ? QUrl() : m_history.back();
}

void WebPanel::setViewFactory(ViewFactory viewFactory)
{
    factory() = std::move(viewFactory);
}
