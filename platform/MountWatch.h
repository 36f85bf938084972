// Tells the event loop when the mount table changed. The kernel marks
// /proc/self/mountinfo with POLLPRI (and POLLERR) after every mount and
// unmount in this process's namespace; asking never blocks.
#pragma once

class IMountWatch {
public:
    virtual ~IMountWatch() = default;
    // True once for any number of changes since the last call.
    virtual bool HasChanged() = 0;
};

class CMountWatch : public IMountWatch {
public:
    CMountWatch();
    ~CMountWatch() override;
    CMountWatch(const CMountWatch&) = delete;
    CMountWatch& operator=(const CMountWatch&) = delete;

    bool HasChanged() override;
    // False where the table cannot be opened: then nothing is ever reported.
    bool IsWatching() const { return m_nFd >= 0; }

private:
    int m_nFd = -1;
};
