#pragma once

#include <QLabel>

class QMouseEvent;

// One picture of the main window's toolbar; a left click on it is a toolbar click.
class ToolbarImage final : public QLabel
{
    Q_OBJECT
public:
    explicit ToolbarImage(QWidget* parent = nullptr);

Q_SIGNALS:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};
