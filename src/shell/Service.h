#pragma once

#include <QDialog>
#include <QPoint>
#include <memory>

namespace Ui {
class Service;
}

// "在线客服": the maker's customer-service page, opened just below the toolbar's service icon.
class Service final : public QDialog
{
    Q_OBJECT
public:
    // mainForm is the window the icon sits in; the dialog is modal to it.
    Service(QWidget* mainForm, const QWidget* serviceIcon);
    ~Service() override;

    // Where the dialog's outer top-left corner goes: the main window's outer top-left corner,
    // moved by the icon's position inside the main window's client area and by the icon's height.
    static QPoint placement(const QWidget* mainForm, const QWidget* serviceIcon);
    // "http://" + support host + "/parts/service.html"
    static QString pageUrl();

private:
    std::unique_ptr<Ui::Service> ui;
};
