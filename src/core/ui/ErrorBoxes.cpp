#include "ErrorBoxes.h"

#include "DataStore.h"
#include "Desktop.h"
#include "PublicFunction.h"
#include "db/DbError.h"

QString ErrorBoxText(int number, const QString& description)
{
    return QStringLiteral("错误号：") + QString::number(number) + QStringLiteral("\r\n") +
           QStringLiteral("错误描述：") + description;
}

void ShowProgramError(int number, const QString& description, QWidget* parent)
{
    MsgBox(ErrorBoxText(number, description), QStringLiteral("程序出错"), Desktop::Icon::Information,
           Desktop::Buttons::Ok, parent);
}

void ShowProgramError(const db::DbError& error, QWidget* parent)
{
    ShowProgramError(error.number(), error.description(), parent);
}

void ShowProgramError(const HelperError& error, QWidget* parent)
{
    ShowProgramError(error.number(), error.description(), parent);
}

void OpenDatabase(const QString& fileName)
{
    try {
        OpenDatabaseOrThrow(fileName);
    } catch (const db::DbError& error) {
        MsgBox(ErrorBoxText(error.number(), error.description()), QStringLiteral("打开本地数据库出错"),
               Desktop::Icon::Information);
        Desktop::instance().exitNow(1);
    }
}

bool RunReported(QWidget* parent, const std::function<void()>& step)
{
    try {
        step();
        return true;
    } catch (const db::DbError& error) {
        ShowProgramError(error, parent);
    } catch (const HelperError& error) {
        ShowProgramError(error, parent);
    } catch (const std::exception& error) {
        ShowProgramError(db::ErrGeneric, QString::fromLocal8Bit(error.what()), parent);
    }
    return false;
}

QString FailureDescription(const std::exception& error)
{
    if (const auto* dbError = dynamic_cast<const db::DbError*>(&error))
        return dbError->description();
    return QString::fromUtf8(error.what());
}
