#pragma once

#include <QWidget>
#include <memory>

class QLineEdit;
namespace db {
class Recordset;
}
namespace Ui {
class ContactForm;
}

// The fields of one contact, shared by the add and the edit dialog: basic and extended data,
// the birthday box with its picker and the category list.
class ContactForm final : public QWidget
{
    Q_OBJECT
public:
    explicit ContactForm(QWidget* parent = nullptr);
    ~ContactForm() override;

    // Fills Combo3 with every category (item data its id), in the order the database returns
    // them. The last item named preselect becomes the chosen one; with no such item none is
    // chosen. Throws db::DbError.
    void loadCategories(const QString& preselect = QString());
    // Chooses the category item whose id is categoryId; none when no item has it.
    void selectCategory(qint64 categoryId);

    // Name, number, number format and category, in this order; the first failed check shows
    // its message, puts the focus on its control and gives false.
    bool validate();

    // Fills the fields from the current row of rs; a stored birthday ticks the box.
    void readFrom(const db::Recordset& rs);
    // Writes the fields into the current (or new) row of rs; the birthday only while the box is
    // ticked, so an unticked box leaves a stored birthday as it was. The caller saves.
    void writeTo(db::Recordset& rs) const;

    // The mobile number box: the add dialog reads it for its duplicate test and puts the focus
    // on it when the number is taken.
    QLineEdit* Text2() const;

private:
    void setBirthday(bool known, const QDate& date);

    std::unique_ptr<Ui::ContactForm> ui;
};
