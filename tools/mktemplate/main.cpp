// quorvel-mktemplate OUTPUT
// Writes the contact export template: a workbook whose sheet "Sheet1" carries the captions of
// the exported columns in row 1, beside the two empty sheets a new Excel workbook has.
// Runs at build time, so every failure ends with a message and a non-zero exit code.

#include "XlsBook.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>

namespace {

int fail(const QString& message)
{
    QTextStream(stderr) << "quorvel-mktemplate: " << message << Qt::endl;
    return 1;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2)
        return fail(QStringLiteral("usage: quorvel-mktemplate OUTPUT"));

    // The order of the export's columns A to L.
    const QStringList captions = {
        QStringLiteral("姓名"),     QStringLiteral("手机号码"), QStringLiteral("性别"),     QStringLiteral("生日"),
        QStringLiteral("所属行业"), QStringLiteral("工作"),     QStringLiteral("身份证号"), QStringLiteral("电子邮箱"),
        QStringLiteral("婚姻状态"), QStringLiteral("QQ/MSN"),   QStringLiteral("地址"),     QStringLiteral("备注"),
    };
    XlsBook book;
    const int sheet = book.addSheet(QStringLiteral("Sheet1"));
    if (sheet < 0 || book.addSheet(QStringLiteral("Sheet2")) < 0 || book.addSheet(QStringLiteral("Sheet3")) < 0)
        return fail(book.error());
    for (int column = 0; column < captions.size(); ++column)
        if (!book.setText(sheet, 0, column, captions.at(column)))
            return fail(book.error());
    if (!book.save(args.at(1)))
        return fail(book.error());
    return 0;
}
