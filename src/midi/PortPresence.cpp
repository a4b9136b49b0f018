#include "PortPresence.h"

#include <utility>

namespace midi {

void TPortPresence::Connected(std::string identity)
{
    Identity = std::move(identity);
    Lost = false;
    BackUntold = false;
}

TPortCheck TPortPresence::Look(const TSeen &seen, const TReconnect &reconnect)
{
    LastFailure.clear();
    if (!seen) {
        Lost = true;
        LastFailure = "the device is no longer available";
        return TPortCheck::Gone;
    }
    // The connection went with the device it was made to.
    const bool replaced = !Identity.empty() && !seen->empty() && *seen != Identity;
    if (!Lost && !replaced)
        return TPortCheck::Present;
    Lost = true;
    LastFailure = reconnect();
    if (!LastFailure.empty())
        return TPortCheck::Gone;
    Lost = false;
    Identity = *seen;
    return TPortCheck::Back;
}

TPortCheck TPortPresence::Check(const TSeen &seen, const TReconnect &reconnect)
{
    const TPortCheck check = Look(seen, reconnect);
    if (std::exchange(BackUntold, false) && check == TPortCheck::Present)
        return TPortCheck::Back;
    return check;
}

bool TPortPresence::Usable(const TSeen &seen, const TReconnect &reconnect)
{
    const TPortCheck check = Look(seen, reconnect);
    if (check == TPortCheck::Back)
        BackUntold = true;
    return check != TPortCheck::Gone;
}

} // namespace midi
