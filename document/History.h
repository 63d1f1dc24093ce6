#pragma once
// The undo history: every change to the work is a command that keeps what it
// needs to undo and redo itself; the commands of one user action (a stroke
// from press to release, one Key command) form one step. The history is
// linear, capped by memory (oldest steps go first), and knows which step the
// work was last saved or opened at, so that undoing back there clears the
// modified flag. Nothing of it is saved.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace knetix {

struct EditTarget;

// One recorded change. A command is created after (or while) its change is
// made, so it starts out done.
class Cmd {
public:
    virtual ~Cmd() = default;
    virtual void undo(EditTarget& target) = 0;
    virtual void redo(EditTarget& target) = 0;
    // The memory the command holds, for the history's cap.
    virtual size_t bytes() const = 0;
};

// The commands of one step, undone last to first.
class Transaction {
public:
    void add(std::unique_ptr<Cmd> cmd) { m_cmds.push_back(std::move(cmd)); }
    bool empty() const { return m_cmds.empty(); }
    void undo(EditTarget& target);
    void redo(EditTarget& target);
    size_t bytes() const;

private:
    std::vector<std::unique_ptr<Cmd>> m_cmds;
};

class UndoHistory {
public:
    static constexpr size_t kDefaultLimit = size_t(256) << 20;

    explicit UndoHistory(size_t limitBytes = kDefaultLimit) : m_limit(limitBytes) {}

    // A new history: nothing to undo or redo; the work as it is now is saved.
    void clear();
    // A step just made: the redo branch ends, oldest steps go while the
    // history holds more than the cap (the new one too, if it alone is over).
    void commit(std::unique_ptr<Transaction> step);

    bool canUndo() const { return m_done > 0; }
    bool canRedo() const { return m_done < m_steps.size(); }
    // Undoes (redoes) one step; false when there is none.
    bool undo(EditTarget& target);
    bool redo(EditTarget& target);

    // The work was saved as it stands now.
    void markSaved() { m_saved = int64_t(m_done); }
    // The work changed in a way no step records: the saved state is gone.
    void forgetSaved() { m_saved = -1; }
    // Whether the work stands where it was last saved or opened.
    bool atSaved() const { return m_saved == int64_t(m_done); }

    void setLimit(size_t bytes);
    size_t limit() const { return m_limit; }
    size_t bytes() const;
    size_t steps() const { return m_steps.size(); }
    size_t undoableSteps() const { return m_done; }

private:
    void enforceLimit();

    std::vector<std::unique_ptr<Transaction>> m_steps;
    size_t m_done = 0;   // steps 0 .. m_done - 1 are done
    int64_t m_saved = 0; // m_done at the last save; -1 when out of reach
    size_t m_limit;
};

} // namespace knetix
