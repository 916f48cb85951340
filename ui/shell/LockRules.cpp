#include "ui/shell/LockRules.h"

#include <algorithm>

#include "crypto/Md5.h"
#include "platform/Wipe.h"

namespace morvane::shell {

void LockClock::SetDelay(std::int64_t delay, std::int64_t now)
{
    delay_ = std::max<std::int64_t>(delay, 0);
    last_ = now;
}

bool LockClock::Due(std::int64_t now, bool busy) const
{
    return !busy && (requested_ || Idle(now));
}

std::int64_t LockClock::Wait(std::int64_t now, bool busy) const
{
    if (requested_ || Idle(now))
        return busy ? kBusyPoll : 0;
    if (delay_ <= 0)
        return -1;
    return delay_ - (now - last_);
}

void LockClock::Unlocked(std::int64_t now)
{
    requested_ = false;
    last_ = now;
}

bool LoginMatches(std::string_view loginPassword, std::string_view entry)
{
    Md5Bytes want = Md5Of(loginPassword);
    Md5Bytes got = Md5Of(entry);
    unsigned diff = 0;
    for (std::size_t i = 0; i < want.size(); ++i)
        diff |= static_cast<unsigned>(want[i] ^ got[i]);
    WipeBytes(want.data(), want.size());
    WipeBytes(got.data(), got.size());
    return diff == 0;
}

}  // namespace morvane::shell
