// GoogleTest's hook for platform overrides, found ahead of its own (empty)
// one. MinGW's win32 thread model lacks std::mutex and std::condition_variable,
// which gtest's Notification is built on; this one rests on a Win32 event.
#ifndef ZEVRIK_GTEST_CUSTOM_PORT_H
#define ZEVRIK_GTEST_CUSTOM_PORT_H

#include <windows.h>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
public:
    Notification() : m_hEvent(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~Notification() { CloseHandle(m_hEvent); }
    Notification(const Notification &) = delete;
    Notification &operator=(const Notification &) = delete;

    void Notify() { SetEvent(m_hEvent); }
    void WaitForNotification() { WaitForSingleObject(m_hEvent, INFINITE); }

private:
    HANDLE m_hEvent;
};

} // namespace internal
} // namespace testing

#endif
