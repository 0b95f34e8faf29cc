#include "ImportLoop.h"

#include "PublicFunction.h"

#include <utility>

ImportLoop::ImportLoop(ImportSource& source, ImportTarget& target, ImportColumns columns)
    : m_source(source), m_target(target), m_columns(std::move(columns)), m_values(m_columns.values.size())
{
}

void ImportLoop::setPace(Pace pace)
{
    m_pace = pace;
}

void ImportLoop::setStop(std::function<bool()> stop)
{
    m_stop = std::move(stop);
}

void ImportLoop::setYield(std::function<void(const ImportCounts&)> yield)
{
    m_yield = std::move(yield);
}

void ImportLoop::run(ImportCounts& counts)
{
    counts = ImportCounts();
    try {
        while (true) {
            if (!m_source.fetch()) {
                counts.finished = true;
                break;
            }
            if (m_stop && m_stop())
                break;
            handleRow(counts);
            ++counts.read;
            const bool committed = m_target.commitIfDue();
            if (m_yield && (committed || m_pace == Pace::EveryRow))
                m_yield(counts);
        }
        m_target.commit();
    } catch (...) {
        try {
            m_target.commit();
        } catch (...) {
            // The failure that stopped the import is the one to report, not this one.
        }
        throw;
    }
}

void ImportLoop::handleRow(ImportCounts& counts)
{
    QString number = m_source.cell(m_columns.number).text;
    if (!m_columns.dropFromNumber.isEmpty())
        number.remove(m_columns.dropFromNumber);
    if (!IsMobileNumber(number)) {
        ++counts.rejected;
        return;
    }
    // Filled in place: an import runs this for every row.
    for (int i = 0; i < m_columns.values.size(); ++i)
        m_values[i] = m_source.cell(m_columns.values.at(i));
    if (m_target.store(number, m_values))
        ++counts.repeats;
    ++counts.stored;
}
