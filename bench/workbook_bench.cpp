// Figures for workbooks of 100,000 rows x 6 columns: reading a .xlsx (used range and every
// cell's text) with the memory it takes, opening it in the view until the first paint, and the
// selection import of 100,000 cells into the plain list. Prints the median of several runs.
#include "BenchSupport.h"
#include "Controls.h"
#include "ExpressExcel.h"
#include "GlobalState.h"
#include "NumberListModel.h"
#include "ScriptedDesktop.h"
#include "SendPage.h"
#include "Workbook.h"
#include "WorkbookView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>
#include <zip.h>

namespace {

constexpr int kRuns = 5;
constexpr int kRows = 100000;

double cpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Median wall-clock time of the runs; the median processor time goes to cpu, which tells a
// busy machine from a slow program.
double timeMs(const std::function<void()>& setUp, const std::function<void()>& work, double* cpu = nullptr)
{
    std::vector<double> runs;
    std::vector<double> cpus;
    for (int r = 0; r < kRuns; ++r) {
        setUp();
        QElapsedTimer timer;
        const double cpuStart = cpuMs();
        timer.start();
        work();
        runs.push_back(timer.nsecsElapsed() / 1e6);
        cpus.push_back(cpuMs() - cpuStart);
    }
    if (cpu)
        *cpu = median(cpus);
    return median(runs);
}

long statusKb(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(strlen(field))).trimmed().split(' ').first().toLong();
    return -1;
}

void resetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

bool addPart(zip_t* archive, const char* name, const QByteArray& data)
{
    void* copy = malloc(size_t(data.size()));
    memcpy(copy, data.constData(), size_t(data.size()));
    zip_source_t* source = zip_source_buffer(archive, copy, zip_uint64_t(data.size()), 1);
    return source && zip_file_add(archive, name, source, ZIP_FL_ENC_UTF_8) >= 0;
}

// A sheet as office suites write one: shared strings for the names, numbers for the phones
// (every tenth one repeated), a date column with its own format.
bool writeWorkbook(const QString& path)
{
    QByteArray sheet = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><worksheet xmlns=\"http://schemas.openxmlformats."
                       "org/spreadsheetml/2006/main\"><sheetData>";
    QByteArray strings = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><sst xmlns=\"http://schemas.openxmlformats.org/"
                         "spreadsheetml/2006/main\">";
    for (int i = 0; i < kRows; ++i) {
        const int r = i + 1;
        const qint64 phone = 13800000000LL + (i % 10 == 9 ? i - 1 : i);
        const QByteArray row = QByteArray::number(r);
        sheet += "<row r=\"" + row + "\"><c r=\"A" + row + "\"><v>" + QByteArray::number(phone) + "</v></c><c r=\"B" +
                 row + "\" t=\"s\"><v>" + QByteArray::number(i) + "</v></c><c r=\"C" + row + "\" s=\"1\"><v>" +
                 QByteArray::number(30000 + i % 15000) + "</v></c><c r=\"D" + row + "\"><v>" +
                 QByteArray::number(i * 1.25, 'g', 15) + "</v></c><c r=\"E" + row + "\" t=\"inlineStr\"><is><t>备注" +
                 QByteArray::number(i % 100) + "</t></is></c><c r=\"F" + row + "\" t=\"b\"><v>" +
                 QByteArray::number(i % 2) + "</v></c></row>";
        strings += "<si><t>客户" + QByteArray::number(i) + "</t></si>";
    }
    sheet += "</sheetData></worksheet>";
    strings += "</sst>";
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive)
        return false;
    const QByteArray ns = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    bool ok = addPart(archive, "_rels/.rels",
                      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                      "<Relationship Id=\"rId1\" Type=\"" +
                          ns +
                          "/officeDocument\" Target=\"xl/workbook.xml\"/>"
                          "</Relationships>") &&
              addPart(archive, "xl/workbook.xml",
                      "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" xmlns:r=\"" + ns +
                          "\"><sheets><sheet name=\"客户\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>") &&
              addPart(archive, "xl/_rels/workbook.xml.rels",
                      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                      "<Relationship Id=\"rId1\" Type=\"" +
                          ns +
                          "/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
                          "<Relationship Id=\"rId2\" Type=\"" +
                          ns +
                          "/sharedStrings\" Target=\"sharedStrings.xml\"/>"
                          "<Relationship Id=\"rId3\" Type=\"" +
                          ns +
                          "/styles\" Target=\"styles.xml\"/>"
                          "</Relationships>") &&
              addPart(archive, "xl/styles.xml",
                      "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><cellXfs>"
                      "<xf numFmtId=\"0\"/><xf numFmtId=\"14\"/></cellXfs></styleSheet>") &&
              addPart(archive, "xl/sharedStrings.xml", strings) && addPart(archive, "xl/worksheets/sheet1.xml", sheet);
    return zip_close(archive) == 0 && ok;
}

