#pragma once

#include <QStyledItemDelegate>
#include <functional>

// Hands the text of a finished in-place label edit to a handler before it reaches the item,
// as the tree's after-label-edit event did: the handler sets cancel to keep the old label.
// An edit the user abandons (Escape) never reaches the handler.
class LabelEditDelegate final : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using Handler = std::function<void(const QModelIndex& index, const QString& newText, bool& cancel)>;

    explicit LabelEditDelegate(Handler handler, QObject* parent = nullptr);

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

private:
    Handler m_handler;
};
