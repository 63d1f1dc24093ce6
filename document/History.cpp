#include "document/History.h"

#include <iterator>

namespace knetix {

void Transaction::undo(EditTarget& target)
{
    for (auto it = m_cmds.rbegin(); it != m_cmds.rend(); ++it)
        (*it)->undo(target);
}

void Transaction::redo(EditTarget& target)
{
    for (auto& cmd : m_cmds)
        cmd->redo(target);
}

size_t Transaction::bytes() const
{
    size_t total = sizeof(*this);
    for (const auto& cmd : m_cmds)
        total += cmd->bytes();
    return total;
}

void UndoHistory::clear()
{
    m_steps.clear();
    m_done = 0;
    m_saved = 0;
}

void UndoHistory::commit(std::unique_ptr<Transaction> step)
{
    if (!step || step->empty())
        return;
    if (m_saved > int64_t(m_done))
        m_saved = -1; // the saved state was on the redo branch
    m_steps.resize(m_done);
    m_steps.push_back(std::move(step));
    m_done = m_steps.size();
    enforceLimit();
}

bool UndoHistory::undo(EditTarget& target)
{
    if (!canUndo())
        return false;
    m_steps[--m_done]->undo(target);
    return true;
}

bool UndoHistory::redo(EditTarget& target)
{
    if (!canRedo())
        return false;
    m_steps[m_done++]->redo(target);
    return true;
}

void UndoHistory::setLimit(size_t bytes)
{
    m_limit = bytes;
    enforceLimit();
}

size_t UndoHistory::bytes() const
{
    size_t total = 0;
    for (const auto& step : m_steps)
        total += step->bytes();
    return total;
}

void UndoHistory::enforceLimit()
{
    // Commands may hold more or less after an undo (masks move between the
    // key list and the command), so the sum is taken afresh.
    std::vector<size_t> sizes;
    sizes.reserve(m_steps.size());
    size_t total = 0;
    for (const auto& step : m_steps) {
        sizes.push_back(step->bytes());
        total += sizes.back();
    }
    // The oldest done steps go first; dropping them keeps the later ones
    // valid, since each undoes only what it recorded. Only if that is not
    // enough does the redo branch go, from its far end.
    size_t drop = 0;
    while (drop < m_done && total > m_limit)
        total -= sizes[drop++];
    size_t keepEnd = m_steps.size();
    while (keepEnd > m_done && total > m_limit)
        total -= sizes[--keepEnd];
    if (m_saved > int64_t(keepEnd))
        m_saved = -1;
    m_steps.erase(m_steps.begin() + std::ptrdiff_t(keepEnd), m_steps.end());
    if (drop == 0)
        return;
    m_steps.erase(m_steps.begin(), m_steps.begin() + std::ptrdiff_t(drop));
    m_done -= drop;
    m_saved = m_saved < int64_t(drop) ? -1 : m_saved - int64_t(drop);
}

} // namespace knetix
