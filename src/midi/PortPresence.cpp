#include "PortPresence.h"

#include <utility>

namespace midi {

void TPortPresence::Connected(std::string identity)
{
    Identity = std::move(identity);
    Lost = false;
    BackUntold = false;
}

TPortCheck TPortPresence::Look(bool listed, const TIdentity &identity, bool compare,
                               const TReconnect &reconnect)
{
    LastFailure.clear();
    if (!listed) {
        Lost = true;
        LastFailure = "the device is no longer available";
        return TPortCheck::Gone;
    }
    std::string seen;
    if (compare || Lost)
        seen = identity();
    // The connection went with the device it was made to.
    const bool replaced = compare && !Identity.empty() && !seen.empty() && seen != Identity;
    if (!Lost && !replaced)
        return TPortCheck::Present;
    Lost = true;
    LastFailure = reconnect();
    if (!LastFailure.empty())
        return TPortCheck::Gone;
    Lost = false;
    Identity = std::move(seen);
    return TPortCheck::Back;
}

TPortCheck TPortPresence::Check(bool listed, const TIdentity &identity, const TReconnect &reconnect)
{
    const TPortCheck check = Look(listed, identity, true, reconnect);
    if (std::exchange(BackUntold, false) && check == TPortCheck::Present)
        return TPortCheck::Back;
    return check;
}

bool TPortPresence::Usable(bool listed, const TIdentity &identity, const TReconnect &reconnect)
{
    const TPortCheck check = Look(listed, identity, false, reconnect);
    if (check == TPortCheck::Back)
        BackUntold = true;
    return check != TPortCheck::Gone;
}

} // namespace midi
