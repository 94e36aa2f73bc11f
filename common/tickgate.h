#pragma once

#include <atomic>

// Lets a timer-driven request through only while the previous one is not
// still running, so a slow worker never builds up a queue of requests.
// The requester calls tryEnter() before it asks; a Pass held for the length
// of the work opens the gate again on every path out. TabWorker does both
// for a tab's timer-driven requests.
class TickGate {
public:
    bool tryEnter() { return !m_busy.exchange(true); }
    void leave() { m_busy.store(false); }
    bool isBusy() const { return m_busy.load(); }

    class Pass {
    public:
        explicit Pass(TickGate* gate) : m_gate(gate) {}
        ~Pass() {
            if (m_gate)
                m_gate->leave();
        }
        Pass(const Pass&) = delete;
        Pass& operator=(const Pass&) = delete;

    private:
        TickGate* m_gate;
    };

private:
    std::atomic<bool> m_busy{false};
};
