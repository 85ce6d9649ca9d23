#include "WakeupEvent.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

namespace Keldar::Ondrix {

WakeupEvent::WakeupEvent()
    : m_fd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{
    if (m_fd < 0) {
        throw std::system_error(errno, std::generic_category(), "eventfd");
    }
}

WakeupEvent::~WakeupEvent()
{
    ::close(m_fd);
}

void WakeupEvent::notify() const
{
    const std::uint64_t one = 1;
    // Can only fail when the counter would overflow, i.e. it is already set.
    [[maybe_unused]] const auto written = ::write(m_fd, &one, sizeof one);
}

void WakeupEvent::drain() const
{
    std::uint64_t value = 0;
    [[maybe_unused]] const auto read = ::read(m_fd, &value, sizeof value);
}

} // namespace Keldar::Ondrix
