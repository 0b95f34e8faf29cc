#pragma once

#include <QWidget>
#include <memory>

class CategoryTree;
class QTreeWidgetItem;
namespace Ui {
class PhrasePage;
}

// Page 4 of the main window: ready-made message texts in one level of categories. A chosen
// phrase goes to the message editor through insertPhrase; the main window replaces the editor's
// text with it and shows the page that pageRequested names.
class PhrasePage final : public QWidget
{
    Q_OBJECT
public:
    explicit PhrasePage(QWidget* parent = nullptr);
    ~PhrasePage() override;

    // Rebuilds TreeView2: the root "all" expanded and selected, one "C" + id node per category.
    // Leaves List1 alone. Throws db::DbError; the page's own handlers show the error box.
    void LoadPhraseTree();
    // Refills List1 with the phrases of the selected node (item data: the phrase id).
    // Throws db::DbError.
    void LoadNodePhrases();

    // Handlers of the page's controls.
    void TreeView2_NodeClick();
    void AeroButton20_Click(); // "添加" category
    void AeroButton21_Click(); // "修改" category
    void AeroButton22_Click(); // "删除" category
    void AeroButton24_Click(); // "新增常用短语"
    void AeroButton23_Click(); // "插入所选短语", also the double click on List1
    void AeroButton25_Click(); // "修改短语内容"
    void AeroButton26_Click(); // "删除所选短语"

signals:
    // The whole message text is to become text.
    void insertPhrase(const QString& text);
    // The toolbar index of the page to show next (1 plain send page, 8 grid send page).
    void pageRequested(int toolbarIndex);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString selectedKey() const;
    // The selected phrase's row in List1, -1 when none is selected.
    int selectedPhraseRow() const;
    bool requirePhrase();

    std::unique_ptr<Ui::PhrasePage> ui;
    std::unique_ptr<CategoryTree> m_tree;
};
