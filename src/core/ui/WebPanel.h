#pragma once

#include <QList>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <memory>

// A web page inside a window (weather, notices, customer service). The browser itself is
// supplied by the program at start-up (setViewFactory); without one, as in the tests, the panel
// stays empty and only records the addresses it was asked to show.
class WebPanel final : public QWidget
{
    Q_OBJECT
public:
    // The browser behind a panel; its widget is a child of the panel.
    class View
    {
    public:
        virtual ~View() = default;
        virtual QWidget* widget() const = 0;
        virtual void load(const QUrl& url) = 0;
    };
    using ViewFactory = std::function<std::unique_ptr<View>(QWidget* parent)>;

    explicit WebPanel(QWidget* parent = nullptr);
    ~WebPanel() override;

    void load(const QUrl& url);
    // The address last asked for (empty before the first load).
    QUrl url() const;
    // Every address asked for, oldest first.
    QList<QUrl> history() const { return m_history; }

    // Panels made from now on use the factory; an empty one goes back to recording only.
    static void setViewFactory(ViewFactory factory);

private:
    std::unique_ptr<View> m_view;
    QList<QUrl> m_history;
};
