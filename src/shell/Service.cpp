#include "Service.h"

#include "HttpClient.h"
#include "WebPanel.h"
#include "ui_Service.h"

#include <QUrl>

Service::Service(QWidget* mainForm, const QWidget* serviceIcon) : QDialog(mainForm), ui(std::make_unique<Ui::Service>())
{
    ui->setupUi(this);
    setWindowModality(Qt::WindowModal);
    move(placement(mainForm, serviceIcon));
    ui->WebBrowser1->load(QUrl(pageUrl()));
}

Service::~Service() = default;

QPoint Service::placement(const QWidget* mainForm, const QWidget* serviceIcon)
{
    // Positions were once kept in twips (15 to the pixel); in pixels the sum is the same. The
    // main window's title bar and border are deliberately left out, as they always were.
    const QPoint iconInClient = serviceIcon->mapTo(mainForm, QPoint(0, 0));
    return mainForm->pos() + iconInClient + QPoint(0, serviceIcon->height());
}

QString Service::pageUrl()
{
    return QStringLiteral("http://") + http::supportHost() + QStringLiteral("/parts/service.html");
}
