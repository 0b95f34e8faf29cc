#pragma once

// What the benchmarks share: the median of their runs, a desktop that answers every box with
// Ok and every open dialog with one prepared file, and a window shown before it is measured.
#include "Desktop.h"

#include <QString>
#include <QTest>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

// Shows the window and waits until it is on screen: the figures of a window never shown would
// measure something else. False, with a word on standard error, when it never comes.
inline bool showForBench(QWidget& window)
{
    window.show();
    if (QTest::qWaitForWindowExposed(&window))
        return true;
    std::fprintf(stderr, "the window under measure was never shown\n");
    return false;
}

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

class BenchDesktop final : public Desktop
{
public:
    QString path;        // what the open dialog answers
    QString lastMessage; // the text of the last box shown
    Answer message(const QString& text, const QString&, Icon, Buttons, QWidget*) override
    {
        lastMessage = text;
        return Answer::Ok;
    }
    QString openFile(const QString&, QWidget*) override { return path; }
    QString saveFile(const QString&, QWidget*) override { return QString(); }
    bool startProgram(const QString&) override { return false; }
    bool openUrl(const QString&) override { return false; }
    [[noreturn]] void exitNow(int code) override { std::exit(code); }
};
