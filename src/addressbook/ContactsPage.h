#pragma once

#include <QString>
#include <QWidget>
#include <memory>

class CategoryTree;
class QTreeWidgetItem;
namespace Ui {
class ContactsPage;
}

// Page 3 of the main window, the address book: the category tree (roots "all" and "birthday",
// categories "C" + id under "all"), the contact list of the chosen node or of a search, and the
// buttons that add, edit, tick, delete and hand contacts to the recipient grid.
class ContactsPage final : public QWidget
{
    Q_OBJECT
public:

    explicit ContactsPage(QWidget* parent = nullptr);
    ~ContactsPage() override;

    // The main window's load: the search field is the name.
    void prepareForLoad();

    // Rebuilds the tree from the database; "all" ends expanded and selected (not a node click).
    // Throws db::DbError.
    void LoadContactTree();
    // Every contact into the list. Throws db::DbError.
    void LoadAllContacts();
    // The contacts of the selected node into the list; a failure is shown with its description.
    void LoadNodeContacts();

    // Event handlers, public so that the main window and tests can drive them.
    void TreeView1_NodeClick(QTreeWidgetItem* node);
    // Stores an in-place rename of the selected node; sets cancel for the two roots (and when
    // the name could not be stored), the label then returns to its old text.
    void TreeView1_AfterLabelEdit(bool& cancel, const QString& newString);
    void AeroButton17_Click(); // "添加" category
    void AeroButton33_Click(); // "修改" category
    void AeroButton19_Click(); // "删除" category
    void AeroButton16_Click(); // "查 找"
    void AeroButton34_Click(); // "全选"
    void AeroButton35_Click(); // "全不选"
    void AeroButton39_Click(); // "反选"
    void AeroButton31_Click(); // "添加联系人"
    void AeroButton32_Click(); // "删除选中联系人"
    void AeroButton18_Click(); // "选中联系人发送信息"
    void AeroButton37_Click(); // "通讯录导入"
    void AeroButton38_Click(); // "通讯录导出"
    void ListView2_DblClick();

    // Key of a tree node ("all", "birthday", "C" + id); empty for none.
    static QString nodeKey(const QTreeWidgetItem* node);
    QTreeWidgetItem* nodeByKey(const QString& key) const;
    QString selectedKey() const;

Q_SIGNALS:
    // The checked contacts are in [DraftBox]: show the send page with the grid and rebuild it.
    void contactsAddedToGrid();
    // The import wizard is to be shown modally; the list is reloaded when the receivers return.
    void importRequested();
    // The export wizard is to be shown modally.
    void exportRequested();

private:
    // Loads the list from a statement; the stored birthdays show as dates.
    void loadList(const QString& sql, bool formatBirthdays);
    void setAllTicks(int how);
    // The category id of the selected node, or -1 (after the message) when it is no category.
    qint64 selectedCategory(const QString& refusal);

    std::unique_ptr<Ui::ContactsPage> ui;
    std::unique_ptr<CategoryTree> m_tree;
};
