#pragma once

#include <QWidget>
#include <memory>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QPlainTextEdit;
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

    QLineEdit* Text1() const;  // name
    QLineEdit* Text2() const;  // mobile number
    QComboBox* Combo1() const; // sex
    QCheckBox* AeroCheckBox1() const;
    QDateEdit* DTPicker1() const;
    QComboBox* Combo2() const;     // marital status
    QLineEdit* Text7() const;      // e-mail
    QLineEdit* Text6() const;      // QQ/MSN
    QLineEdit* Text3() const;      // trade
    QLineEdit* Text5() const;      // position
    QLineEdit* Text8() const;      // address
    QPlainTextEdit* Text4() const; // custom 1
    QPlainTextEdit* Text9() const; // custom 2
    QComboBox* Combo3() const;     // category

private:
    void setBirthday(bool known, const QDate& date);

    std::unique_ptr<Ui::ContactForm> ui;
};
