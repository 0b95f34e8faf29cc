#pragma once

#include "ImportLoop.h"

#include <QElapsedTimer>
#include <QVariant>
#include <functional>
#include <memory>

namespace db {
class Connection;
class Statement;
class Transaction;
} // namespace db

// Writes the rows of the contact import into [ContactList]: a number not stored yet adds a
// contact; for a stored number the first contact with it is overwritten when the question
// agrees. Every row written gets the given category.
//
// Rows are committed together, a fraction of a second's worth at a time, instead of one commit
// each, which alone would take longer than the whole import. Everything is committed before
// the question waits for the user, so that no write is held open while nobody works.
class ContactImportWriter final : public ImportTarget
{
public:
    // A mapped column of [ContactList] and how a cell becomes its value.
    struct Field
    {
        QString name;
        QVariant (*value)(const CellValue& cell);
    };
    // Asked with the number of a stored contact: true overwrites it.
    using Question = std::function<bool(const QString& number)>;

    // Prepares the statements for these fields. Throws db::DbError.
    ContactImportWriter(db::Connection& conn, const QVector<Field>& fields, qint64 category, Question overwrite);
    ~ContactImportWriter() override;
    ContactImportWriter(const ContactImportWriter&) = delete;
    ContactImportWriter& operator=(const ContactImportWriter&) = delete;

    // values: the cells of the fields, in their order.
    bool store(const QString& number, const QVector<CellValue>& values) override;
    bool commitIfDue() override;
    void commit() override;

private:
    QVariantList fieldValues(const QVector<CellValue>& cells) const;

    db::Connection& m_conn;
    QVector<Field> m_fields;
    qint64 m_category;
    Question m_overwrite;
    std::unique_ptr<db::Statement> m_find;
    std::unique_ptr<db::Statement> m_insert;
    std::unique_ptr<db::Statement> m_update;
    std::unique_ptr<db::Transaction> m_batch;
    QElapsedTimer m_sinceCommit;
};
