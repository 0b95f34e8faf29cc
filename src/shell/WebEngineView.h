#pragma once

#include "WebPanel.h"

class QWebEngineView;

// The real browser behind every WebPanel of the program.
class WebEngineView final : public WebPanel::View
{
public:
    explicit WebEngineView(QWidget* parent);

    QWidget* widget() const override;
    void load(const QUrl& url) override;

    // Call before the QApplication exists: prepares the browser engine (shared GL contexts;
    // Chromium's sandbox refuses to run as root, so it is switched off only then) and makes every
    // WebPanel use a WebEngineView.
    static void installForProgram();

private:
    QWebEngineView* m_view; // child of the panel
};