class FirstPaint final : public QObject
{
public:
    bool painted = false;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ResetGlobalState();

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("customers.xlsx"));
    if (!writeWorkbook(path)) {
        std::printf("could not write the workbook\n");
        return 1;
    }
    std::printf("workbook: %d rows x 6 columns, %lld bytes\n", kRows, QFile(path).size());

    // 1. Reading: used range and every cell's text.
    qint64 characters = 0;
    long rssGrowth = 0;
    long peakGrowth = 0;
    double readCpu = 0;
    const double readMs = timeMs([] {},
                                 [&] {
                                     const long before = statusKb("VmRSS:");
                                     resetPeak();
                                     Workbook book;
                                     if (!book.open(path)) {
                                         std::printf("open failed: %s\n", qPrintable(book.errorDescription()));
                                         return;
                                     }
                                     const Worksheet& sheet = book.sheet(0);
                                     const UsedRange& used = sheet.usedRange();
                                     characters = 0;
                                     for (int r = 1; r <= used.rowCount; ++r)
                                         for (int c = 1; c <= used.columnCount; ++c)
                                             characters += sheet.Text(r, c).size();
                                     // The first run shows the memory; later ones reuse what the allocator kept.
                                     rssGrowth = std::max(rssGrowth, statusKb("VmRSS:") - before);
                                     peakGrowth = std::max(peakGrowth, statusKb("VmHWM:") - before);
                                 },
                                 &readCpu);
    std::printf("read .xlsx, used range + every text:  %8.1f ms  (cpu %.1f ms; %lld characters; memory +%ld MB "
                "held, +%ld MB peak)\n",
                readMs, readCpu, characters, rssGrowth / 1024, peakGrowth / 1024);

    // The same walk through the full values, dates built as local date-times.
    Workbook loaded;
    loaded.open(path);
    const double valuesMs = timeMs([] {},
                                   [&] {
                                       const Worksheet& sheet = loaded.sheet(0);
                                       for (int r = 1; r <= sheet.usedRange().rowCount; ++r)
                                           for (int c = 1; c <= sheet.usedRange().columnCount; ++c)
                                               characters += sheet.Cells(r, c).text.size();
                                   });
    std::printf("  (every cell's full value, after the read:  %8.1f ms)\n", valuesMs);
    loaded.close();
    // 2. The view until its first paint.
    double paintCpu = 0;
    const double paintMs = timeMs([] {},
                                  [&] {
                                      WorkbookView view;
                                      view.resize(800, 500);
                                      FirstPaint watcher;
                                      Control<QTableView>(view, "sheetTable")->viewport()->installEventFilter(&watcher);
                                      view.Open(path);
                                      view.show();
                                      while (!watcher.painted)
                                          QCoreApplication::processEvents();
                                  },
                                  &paintCpu);
    std::printf("view: open until first paint:         %8.1f ms  (cpu %.1f ms)\n", paintMs, paintCpu);

    // 3. Selection import of the 100,000 phone cells.
    ScriptedDesktop desktop;
    SendPage page;
    g_ExcelPath = path;
    std::unique_ptr<ExpressExcel> dialog;
    int count = 0;
    double importCpu = 0;
    const double importMs = timeMs(
        [&] {
            page.numberList()->clear();
            dialog = std::make_unique<ExpressExcel>(page);
            dialog->Form_Load();
            Control<WorkbookView>(*dialog, "FramerControl1")->selectArea(1, 1, kRows, 1);
            desktop.expectMessage(ScriptedDesktop::anyText(), QStringLiteral("完成"), Desktop::Icon::Information);
        },
        [&] {
            dialog->AeroButton2_Click();
            count = page.numberList()->count();
        },
        &importCpu);
    std::printf("selection import of %d cells:     %8.1f ms  (cpu %.1f ms; %d numbers listed after DelRepeat)\n", kRows,
                importMs, importCpu, count);
    return 0;
}
