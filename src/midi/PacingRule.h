#pragma once

// What a paced queue must know of the messages to one device, and nothing of any maker's bytes:
// which messages are data sets that keep the gap, which waiting message a newer one may
// replace, and what each touches in the device, so that nothing is moved past a message whose
// effect depends on the order. The protocol of the device above this layer says it.

#include <array>
#include <cstdint>
#include <limits>
#include <span>

namespace midi {

// Addresses in the device's own numbering, from inclusive, to exclusive.
struct TAddressRange
{
    std::uint32_t From = 0;
    std::uint32_t To = 0;
    bool Overlaps(const TAddressRange &other) const { return From < other.To && other.From < To; }
};
inline constexpr TAddressRange Everywhere {0, std::numeric_limits<std::uint32_t>::max()};

struct TPacingClass
{
    // Waits the gap after the previous data set has left the cable.
    bool DataSet = false;
    // Not zero: a newer message with the same key may take this one's place while it waits.
    std::uint64_t Key = 0;
    // A message that is never held back itself (a control change) waits only behind a data set
    // ahead of it: it is replaced only then, and only past messages of its own family, so that
    // it never moves past a data set.
    bool Streamed = false;
    // Messages of one family address the device alike and are compared by what each touches;
    // family 0 is a message the rule does not know, taken to touch everything.
    std::uint8_t Family = 0;
    // What the message writes, reads or makes the device reload; the second may stay empty.
    std::array<TAddressRange, 2> Touches {Everywhere, TAddressRange {}};
    // The same, as seen from another family.
    TAddressRange Reach = Everywhere;
};

// Whether the order of two messages makes no difference to the device.
bool Independent(const TPacingClass &a, const TPacingClass &b);

class IPacingRule
{
public:
    virtual ~IPacingRule() = default;
    // A whole System Exclusive message as the program made it, or a short message's bytes.
    virtual TPacingClass Classify(std::span<const std::uint8_t> message,
                                  bool shortMessage) const = 0;
};

} // namespace midi
