#include "ContactTransfer.h"

#include "DataStore.h"
#include "DraftBoxWriter.h"
#include "ListView.h"
#include "PublicFunction.h"

namespace {

int columnOf(const ListViewModel& model, const QString& key)
{
    for (int c = 0; c < model.columnCount(); ++c) {
        if (model.columnKey(c) == key)
            return c;
    }
    return -1;
}

QString cellOf(const ListViewModel& model, int row, int column)
{
    return column < 0 ? QString() : model.cell(row, column);
}

} // namespace

int AddCheckedContactsToDraftBox(const ListView& contacts)
{
    const ListViewModel& model = *contacts.listModel();
    const int phoneColumn = columnOf(model, QStringLiteral("MobilePhone"));
    const int nameColumn = columnOf(model, QStringLiteral("Name"));
    const int sexColumn = columnOf(model, QStringLiteral("Sex"));

    DraftBoxWriter writer(SharedConnection());
    int added = 0;
    for (int row = 0; row < model.count(); ++row) {
        if (!model.isChecked(row))
            continue;
        const QString phone = cellOf(model, row, phoneColumn);
        const QString name = cellOf(model, row, nameColumn);
        const QString sex = cellOf(model, row, sexColumn);
        // The writer asks before this row's own insert, so the second of two equal numbers is flagged.
        writer.add(phone, {name, GetSalutation(sex)});
        ++added;
    }
    writer.commit();
    return added;
}
